#pragma once
// Starting other programs.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vyr::platform {

// Starts the program file as a new process with no arguments and the
// program's own environment, and does not wait for it (the child is left to
// run on after this process ends). False when it could not be started.
bool StartProcess(const std::string& program);

// How a hand-over to the desktop's opener ended.
struct DesktopOpenResult {
  bool started = false;  // the opener (xdg-open) was found and started
  int status = 0;        // its exit status; -1 when a signal ended it
};

// Hands an address (a "mailto:" link, a web page, a file) to the desktop's
// handler for it: xdg-open, found on PATH, run with the address as its one
// argument (no shell, no word splitting), in a session of its own. Never
// waits on the calling thread: a thread of its own waits for the opener to
// end and then calls ended (there), or ended is called at once when the
// opener could not be started. An exit status the system no longer keeps
// (children reaped elsewhere) counts as 0.
void OpenWithDesktop(const std::string& address, std::function<void(const DesktopOpenResult&)> ended);

// Opens a file in the desktop's text editor: the program of the default
// application for "text/plain" (mimeapps.list), started as its desktop
// file's Exec line says with the file as one argument (no shell, no word
// splitting), in a session of its own, and waited for on a thread of its
// own as OpenWithDesktop does. started is false when the desktop names no
// text editor or its program cannot be started.
void OpenWithTextEditor(const std::string& file, std::function<void(const DesktopOpenResult&)> ended);

// The words of a desktop file's Exec line: its escapes ("\s", "\\"...)
// undone, split at blanks outside double quotes (inside them a backslash
// keeps the next character), the file put in for the field codes %f, %F,
// %u and %U as it stands (one word, never split), the other field codes
// dropped and "%%" made "%". A line that names no file code gets the file
// as its last word. Empty for an empty line or an unterminated quote.
// An empty file means none: the file codes go like the others and nothing
// is added.
std::vector<std::string> DesktopCommandWords(std::string_view exec, const std::string& file);

// Starts the words as a program (the first found on PATH unless it holds a
// "/"), each word one argument (no shell, no word splitting), in a session
// of its own with nothing to read and its output dropped; a thread of its
// own waits for it and then calls ended, or ended is called at once when it
// cannot be started.
void StartCommand(const std::vector<std::string>& words, std::function<void(const DesktopOpenResult&)> ended);

// True when the command word (a path, or a name looked up on PATH) is this
// very program file or the windowed program beside it ("vyrelle"): a mail
// link handed there would only come back.
bool IsThisProgram(const std::string& commandWord);

// Makes a downloaded file executable by its owner (and readable by all).
bool MarkExecutable(const std::string& path);

// The folder that holds the running program file, without a trailing "/";
// empty when it cannot be found.
std::string ProgramDirectory();

}  // namespace vyr::platform
