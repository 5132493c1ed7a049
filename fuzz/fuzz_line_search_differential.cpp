// The one-pass page search against the plain one, on every filter kernel: the marker filter
// against a naive search for each needle, and ParseMoviePage with its marker table against
// the parse on the line-by-line scan (every field, LineIndex, the XML and CSV documents, the
// page and any error).
//
// Input: needles separated by TAB up to the first NUL byte, then the page. Without a NUL
// byte the whole input is the page. The film page's markers are always among the needles.

#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "client/IMDBImport.h"
#include "client/marker_filter.h"
#include "common/filter_kernel.h"
#include "common/text.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/http_stub.h"
#include "tests/support/parse_outcome.h"
#include "tests/support/scripted_prompts.h"

namespace korvid::fuzz {
namespace {

constexpr const char* FilmMarkers[] = {"<TITLE>",       "\"poster\"",    "Directed by",
                                       "\"ch\">Genre:", "Tagline:",      "Plot Outline:",
                                       "Runtime:",      "Cast overview", "/10</b>"};

constexpr FilterKernel AllKernels[] = {FilterKernel::Best, FilterKernel::Vector128,
                                           FilterKernel::Portable};

std::time_t FixedClock() {
    return 1000000000;
}

test_support::ParseOutcome Parse(std::string_view page, bool plain) {
    test_support::ScriptedPrompts prompts;
    TIMDBImport import(prompts);
    import.AppDir = FuzzFolders::Get().AppDir();
    import.SetClock(FixedClock);
    import.UsePlainLineSearch(plain);
    ResetHttpStub();
    QueueResponse({.body = "\xFF\xD8\xFF cover"});
    EmptyFolder(FuzzFolders::Get().AppDir());
    return test_support::ParseAndRecord(import, page);
}

}  // namespace
}  // namespace korvid::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace korvid;
    using namespace korvid::fuzz;
    const std::string_view input = AsText(data, size);
    const std::size_t nul = input.find('\0');
    std::string_view page = input;
    std::vector<std::string> needles;
    if (nul != std::string_view::npos) {
        for (const std::string_view needle : Split(input.substr(0, nul), "\t")) {
            needles.push_back(UpperAsciiCopy(needle.substr(0, ShortString::MaxLength)));
        }
        page = input.substr(nul + 1);
    }
    for (const char* marker : FilmMarkers) {
        needles.push_back(UpperAsciiCopy(marker));
    }
    const std::string upper_page = UpperAsciiCopy(page);
    const MarkerFilter filter(needles);
    const test_support::ParseOutcome expected = Parse(page, true);
    for (const FilterKernel kernel : AllKernels) {
        SetFilterKernel(kernel);
        const std::vector<std::size_t> found = filter.FindFirst(page);
        for (std::size_t i = 0; i < needles.size(); ++i) {
            const std::size_t naive =
                needles[i].empty() ? std::string::npos : upper_page.find(needles[i]);
            Check(found[i] == naive, "marker filter and naive search differ", needles[i]);
        }
        Check(Parse(page, false) == expected, "marker table and line scan read the page apart");
    }
    SetFilterKernel(FilterKernel::Best);
    return 0;
}
