#include "shell/startup_options.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace korvid {
namespace {

// The toolkit's options (QGuiApplication, QApplication and the X11 platform): those that take
// a value as the next argument, those that also take it after "=", and those that stand
// alone. The toolkit takes each with one dash or two.
constexpr std::array<std::string_view, 13> kQtOptionsWithValue = {
    "platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry",
    "qwindowicon", "qwindowtitle", "session", "display", "geometry", "name", "title", "visual"};
constexpr std::array<std::string_view, 2> kQtOptionsWithAttachedValue = {"style", "stylesheet"};
constexpr std::array<std::string_view, 5> kQtFlags = {"reverse", "widgetcount", "nograb",
                                                      "dograb", "sync"};

bool Contains(const auto& names, std::string_view name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

}  // namespace

const char* const StartupHelpText =
    "Usage: korvid [--help] [--version] [Qt options]\n"
    "\n"
    "Looks up films on the movie database site by title, shows the result list or the\n"
    "film's details and cover, saves the film as an XML or CSV document and writes the\n"
    "EKT tag of movie files. korvid-cli does the same from a terminal.\n"
    "\n"
    "  -h, --help      print this help and exit\n"
    "  --version       print the version and exit\n"
    "\n"
    "The toolkit's own options work too (-platform NAME, -style NAME, -display DISPLAY,\n"
    "-reverse, ...). See korvid(1).\n";

const char* const StartupUsageLine = "Usage: korvid [--help] [--version] [Qt options]";

StartupOptions ReadStartupOptions(int argc, const char* const* argv) {
    StartupOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h" || arg == "-help") {
            return {StartupOptions::Action::Help, {}};
        }
        if (arg == "--version") {
            options.action = StartupOptions::Action::Version;
            continue;
        }
        std::string_view name = arg;
        if (name.starts_with("--")) {
            name.remove_prefix(2);
        } else if (name.starts_with('-') && name.size() > 1) {
            name.remove_prefix(1);
        } else {
            return {StartupOptions::Action::UsageError, std::string(arg)};
        }
        const auto equals = name.find('=');
        const bool value_attached = equals != std::string_view::npos;
        name = name.substr(0, equals);
        const bool takes_value = Contains(kQtOptionsWithValue, name) ||
                                 Contains(kQtOptionsWithAttachedValue, name);
        if (value_attached) {
            if (!Contains(kQtOptionsWithAttachedValue, name) && name != "qmljsdebugger") {
                return {StartupOptions::Action::UsageError, std::string(arg)};
            }
        } else if (takes_value) {
            if (i + 1 >= argc) {
                return {StartupOptions::Action::UsageError, std::string(arg)};
            }
            ++i;  // the option's value
        } else if (!Contains(kQtFlags, name)) {
            return {StartupOptions::Action::UsageError, std::string(arg)};
        }
    }
    return options;
}

}  // namespace korvid
