// vyrelle-cli: the headless companion of the shell. It runs the program's
// logic without windows, for scripting, support and tests.
#include <iostream>

#include "cli/cli_commands.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  return vyr::cli::RunCommand(args, std::cout, std::cerr);
}
