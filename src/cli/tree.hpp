// The command tree: every command, argument, default and help text of the command line.
#pragma once

#include <variant>

#include "cli/commands.hpp"

namespace vesk {

// Parses the process arguments into the leaf to run, or handles them and gives the exit status:
// help and version are printed on standard output (status 0); usage errors (unknown words,
// missing arguments or subcommands, values outside an enum) are printed on standard error with
// the usage line (status 2). `vesk` alone prints the top-level help on standard error (status 2).
std::variant<Commands, int> parse_command_line(int argc, char** argv);

}  // namespace vesk
