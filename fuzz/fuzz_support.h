#pragma once
// Small helpers shared by the fuzz targets: a broken invariant aborts with its text (so
// libFuzzer keeps the input), inputs are cut into parts, and the program folder of the
// targets that write files is one temporary folder per process.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace korvid::fuzz {

// Prints the invariant that broke and aborts.
[[noreturn]] void Fail(std::string_view what, std::string_view detail = {});

inline void Check(bool holds, std::string_view what, std::string_view detail = {}) {
    if (!holds) {
        Fail(what, detail);
    }
}

inline std::string_view AsText(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// The text cut at every occurrence of the separator (n separators give n + 1 parts).
std::vector<std::string_view> Split(std::string_view text, std::string_view separator);

// The leading decimal number of the text (an optional "-", then digits), or fallback when it
// holds none; kept within -1000..1000.
int SmallNumber(std::string_view text, int fallback);

// A folder made once per process under the system's temporary folder, with the program
// folder "app/" inside it. Tests look at both: nothing may appear beside "app".
class FuzzFolders {
  public:
    static const FuzzFolders& Get();
    const std::string& Root() const { return root_; }       // no trailing "/"
    const std::string& AppDir() const { return app_dir_; }  // trailing "/"

    ~FuzzFolders();
    FuzzFolders(const FuzzFolders&) = delete;
    FuzzFolders& operator=(const FuzzFolders&) = delete;

  private:
    FuzzFolders();
    std::string root_;
    std::string app_dir_;
};

// The names in a folder, "." and ".." left out, sorted.
std::vector<std::string> FolderEntries(const std::string& path);
bool IsRegularFile(const std::string& path);
// Removes every entry of the folder (files and empty folders only).
void EmptyFolder(const std::string& path);

// What a target that writes into the program folder checks after each run: nothing beside
// the program folder, nothing but plain files in it, and the cover (when poster names one)
// directly inside it.
void CheckProgramFolder(const std::string& poster);

// The fields of the importer checked against the 255-byte limit.
template <typename Import, typename Visit>
void ForEachShortField(const Import& import, Visit visit) {
    visit("Title", import.Title);
    visit("Year", import.Year);
    visit("Director", import.Director);
    visit("LeadRole", import.LeadRole);
    visit("Rated", import.Rated);
    visit("Genre", import.Genre);
    visit("TagLine", import.TagLine);
    visit("Plot", import.Plot);
    visit("PosterFile", import.PosterFile);
    visit("RunningTime", import.RunningTime);
    visit("Host", import.Host);
    visit("AppDir", import.AppDir);
    visit("MovieUrl", import.MovieUrl);
    visit("CastTrueName", import.CastTrueName);
    visit("CastName", import.CastName);
    visit("PosterUrl", import.PosterUrl);
    visit("CsvRow", import.CsvRow);
    for (const auto& genre : import.Genres) {
        visit("Genres[]", genre);
    }
}

}  // namespace korvid::fuzz
