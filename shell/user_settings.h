#pragma once
// The user's own choices that outlast a session, kept with QSettings in the file korvid.conf
// of Korvid's configuration folder (dataset::KorvidFolder(Config): $XDG_CONFIG_HOME/Korvid/,
// by default ~/.config/Korvid/). When that folder is refused (a symbolic link, another user's)
// or cannot be found, nothing is read or written: every choice has its default.

#include <string>

namespace korvid {

// Whether a film from the local film data gets its cover from the site's suggestion service
// (on unless the user turned it off in About Korvid).
bool FetchCoversOnline();
void SetFetchCoversOnline(bool fetch);

// Why the settings are neither read nor kept, naming the folder; empty when they are.
std::string UserSettingsProblem();

}  // namespace korvid
