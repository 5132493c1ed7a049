// ParseMoviePage and ParseResultList on a whole page (the input), with the cover download
// answered by the HTTP stub. Checked: every field holds at most 255 bytes; the cover lands
// directly inside the program folder or nowhere; every result address is on the configured
// host; the film page reads the same with the one-pass marker table and with the plain search.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "client/IMDBImport.h"
#include "common/errors.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/http_stub.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/all_lines.h"

namespace korvid::fuzz {
namespace {

using test_support::AllLines;

constexpr const char* FuzzHost = "fuzz.example";

// The scan date of the XML document, the same on every run.
std::time_t FixedClock() {
    return 1000000000;
}

void Configure(TIMDBImport& import) {
    import.Host = FuzzHost;
    import.AppDir = FuzzFolders::Get().AppDir();
    import.Title = "orchard";
    import.SetClock(FixedClock);
}

void CheckFieldLengths(const TIMDBImport& import) {
    ForEachShortField(import, [](const char* name, const ShortString& field) {
        Check(field.size() <= ShortString::MaxLength, "field longer than 255 bytes", name);
    });
}

// The program folder as CheckProgramFolder wants it, and a cover named is there.
void CheckFolders(const TIMDBImport& import) {
    const std::string& poster = import.PosterFile.str();
    CheckProgramFolder(poster);
    if (!poster.empty()) {
        Check(IsRegularFile(poster), "cover file missing", poster);
    }
}

struct ParseOutcome {
    bool index_error = false;
};

ParseOutcome ParseFilm(TIMDBImport& import, std::string_view page) {
    ResetHttpStub();
    QueueResponse({.body = "\xFF\xD8\xFF cover"});
    EmptyFolder(FuzzFolders::Get().AppDir());
    import.PageLines.SetText(page);
    ParseOutcome outcome;
    try {
        import.ParseMoviePage();
    } catch (const ListIndexError&) {
        outcome.index_error = true;  // a read past the last line ends the parse
    }
    CheckFieldLengths(import);
    CheckFolders(import);
    const std::vector<std::string>& requests = RequestedAddresses();
    Check(requests.size() <= 1, "more than one cover download");
    if (!requests.empty()) {
        Check(requests.front() == import.PosterUrl.str(), "cover request not the poster address",
              requests.front());
    }
    return outcome;
}

void CheckSameFilm(const TIMDBImport& a, const TIMDBImport& b) {
    std::vector<std::string> left;
    std::vector<std::string> right;
    ForEachShortField(a, [&left](const char*, const ShortString& f) { left.push_back(f.str()); });
    ForEachShortField(b, [&right](const char*, const ShortString& f) { right.push_back(f.str()); });
    Check(left == right, "marker table and plain search read different fields");
    Check(AllLines(a.XmlLines) == AllLines(b.XmlLines), "different XML documents");
    Check(AllLines(a.CsvLines) == AllLines(b.CsvLines), "different CSV documents");
    Check(a.LineIndex == b.LineIndex && a.GenreSlot == b.GenreSlot && a.MovieFound == b.MovieFound,
          "different parser state");
}

}  // namespace
}  // namespace korvid::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace korvid;
    using namespace korvid::fuzz;
    const std::string_view page = AsText(data, size);
    test_support::ScriptedPrompts prompts;

    TIMDBImport fast(prompts);
    Configure(fast);
    const ParseOutcome fast_outcome = ParseFilm(fast, page);

    TIMDBImport plain(prompts);
    Configure(plain);
    plain.UsePlainLineSearch(true);
    const ParseOutcome plain_outcome = ParseFilm(plain, page);
    Check(fast_outcome.index_error == plain_outcome.index_error, "different index errors");
    CheckSameFilm(fast, plain);

    TIMDBImport list(prompts);
    Configure(list);
    ResetHttpStub();
    list.PageLines.SetText(page);
    list.ParseResultList();
    Check(RequestedAddresses().empty(), "the result list downloaded something");
    Check(!list.MovieFound, "a result list found a film");
    Check(list.ResultTitles.Count() == list.ResultUrls.Count(), "titles and addresses differ");
    // The site's root, or a path on it (an entry whose link has no closing quote).
    const std::string root = std::string("http://") + FuzzHost;
    const std::string on_host = root + "/";
    for (int i = 0; i < list.ResultTitles.Count(); ++i) {
        const std::string title(list.ResultTitles[i]);
        Check(!title.empty() && title.size() <= ShortString::MaxLength, "result title length",
              title);
        const std::string url(list.ResultUrls[i]);
        Check(url == root || url.compare(0, on_host.size(), on_host) == 0,
              "result address off the host", url);
    }
    CheckFieldLengths(list);
    return 0;
}
