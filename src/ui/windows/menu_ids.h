#pragma once
// The toolkit numbers menu items below 32767, while the browser windows'
// own commands start at 34100 and the custom Help entries at 36000. In a
// menu those commands are shifted down by 10000, into 24000-26999 where no
// other command lives, and shifted back when one is chosen.

inline constexpr int kMenuIdShift = 10000;

// The menu item number that stands for a command.
constexpr int MenuItemId(int command) {
  return command >= 34000 && command < 37000 ? command - kMenuIdShift : command;
}

// The command a chosen menu item stands for.
constexpr int CommandOfMenuItem(int id) { return id >= 24000 && id < 27000 ? id + kMenuIdShift : id; }
