#include "app/command_line.h"

#include <algorithm>
#include <iostream>

#include <CLI/CLI.hpp>

#include "app/windows_service.h"
#include "audio/audio_device.h"

namespace quorvane {
namespace {

// CLI11 reads integers in C's manner (010 is eight, 0x50 is eighty) and the server would wrap a port
// above 65535 into range: only plain decimal digits pass, without their leading zeros, then the range.
const CLI::Validator DECIMAL_DIGITS(
    [](std::string& text) -> std::string {
        if (text.empty() || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return "Value " + text + " is not a decimal number";
        text.erase(0, std::min(text.find_first_not_of('0'), text.size() - 1));
        return {};
    },
    "");

void addPortOption(CLI::App& parser, const std::string& name, int& port, const std::string& description) {
    parser.add_option(name, port, description)
        ->capture_default_str()
        ->transform(DECIMAL_DIGITS)
        ->check(CLI::Range(1, 65535).description(""))
        ->type_name("PORT")
        // As with most programs, a later port overrides an earlier one (a wrapper script's default).
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
}

}  // namespace

ParsedCommandLine parseCommandLine(const std::string& banner, int argc, const char* const* argv) {
    CLI::App parser(banner, "quorvane-player");
    CommandLine options;
    parser.add_flag("-v,--verbose", options.verbose, "Log debug messages too");
    addPortOption(parser, "--port", options.port, "TCP port of the web interface (1 to 65535)");
    // An empty FILE is no file: the service passes its defaults' empty settings through as they are.
    parser.add_option("--tls-cert", options.tlsCertificate, "PEM certificate (chain): serve HTTPS with it")
        ->type_name("FILE")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    parser.add_option("--tls-key", options.tlsKey, "PEM private key of the certificate")
        ->type_name("FILE")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    parser.add_flag("--tls-self-signed", options.tlsSelfSigned,
                    "When neither the certificate nor the key file exists, make a self-signed pair in them first");
    addPortOption(parser, "--tls-port", options.tlsPort, "TCP port of HTTPS (1 to 65535)");
    parser.add_option("--audio-device", options.audioDevice, "ALSA device the bells play through, e.g. plughw:CARD=Headphones")
        ->type_name("NAME")
        ->check(CLI::Validator(
            [](const std::string& name) { return isAudioDeviceName(name) ? std::string() : "Value " + name + " is no ALSA device name"; }, ""))
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
#ifdef _WIN32
    parser.add_flag(WINDOWS_SERVICE_OPTION, options.windowsService,
                    "Run as the Windows service QuorvanePlayer (as the installer registers it), logging to player.log");
#endif
    parser.callback([&options] {
        if (options.tlsCertificate.empty() != options.tlsKey.empty())
            throw CLI::ValidationError("--tls-cert and --tls-key", "a certificate needs its key, and a key its certificate");
        if (options.tlsSelfSigned && options.tlsCertificate.empty())
            throw CLI::ValidationError("--tls-self-signed", "names no files: it needs --tls-cert and --tls-key");
    });
    try {
        parser.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        std::cout << parser.help();
        return {std::nullopt, 0};
    } catch (const CLI::ParseError& error) {
        std::cerr << error.what() << "\n"
                  << "Usage: quorvane-player [-h] [-v] [--port PORT] [--tls-cert FILE --tls-key FILE [--tls-self-signed] [--tls-port PORT]]\n"
                  << "                       [--audio-device NAME]\n"
                  << "Run with --help for more information.\n";
        return {std::nullopt, 2};
    }
    return {options, 0};
}

}  // namespace quorvane
