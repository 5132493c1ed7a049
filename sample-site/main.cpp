// korvid-sample-site: serves the sample site on 127.0.0.1 until it is stopped (Ctrl-C or
// SIGTERM). It prints its address first, so a script or a test can read the chosen port.

#include <csignal>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <string>

#include "sample-site/sample_site.h"

namespace {

constexpr const char* Usage =
    "Usage: korvid-sample-site [--port N] [--pages DIR]\n"
    "Serves the Korvid sample site on 127.0.0.1, on port N (0, the default, picks a free one),\n"
    "until it is stopped with Ctrl-C.\n";

int ParsePort(const std::string& text) {
    char* end = nullptr;
    const long port = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || port < 0 || port > 65535) {
        throw std::invalid_argument("the port must be a number from 0 to 65535, not \"" + text +
                                    "\"");
    }
    return static_cast<int>(port);
}

}  // namespace

int main(int argc, char** argv) {
    int port = 0;
    std::string pages = korvid::sample::DefaultPagesDir();
    try {
        for (int i = 1; i < argc; ++i) {
            const std::string arg = argv[i];
            if (arg == "--help" || arg == "-h") {
                std::cout << Usage;
                return 0;
            }
            if (arg == "--port" && i + 1 < argc) {
                port = ParsePort(argv[++i]);
                continue;
            }
            if (arg == "--pages" && i + 1 < argc) {
                pages = argv[++i];
                continue;
            }
            throw std::invalid_argument("unknown argument " + arg);
        }
    } catch (const std::exception& e) {
        std::cerr << "korvid-sample-site: " << e.what() << "\n" << Usage;
        return 2;
    }

    // The server's thread inherits this mask, so the stop signals reach sigwait below.
    sigset_t stop_signals;
    sigemptyset(&stop_signals);
    sigaddset(&stop_signals, SIGINT);
    sigaddset(&stop_signals, SIGTERM);
    sigaddset(&stop_signals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
    // Whoever started the server may stop reading what it prints.
    std::signal(SIGPIPE, SIG_IGN);

    try {
        const korvid::sample::RunningSampleSite site(static_cast<std::uint16_t>(port), pages);
        std::cout << "Korvid sample site: " << site.BaseUrl() << "/\n"
                  << "Try: korvid-cli search --host " << site.HostPort() << " orchard\n"
                  << "  or KORVID_HOST=" << site.HostPort() << " for the desktop program.\n"
                  << "Stop it with Ctrl-C." << std::endl;
        int signal_number = 0;
        sigwait(&stop_signals, &signal_number);
    } catch (const std::exception& e) {
        std::cerr << "korvid-sample-site: " << e.what() << '\n';
        return 1;
    }
    return 0;
}
