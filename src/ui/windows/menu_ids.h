#pragma once
// The toolkit numbers menu items below 32767, while the program's menu
// commands are numbered from 32773 up (the numbers pages and the dispatcher
// post), the browser windows' own from 34100, the custom Help entries
// from 36000 and the favorites from 37000. In a menu, commands from 32767 to
// 39999 are shifted down by 10000, into 22767-29999 where no command lives,
// and back when chosen.

inline constexpr int kMenuIdShift = 10000;

// The menu item number that stands for a command.
constexpr int MenuItemId(int command) {
  return command >= 32767 && command < 40000 ? command - kMenuIdShift : command;
}

// The command a chosen menu item stands for.
constexpr int CommandOfMenuItem(int id) {
  return id >= 32767 - kMenuIdShift && id < 40000 - kMenuIdShift ? id + kMenuIdShift : id;
}
