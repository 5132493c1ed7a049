#pragma once
// The desktop program's own command line, read before the display is opened: --help and
// --version answer without one. The toolkit's own options (-platform, -style, ...) are let
// through for QApplication to take; anything else is a usage error.

#include <string>

namespace korvid {

struct StartupOptions {
    enum class Action { Run, Help, Version, UsageError };
    Action action = Action::Run;
    std::string problem;  // for UsageError: the argument that was not understood
};

StartupOptions ReadStartupOptions(int argc, const char* const* argv);

// The text of --help, and the one line a usage error prints.
extern const char* const StartupHelpText;
extern const char* const StartupUsageLine;

}  // namespace korvid
