#pragma once
// The user's own choices that outlast a session, kept with QSettings in the user's
// configuration folder ($XDG_CONFIG_HOME/Korvid/korvid.conf).

namespace korvid {

// Whether a film from the local film data gets its cover from the site's suggestion service
// (on unless the user turned it off in About Korvid).
bool FetchCoversOnline();
void SetFetchCoversOnline(bool fetch);

}  // namespace korvid
