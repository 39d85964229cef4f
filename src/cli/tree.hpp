// The command tree: every command, argument, default and help text of the command line.
#pragma once

#include "cli/commands.hpp"

namespace vesk {

// Parses the process arguments. Help and version are printed on standard output and end the
// process with status 0; usage errors (unknown words, missing arguments or subcommands, values
// outside an enum) are printed on standard error with the usage line and end it with status 2.
// `vesk` alone prints the top-level help on standard error with status 2.
Commands parse_command_line(int argc, char** argv);

}  // namespace vesk
