// The scan's report for scripts: one JSON document with an object a file and the summary.

#include <nlohmann/json.hpp>
#include <ostream>

#include "cli/lookup.h"
#include "cli/scan_report.h"
#include "cli/terminal_text.h"
#include "dataset/film_database.h"

namespace korvid::cli {
namespace {

using Json = nlohmann::ordered_json;

Json OrNull(const std::string& latin1) {
    return latin1.empty() ? Json(nullptr) : Json(Latin1ToUtf8(latin1));
}

Json OrNullText(const std::string& text) {
    return text.empty() ? Json(nullptr) : Json(text);
}

Json RenamesJson(const FileReport& r) {
    Json renames = Json::array();
    for (const RenameStep& step : r.renames) {
        renames.push_back({{"from", FileNameForJson(step.from)},
                           {"to", FileNameForJson(step.to)},
                           {"done", step.done},
                           {"refused", OrNullText(step.refused)}});
    }
    return renames;
}

}  // namespace

void PrintJsonReport(const std::vector<FileReport>& reports, bool dry_run, LookupSource source,
                     const ScanExtras& extras, std::ostream& out) {
    Json files = Json::array();
    for (const FileReport& r : reports) {
        Json candidates = Json::array();
        for (const Candidate& c : r.candidates) {
            candidates.push_back(
                {{"title", Latin1ToUtf8(c.title)}, {"address", Latin1ToUtf8(c.address)}});
        }
        // The file name and the title read from it are in the name's own bytes, usually
        // UTF-8; a byte that is not is written as "\xHH".
        const Json searched = {
            {"title", FileNameForJson(r.searched.title)},
            {"year", r.searched.year.empty() ? Json(nullptr) : Json(r.searched.year)}};
        Json file = {{"file", FileNameForJson(r.file)},
                     {"outcome", OutcomeName(r.outcome, dry_run)},
                     {"searched", searched},
                     {"title", OrNull(r.title)},
                     {"year", OrNull(r.year)},
                     {"address", OrNull(r.address)},
                     {"candidates", std::move(candidates)},
                     {"message", r.message.empty() ? Json(nullptr) : Json(r.message)}};
        if (extras.rename) {
            file["renames"] = RenamesJson(r);
            file["named_already"] = r.named_already;
        }
        if (extras.nfo) {
            file["nfo"] = r.nfo ? Json{{"file", FileNameForJson(r.nfo->file)},
                                       {"action", NfoActionName(r.nfo->action, dry_run)},
                                       {"message", OrNullText(r.nfo->message)}}
                                : Json(nullptr);
        }
        files.push_back(std::move(file));
    }
    Json summary = Json::object();
    for (const Outcome outcome : AllOutcomes) {
        summary[OutcomeName(outcome, dry_run)] = CountOf(reports, outcome);
    }
    Json document = {{"dry_run", dry_run},
                     {"source", FactsOf(source).name},
                     {"files", std::move(files)},
                     {"summary", std::move(summary)}};
    if (extras.rename) {
        document["journal"] =
            extras.journal.empty() ? Json(nullptr) : Json(FileNameForJson(extras.journal));
    }
    if (const char* credit = FactsOf(source).credit; *credit != '\0') {
        document["credit"] = credit;
    }
    out << document.dump(2, ' ', false, Json::error_handler_t::replace) << '\n';
}

}  // namespace korvid::cli
