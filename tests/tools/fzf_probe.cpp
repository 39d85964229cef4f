// Runs the fzf runner the pickers use, so a test can drive that fzf in a tmux pane.
//   fzf_probe RESULT INPUT [FZF ARGS...]
// writes "<exit code or 'none'>\n<output>" to RESULT.
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "pickers/fzf.hpp"

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    std::ifstream in(argv[2], std::ios::binary);
    std::stringstream input;
    input << in.rdbuf();
    std::vector<std::string> args(argv + 3, argv + argc);
    vesk::FzfRun run = vesk::run_fzf_with_input_status(input.str(), args);
    std::ofstream out(argv[1], std::ios::binary);
    out << (run.code ? std::to_string(*run.code) : "none") << '\n' << run.output;
    return 0;
}
