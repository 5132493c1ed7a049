#include "shell/startup_options.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <utility>

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

// The toolkit's platforms that draw without a display server.
constexpr std::array<std::string_view, 7> kPlatformsWithoutDisplay = {
    "offscreen", "minimal", "minimalegl", "vnc", "linuxfb", "eglfs", "vkkhrdisplay"};

bool Contains(const auto& names, std::string_view name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

StartupOptions UsageError(std::string problem) {
    StartupOptions options;
    options.action = StartupOptions::Action::UsageError;
    options.problem = std::move(problem);
    return options;
}

bool IsSet(const char* value) {
    return value != nullptr && *value != '\0';
}

// Whether one of the platforms of a list ("wayland;xcb", "offscreen:fontengine=freetype")
// draws without a display server; the toolkit tries them in turn.
bool NeedsNoDisplay(std::string_view platforms) {
    while (!platforms.empty()) {
        const auto end = platforms.find(';');
        const std::string_view entry = platforms.substr(0, end);
        if (Contains(kPlatformsWithoutDisplay, entry.substr(0, entry.find(':')))) {
            return true;
        }
        platforms = end == std::string_view::npos ? std::string_view() : platforms.substr(end + 1);
    }
    return false;
}

}  // namespace

const char* const StartupHelpText =
    "Usage: korvid [--help] [--version] [Qt options]\n"
    "\n"
    "Looks up films by title in a local film database that it builds from IMDb's official\n"
    "data sets (else on the movie database site, which answers programs with a browser\n"
    "check), shows the result list or the film's details and cover, saves the film as an\n"
    "XML or CSV document and writes the EKT tag of movie files. korvid-cli does the same\n"
    "from a terminal.\n"
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
            StartupOptions help;
            help.action = StartupOptions::Action::Help;
            return help;
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
            return UsageError("korvid takes no file argument: " + std::string(arg) +
                              " (the window opens movie files itself: Ctrl+T, Ctrl+R)");
        }
        const auto equals = name.find('=');
        const bool value_attached = equals != std::string_view::npos;
        name = name.substr(0, equals);
        const bool takes_value = Contains(kQtOptionsWithValue, name) ||
                                 Contains(kQtOptionsWithAttachedValue, name);
        if (value_attached) {
            if (!Contains(kQtOptionsWithAttachedValue, name) && name != "qmljsdebugger") {
                return UsageError("korvid: unknown option " + std::string(arg));
            }
        } else if (takes_value) {
            if (i + 1 >= argc) {
                return UsageError("korvid: unknown option " + std::string(arg));
            }
            ++i;  // the option's value
            if (name == "platform") {
                options.platform = argv[i];
            }
            options.display_given = options.display_given || name == "display";
        } else if (!Contains(kQtFlags, name)) {
            return UsageError("korvid: unknown option " + std::string(arg));
        }
    }
    return options;
}

std::string DisplayProblem(const StartupOptions& options, const char* qt_qpa_platform,
                           const char* display, const char* wayland_display) {
    const std::string_view platform =
        !options.platform.empty()
            ? std::string_view(options.platform)
            : std::string_view(qt_qpa_platform != nullptr ? qt_qpa_platform : "");
    if (NeedsNoDisplay(platform) || options.display_given || IsSet(display) ||
        IsSet(wayland_display)) {
        return {};
    }
    return "korvid: no display (DISPLAY / WAYLAND_DISPLAY is not set). korvid is a desktop "
           "program:\nstart it in a graphical session, or use korvid-cli in a terminal.";
}

}  // namespace korvid
