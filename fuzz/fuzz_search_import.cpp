// SearchTitle and ImportResult end to end: each download goes through the temporary page
// file in the program folder, answered by the HTTP stub.
//
// Input: parts separated by the line "=====": first "TITLE<TAB>PICK" (the typed title and
// the entry ImportResult reads), then the bodies the stub answers with in turn (the search
// page, then whatever comes next: a cover, a film page). A request beyond the parts finds
// no server.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "client/IMDBImport.h"
#include "common/errors.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/http_stub.h"
#include "tests/support/all_lines.h"
#include "tests/support/scripted_prompts.h"

namespace korvid::fuzz {
namespace {

using test_support::AllLines;

constexpr const char* FuzzHost = "fuzz.example";

// The scan date of the XML document, the same on every run.
std::time_t FixedClock() {
    return 1000000000;
}
constexpr const char* DownloadFailed = "Cannot Download Page From Website !";

void CheckImporter(const TIMDBImport& import) {
    ForEachShortField(import, [](const char* name, const ShortString& field) {
        Check(field.size() <= ShortString::MaxLength, "field longer than 255 bytes", name);
    });
    CheckProgramFolder(import.PosterFile.str());
    Check(import.ResultTitles.Count() == import.ResultUrls.Count(), "titles and addresses differ");
    // The site's root, or a path on it (an entry whose link has no closing quote).
    const std::string root = std::string("http://") + FuzzHost;
    const std::string on_host = root + "/";
    for (const std::string& url : AllLines(import.ResultUrls)) {
        Check(url == root || url.compare(0, on_host.size(), on_host) == 0,
              "result address off the host", url);
    }
    for (const std::string& request : RequestedAddresses()) {
        Check(request.size() <= ShortString::MaxLength, "request address longer than 255 bytes",
              request);
    }
}

}  // namespace
}  // namespace korvid::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace korvid;
    using namespace korvid::fuzz;
    const std::vector<std::string_view> parts = Split(AsText(data, size), "\n=====\n");
    const std::vector<std::string_view> params = Split(parts[0], "\t");
    const FuzzFolders& folders = FuzzFolders::Get();
    const std::string temp_page = folders.AppDir() + TempPageName;

    EmptyFolder(folders.AppDir());
    ResetHttpStub();
    for (std::size_t i = 1; i < parts.size(); ++i) {
        QueueResponse({.body = std::string(parts[i])});
    }

    test_support::ScriptedPrompts prompts;
    TIMDBImport import(prompts);
    import.Host = FuzzHost;
    import.AppDir = folders.AppDir();
    import.Title = params[0];
    import.SetClock(FixedClock);

    const ShortString title = import.Title;
    bool found = false;
    bool raised = false;
    try {
        found = import.SearchTitle();
    } catch (const ListIndexError&) {
        // A film page that ends where the parser reads on: the error box's case. The error
        // passes to the caller and the temporary page stays.
        raised = true;
    }
    const std::vector<std::string>& requests = RequestedAddresses();
    if (title.empty()) {
        Check(!found && requests.empty(), "an empty title was searched");
        return 0;
    }
    Check(!requests.empty(), "no search request");
    Check(requests.front() == SearchAddress(FuzzHost, title), "search address", requests.front());
    Check(raised || !IsRegularFile(temp_page), "the temporary page outlived the search");
    if (parts.size() < 2) {
        // The message's first line, then the cause on a line of its own.
        const std::string first_line = std::string(DownloadFailed) + "\n";
        Check(!found && prompts.messages.size() == 1 &&
                  prompts.messages[0].compare(0, first_line.size(), first_line) == 0 &&
                  prompts.messages[0].size() > first_line.size(),
              "a failed download not reported");
    }
    CheckImporter(import);

    if (import.ResultTitles.Count() == 0) {
        return 0;
    }
    const int pick = params.size() > 1 ? SmallNumber(params[1], 0) : 0;
    const std::size_t before = requests.size();
    const int count = import.ResultTitles.Count();
    const std::string address =
        pick >= 0 && pick < count ? ShortString(import.ResultUrls[pick]).str() : std::string();
    bool imported = false;
    try {
        imported = import.ImportResult(pick);
        Check(pick >= 0, "a negative index was read");
    } catch (const ListIndexError&) {
        // A negative index, or a film page that ends too early.
    }
    if (pick >= count) {
        Check(!imported && requests.size() == before, "an entry past the list was fetched");
    } else if (pick >= 0) {
        Check(requests.size() > before && requests[before] == address,
              "the import fetched another address", address);
        if (imported) {
            Check(import.MovieFound && IsRegularFile(temp_page), "import without its page");
        }
    }
    CheckImporter(import);
    return 0;
}
