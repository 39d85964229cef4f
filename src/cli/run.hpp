#pragma once

namespace vesk {

// Parses the process arguments with the command tree and runs the one handler they name.
// Usage errors, help and version end the process here (status 2, or 0 for help and version);
// a handler's failure comes back as an exception for main to print.
void run_cli(int argc, char** argv);

}  // namespace vesk
