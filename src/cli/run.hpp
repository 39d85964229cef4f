#pragma once

namespace vesk {

// Parses the process arguments with the command tree and runs the one handler they name; returns
// the exit status. Usage errors, help and version end here (status 2, or 0 for help and version);
// a handler's failure comes back as an exception for main to print or turn into its status.
int run_cli(int argc, char** argv);

}  // namespace vesk
