#include <CLI/CLI.hpp>
#include <iostream>

#include "app/command_line.h"

namespace quorvane {

ParsedCommandLine parseCommandLine(const std::string& banner, int argc, const char* const* argv) {
    CLI::App parser(banner, "quorvane-player");
    CommandLine options;
    parser.add_flag("-v,--verbose", options.verbose, "Log debug messages too");
    parser.add_option("--port", options.port, "TCP port of the web interface")->capture_default_str();
    try {
        parser.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        std::cout << parser.help();
        return {std::nullopt, 0};
    } catch (const CLI::ParseError& error) {
        std::cerr << error.what() << "\n" << "Usage: quorvane-player [-h] [-v] [--port PORT]\n"
                  << "Run with --help for more information.\n";
        return {std::nullopt, 2};
    }
    return {options, 0};
}

}  // namespace quorvane
