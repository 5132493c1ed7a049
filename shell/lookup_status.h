#pragma once
// The status bar's last word on a lookup: "OK" when a film or a list was read (after an
// answer from the local film data, with the credit line its terms ask for), "No film found"
// when the search found nothing, and "Lookup failed: " with the cause otherwise, never "OK".

#include <QString>
#include <string>

namespace korvid {

class TIMDBImport;

// note, when not empty, tells why the site answered instead of the local film data ("the
// film database was removed"); it follows the text in brackets.
std::string LookupDoneStatus(const TIMDBImport& importer, const std::string& note = {});

// The credit line as the status bar's tooltip after a local answer, in case the bar cuts it.
QString LookupSourceToolTip(const TIMDBImport& importer);

}  // namespace korvid
