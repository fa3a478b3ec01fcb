#pragma once
// Starting other programs.
#include <string>

namespace vyr::platform {

// Starts the program file as a new process with no arguments and the
// program's own environment, and does not wait for it (the child is left to
// run on after this process ends). False when it could not be started.
bool StartProcess(const std::string& program);

// Hands an address (a "mailto:" link, a web page, a file) to the desktop's
// handler for it (xdg-open) without waiting for the handler. The address is
// passed as one argument, never through a shell's word splitting. False
// when the handler could not be started.
bool OpenWithDesktop(const std::string& address);

// Makes a downloaded file executable by its owner (and readable by all).
bool MarkExecutable(const std::string& path);

// The folder that holds the running program file, without a trailing "/";
// empty when it cannot be found.
std::string ProgramDirectory();

}  // namespace vyr::platform
