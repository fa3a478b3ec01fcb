#pragma once
// The commands of vyrelle-cli, callable in-process so that tests can drive
// them without spawning the program.
#include <iosfwd>
#include <string>
#include <vector>

namespace vyr::cli {

// Runs one command line (without the program name). Output goes to out,
// messages to err; --help, --version and "help" print to out. Returns the
// exit status: 0 success, 1 failure, 2 a wrong command line.
int RunCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace vyr::cli
