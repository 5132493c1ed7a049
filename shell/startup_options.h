#pragma once
// The desktop program's own command line, read before the display is opened: --help and
// --version answer without one. The toolkit's own options (-platform, -style, ...) are let
// through for QApplication to take; anything else is a usage error. Before the toolkit starts,
// the program also makes sure it has a display to open, so that a start without one ends with
// a sentence instead of the toolkit's abort.

#include <string>

namespace korvid {

struct StartupOptions {
    enum class Action { Run, Help, Version, UsageError };
    Action action = Action::Run;
    std::string problem;         // for UsageError: the line that says what was not understood
    std::string platform;        // the value of -platform, if given
    bool display_given = false;  // -display names the X display
};

StartupOptions ReadStartupOptions(int argc, const char* const* argv);

// Why the window cannot open: empty when the platform needs no display (offscreen, minimal,
// vnc, linuxfb, eglfs; -platform before QT_QPA_PLATFORM, either a ";" list of names with
// ":" arguments), when -display names one, or when DISPLAY or WAYLAND_DISPLAY is set.
// The values are those of the environment (nullptr when unset).
std::string DisplayProblem(const StartupOptions& options, const char* qt_qpa_platform,
                           const char* display, const char* wayland_display);

// The text of --help, and the one line a usage error prints.
extern const char* const StartupHelpText;
extern const char* const StartupUsageLine;

}  // namespace korvid
