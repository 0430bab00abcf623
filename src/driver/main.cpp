// velor: empirical scale-factor correction of single-crystal reflection
// data after a refinement.  Usage: velor [options] [NAME [C|Q|L|F]]
#include <iostream>
#include <string>
#include <vector>

#include "driver/command_line.hpp"
#include "driver/run.hpp"
#include "platform/files.hpp"
#include "platform/interrupts.hpp"
#include "platform/terminal.hpp"
#include "platform/failure.hpp"

int main(int argc, char** argv) {
    velor::platform::prepare_standard_streams();
    velor::platform::install_interrupt_handlers();
    std::ios::sync_with_stdio(false);
    std::cin.tie(&std::cout);
    velor::driver::CommandLine line;
    try {
        line = velor::driver::parse_command_line(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const velor::UsageError& e) {
        std::cerr << "velor: " << e.what() << "\n"
                  << "velor: see 'velor --help' for the options\n";
        return velor::kExitUsage;
    }
    switch (line.action) {
        case velor::driver::CommandLine::Action::help: std::cout << line.help_text; return velor::kExitDone;
        case velor::driver::CommandLine::Action::version:
            std::cout << "velor " << velor::driver::kVersion << "\n";
            return velor::kExitDone;
        case velor::driver::CommandLine::Action::run: break;
    }
    // On a terminal each line of the console shows as it is written.
    const auto flush = velor::platform::is_terminal(stdout) ? velor::textio::ConsoleChannel::Flush::each_record
                                                            : velor::textio::ConsoleChannel::Flush::buffered;
    return velor::driver::run(line, std::cin, std::cout, std::cerr, flush);
}
