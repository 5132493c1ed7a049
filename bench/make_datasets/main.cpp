// Writes a synthetic data set in the six files' format (gzip-compressed, tab-separated, one
// header line, "\N" for missing values) for the benchmarks: deterministic, and scaled, so
// that scale 1 has about the full files' rows: 12 M titles (three in four of them episodes),
// 1.6 M ratings, 12 M crew rows, 95 M principals, 15 M names and 54 M alternative titles
// (about 4.5 a title, a fifth of them in Cyrillic, Greek, Japanese, Chinese or Korean).
// Identifiers run into 8 digits at every scale. Every value comes from a hash of its row, so
// each file is written by a thread of its own.
//
//   make_datasets FOLDER [SCALE] [LEVEL]     (SCALE default 0.1, gzip LEVEL default 6)

#include <zlib.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace {

std::uint64_t Mix(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

// A stream of pseudo-random numbers for one row of one file.
class Rng {
  public:
    Rng(std::uint64_t row, std::uint64_t salt) : state_(Mix(row * 0x100000001B3ull ^ Mix(salt))) {}
    std::uint64_t Next() { return state_ = Mix(state_); }
    std::uint32_t Below(std::uint32_t n) { return static_cast<std::uint32_t>(Next() % n); }
    double Unit() { return static_cast<double>(Next() >> 11) / 9007199254740992.0; }
    bool Chance(double p) { return Unit() < p; }

  private:
    std::uint64_t state_;
};

struct Scale {
    std::uint64_t titles;
    std::uint64_t names;
    std::uint64_t title_stride;  // ids are spread so that the last ones have 8 digits
    std::uint64_t name_stride;
};

const char* const kTypes[] = {"movie",        "short",     "tvSeries",  "tvMovie", "video",
                              "tvMiniSeries", "tvSpecial", "videoGame", "tvShort", "tvPilot"};
const char* const kGenres[] = {
    "Action",      "Adult", "Adventure", "Animation", "Biography", "Comedy",     "Crime",
    "Documentary", "Drama", "Family",    "Fantasy",   "Film-Noir", "Game-Show",  "History",
    "Horror",      "Music", "Musical",   "Mystery",   "News",      "Reality-TV", "Romance",
    "Sci-Fi",      "Short", "Sport",     "Talk-Show", "Thriller",  "War",        "Western"};
const char* const kCommon[] = {"The",  "of",    "Love",   "Night", "Man",    "Day",
                               "Last", "Story", "Life",   "a",     "in",     "and",
                               "Girl", "World", "House",  "Time",  "Dead",   "Black",
                               "City", "Blood", "Return", "Dark",  "Secret", "Home"};
const char* const kSyllables[] = {
    "ka",   "lo",  "ri",  "mon",      "ta",        "vel",       "sa",       "dor", "ne",
    "quin", "ber", "li",  "an",       "to",        "ra",        "mi",       "zel", "or",
    "pe",   "tu",  "gra", "ven",      "sol",       "de",        "mar",      "ti",  "ho",
    "lin",  "es",  "cu",  "\xC3\xA9", "\xC3\xB6r", "\xC3\xA5s", "\xC3\xB1o"};
// The alternative titles' scripts beyond the Latin one: syllables (or words), whether words
// are set apart by spaces, and the regions and languages such titles come from.
struct Script {
    std::vector<const char*> syllables;
    bool spaces;
    std::vector<std::pair<const char*, const char*>> regions;  // region, language
};
const Script kOtherScripts[] = {
    {{"ка", "ло", "ри", "мон", "та", "вел", "са", "дор", "не", "бер", "ли", "ёж", "зё", "ночь",
      "город", "дом", "ша", "чу", "ый"},
     true,
     {{"RU", "\\N"}, {"RU", "ru"}, {"SUHH", "ru"}, {"UA", "uk"}, {"BG", "bg"}, {"RS", "sr"}}},
    {{"κα", "λο", "ρί", "μόν", "τα", "βέλ", "σά", "ντορ", "νε", "λι", "αν", "ή", "ως", "νύχτα",
      "πόλη"},
     true,
     {{"GR", "\\N"}, {"GR", "el"}, {"CY", "el"}}},
    {{"カ", "ロ", "リ", "モン", "タ", "ベル", "の", "夜", "愛", "最後", "東京", "シ", "ン", "血",
      "家", "旅"},
     false,
     {{"JP", "\\N"}, {"JP", "ja"}}},
    {{"夜", "爱", "城", "最后", "的", "之", "人", "生", "黑", "血", "家", "时", "光", "秘密",
      "归来", "风"},
     false,
     {{"CN", "\\N"}, {"CN", "zh"}, {"TW", "\\N"}, {"HK", "\\N"}, {"SG", "cmn"}}},
    {{"밤", "사랑", "마지막", "도시", "의", "집", "시간", "피", "비밀", "카", "로", "리", "몬"},
     true,
     {{"KR", "\\N"}, {"KR", "ko"}}},
};
// Regions of titles in the Latin script, with a language where the file gives one.
const std::pair<const char*, const char*> kLatinRegions[] = {
    {"DE", "\\N"}, {"FR", "\\N"}, {"ES", "\\N"}, {"IT", "\\N"}, {"BR", "\\N"},
    {"PT", "\\N"}, {"MX", "\\N"}, {"NL", "\\N"}, {"PL", "\\N"}, {"SE", "\\N"},
    {"TR", "\\N"}, {"HU", "\\N"}, {"FI", "\\N"}, {"AR", "\\N"}, {"DE", "de"},
    {"FR", "fr"},  {"CA", "fr"},  {"XWW", "en"}, {"IN", "en"},  {"ES", "ca"}};
// Where a title the same as the primary one is shown.
const char* const kSameTitleRegions[] = {"US", "GB", "CA", "AU", "IE", "XWW"};
// The types of a row: mostly one (kAkaTypes), a few in a hundred several joined by the byte
// 0x02 (kAkaTypeLists).
const char* const kAkaTypes[] = {
    "imdbDisplay", "imdbDisplay", "imdbDisplay", "imdbDisplay", "imdbDisplay", "\\N",  "\\N",
    "alternative", "working",     "festival",    "dvd",         "tv",          "video"};
const char* const kAkaTypeLists[] = {"dvd\x02video", "imdbDisplay\x02tv", "alternative\x02tv",
                                     "festival\x02working"};
const char* const kAkaAttributes[] = {
    "literal title", "literal English title", "transliterated title",         "short title",
    "new title",     "re-release title",      "alternative spelling",         "complete title",
    "working title", "promotional title",     "informal title\x02short title"};

const char* const kCategories[] = {
    "actor",    "actress",         "self",   "director",           "writer", "producer",
    "composer", "cinematographer", "editor", "production_designer"};

class Output {
  public:
    Output(const std::string& path, int level) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "wb%d", level);
        file_ = gzopen(path.c_str(), mode);
        if (file_ == nullptr) {
            std::fprintf(stderr, "make_datasets: cannot write %s\n", path.c_str());
            std::exit(1);
        }
        gzbuffer(file_, 1 << 20);
        buffer_.reserve(1 << 20);
    }
    ~Output() {
        Flush();
        gzclose(file_);
    }
    std::string& Text() { return buffer_; }
    void EndRow() {
        buffer_ += '\n';
        if (buffer_.size() > (1 << 20) - 4096) {
            Flush();
        }
    }

  private:
    void Flush() {
        if (!buffer_.empty() &&
            gzwrite(file_, buffer_.data(), static_cast<unsigned>(buffer_.size())) <= 0) {
            std::fprintf(stderr, "make_datasets: write failed\n");
            std::exit(1);
        }
        buffer_.clear();
    }
    gzFile file_;
    std::string buffer_;
};

void AppendId(std::string& out, const char* prefix, std::uint64_t number) {
    char text[24];
    std::snprintf(text, sizeof text, number < 10'000'000 ? "%s%07llu" : "%s%08llu", prefix,
                  static_cast<unsigned long long>(number));
    out += text;
}

std::uint64_t TitleNumber(const Scale& scale, std::uint64_t index) {
    return (index + 1) * scale.title_stride;
}
std::uint64_t NameNumber(const Scale& scale, std::uint64_t index) {
    return (index + 1) * scale.name_stride;
}

void AppendWord(std::string& out, Rng& rng) {
    if (rng.Chance(0.35)) {
        out += kCommon[rng.Below(std::size(kCommon))];
        return;
    }
    const std::uint32_t syllables = 2 + rng.Below(3);
    for (std::uint32_t i = 0; i < syllables; ++i) {
        // Early syllables are picked more often: a few words are frequent, most are rare.
        const double u = rng.Unit();
        out += kSyllables[static_cast<std::size_t>(u * u * std::size(kSyllables))];
    }
}

// Words with the first one capitalised; words 0 picks one to four.
void AppendTitle(std::string& out, Rng& rng, std::uint32_t words = 0) {
    if (words == 0) {
        words = 1 + rng.Below(4);
    }
    const std::size_t start = out.size();
    for (std::uint32_t i = 0; i < words; ++i) {
        if (i > 0) {
            out += ' ';
        }
        AppendWord(out, rng);
    }
    if (out[start] >= 'a' && out[start] <= 'z') {
        out[start] = static_cast<char>(out[start] - 'a' + 'A');
    }
    if (rng.Chance(0.05)) {
        out += ": ";
        AppendWord(out, rng);
    }
}

// A title's type: three in four are episodes.
const char* TitleType(std::uint64_t index) {
    Rng rng(index, 1);
    if (rng.Chance(0.75)) {
        return "tvEpisode";
    }
    const double u = rng.Unit();
    return kTypes[static_cast<std::size_t>(u * u * std::size(kTypes))];
}

void AppendNumberOrMissing(std::string& out, bool missing, std::uint64_t value) {
    if (missing) {
        out += "\\N";
    } else {
        out += std::to_string(value);
    }
}

void WriteBasics(const Scale& scale, const std::string& path, int level) {
    Output out(path, level);
    out.Text() +=
        "tconst\ttitleType\tprimaryTitle\toriginalTitle\tisAdult\tstartYear\tendYear\t"
        "runtimeMinutes\tgenres";
    out.EndRow();
    for (std::uint64_t i = 0; i < scale.titles; ++i) {
        Rng rng(i, 2);
        std::string& t = out.Text();
        AppendId(t, "tt", TitleNumber(scale, i));
        t += '\t';
        const char* type = TitleType(i);
        t += type;
        t += '\t';
        const std::size_t title_start = t.size();
        AppendTitle(t, rng);
        const std::string primary = t.substr(title_start);
        t += '\t';
        if (rng.Chance(0.85)) {
            t += primary;
        } else {
            AppendTitle(t, rng);
        }
        t += rng.Chance(0.02) ? "\t1\t" : "\t0\t";
        const std::uint64_t year = 1890 + rng.Below(137);
        AppendNumberOrMissing(t, rng.Chance(0.05), year);
        t += '\t';
        const bool series = std::strcmp(type, "tvSeries") == 0;
        AppendNumberOrMissing(t, !series || rng.Chance(0.5), year + rng.Below(10));
        t += '\t';
        AppendNumberOrMissing(t, rng.Chance(0.3), 1 + rng.Below(180));
        t += '\t';
        if (rng.Chance(0.08)) {
            t += "\\N";
        } else {
            const std::uint32_t genres = 1 + rng.Below(3);
            std::uint32_t genre = rng.Below(std::size(kGenres));
            for (std::uint32_t g = 0; g < genres && genre < std::size(kGenres); ++g) {
                if (g > 0) {
                    t += ',';
                }
                t += kGenres[genre];
                genre += 1 + rng.Below(6);
            }
        }
        out.EndRow();
    }
}

void WriteRatings(const Scale& scale, const std::string& path, int level) {
    Output out(path, level);
    out.Text() += "tconst\taverageRating\tnumVotes";
    out.EndRow();
    for (std::uint64_t i = 0; i < scale.titles; ++i) {
        Rng rng(i, 3);
        const bool episode = std::strcmp(TitleType(i), "tvEpisode") == 0;
        if (!rng.Chance(episode ? 0.08 : 0.3)) {
            continue;
        }
        std::string& t = out.Text();
        AppendId(t, "tt", TitleNumber(scale, i));
        char rating[16];
        std::snprintf(rating, sizeof rating, "\t%u.%u\t", 1 + rng.Below(9), rng.Below(10));
        t += rating;
        // Few titles have many votes: a Pareto tail up to about 3 million.
        const double votes = 5.0 / std::pow(1.0 - rng.Unit(), 1.1);
        t += std::to_string(static_cast<std::uint64_t>(std::min(votes, 3.0e6)));
        out.EndRow();
    }
}

void AppendNameList(std::string& out, Rng& rng, const Scale& scale, std::uint32_t count) {
    if (count == 0) {
        out += "\\N";
        return;
    }
    for (std::uint32_t i = 0; i < count; ++i) {
        if (i > 0) {
            out += ',';
        }
        AppendId(out, "nm", NameNumber(scale, rng.Below(static_cast<std::uint32_t>(scale.names))));
    }
}

void WriteCrew(const Scale& scale, const std::string& path, int level) {
    Output out(path, level);
    out.Text() += "tconst\tdirectors\twriters";
    out.EndRow();
    for (std::uint64_t i = 0; i < scale.titles; ++i) {
        Rng rng(i, 4);
        std::string& t = out.Text();
        AppendId(t, "tt", TitleNumber(scale, i));
        t += '\t';
        AppendNameList(t, rng, scale, rng.Chance(0.4) ? 0 : 1 + (rng.Chance(0.1) ? 1 : 0));
        t += '\t';
        AppendNameList(t, rng, scale, rng.Chance(0.5) ? 0 : 1 + rng.Below(2));
        out.EndRow();
    }
}

void AppendCharacter(std::string& out, Rng& rng) {
    out += "[\"";
    if (rng.Chance(0.03)) {
        out += "Thomas \\\"";
        AppendWord(out, rng);
        out += "\\\" Anderson";
    } else {
        AppendTitle(out, rng);
    }
    out += '"';
    if (rng.Chance(0.1)) {
        out += ",\"Self\"";
    }
    out += ']';
}

void WritePrincipals(const Scale& scale, const std::string& path, int level) {
    Output out(path, level);
    out.Text() += "tconst\tordering\tnconst\tcategory\tjob\tcharacters";
    out.EndRow();
    for (std::uint64_t i = 0; i < scale.titles; ++i) {
        Rng rng(i, 5);
        // About 8 a title on average.
        const std::uint32_t count = rng.Chance(0.05) ? 0 : 1 + rng.Below(15);
        for (std::uint32_t ordering = 1; ordering <= count; ++ordering) {
            std::string& t = out.Text();
            AppendId(t, "tt", TitleNumber(scale, i));
            t += '\t';
            t += std::to_string(ordering);
            t += '\t';
            // Popular names come up often.
            const double u = rng.Unit();
            AppendId(t, "nm",
                     NameNumber(scale, static_cast<std::uint64_t>(
                                           u * u * static_cast<double>(scale.names))));
            t += '\t';
            const double c = rng.Unit();
            const char* category = kCategories[static_cast<std::size_t>(
                (ordering <= 2 ? c * c * c : c * c) * std::size(kCategories))];
            t += category;
            t += '\t';
            const bool acting = std::strcmp(category, "actor") == 0 ||
                                std::strcmp(category, "actress") == 0 ||
                                std::strcmp(category, "self") == 0;
            t += acting || !rng.Chance(0.3) ? "\\N" : "director of photography";
            t += '\t';
            if (acting && !rng.Chance(0.2)) {
                AppendCharacter(t, rng);
            } else {
                t += "\\N";
            }
            out.EndRow();
        }
    }
}

// A title in one of the other scripts: one to four words of its syllables.
void AppendScriptTitle(std::string& out, Rng& rng, const Script& script) {
    const std::uint32_t words = 1 + rng.Below(4);
    for (std::uint32_t w = 0; w < words; ++w) {
        if (w > 0 && script.spaces) {
            out += ' ';
        }
        const std::uint32_t syllables = 1 + rng.Below(3);
        for (std::uint32_t i = 0; i < syllables; ++i) {
            const double u = rng.Unit();
            out += script.syllables[static_cast<std::size_t>(u * u * script.syllables.size())];
        }
    }
}

// Upper case of the ASCII letters: a title that a search's folding makes equal to another.
std::string AsciiUpper(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return text;
}

// About 4.5 rows a title: first the original title (the basics' primary one), then titles the
// same as the primary one or differing only in letter case (which the build leaves out),
// titles in other Latin-script languages, and about a fifth of all rows in another script.
void WriteAkas(const Scale& scale, const std::string& path, int level) {
    Output out(path, level);
    out.Text() += "titleId\tordering\ttitle\tregion\tlanguage\ttypes\tattributes\tisOriginalTitle";
    out.EndRow();
    for (std::uint64_t i = 0; i < scale.titles; ++i) {
        // The primary title as WriteBasics makes it, from the same stream.
        Rng basics(i, 2);
        std::string primary;
        AppendTitle(primary, basics);
        Rng rng(i, 7);
        const std::uint32_t count = 1 + rng.Below(8);
        for (std::uint32_t ordering = 1; ordering <= count; ++ordering) {
            std::string& t = out.Text();
            AppendId(t, "tt", TitleNumber(scale, i));
            t += '\t';
            t += std::to_string(ordering);
            t += '\t';
            const char* types = rng.Chance(0.03)
                                    ? kAkaTypeLists[rng.Below(std::size(kAkaTypeLists))]
                                    : kAkaTypes[rng.Below(std::size(kAkaTypes))];
            const char* attributes =
                rng.Chance(0.85) ? "\\N" : kAkaAttributes[rng.Below(std::size(kAkaAttributes))];
            const double kind = rng.Unit();
            if (ordering == 1) {
                t += primary;
                t += "\t\\N\t\\N\toriginal\t\\N\t1";
                out.EndRow();
                continue;
            }
            std::pair<const char*, const char*> region;
            if (kind < 0.26) {
                // In another script: with the original row, a fifth of all rows.
                const Script& script = kOtherScripts[rng.Below(std::size(kOtherScripts))];
                AppendScriptTitle(t, rng, script);
                region =
                    script.regions[rng.Below(static_cast<std::uint32_t>(script.regions.size()))];
            } else if (kind < 0.45) {
                t += rng.Chance(0.8) ? primary : AsciiUpper(primary);
                region = {kSameTitleRegions[rng.Below(std::size(kSameTitleRegions))],
                          rng.Chance(0.2) ? "en" : "\\N"};
            } else {
                AppendTitle(t, rng);
                region = kLatinRegions[rng.Below(std::size(kLatinRegions))];
            }
            t += '\t';
            t += region.first;
            t += '\t';
            t += region.second;
            t += '\t';
            t += types;
            t += '\t';
            t += attributes;
            t += "\t0";
            out.EndRow();
        }
    }
}

void WriteNames(const Scale& scale, const std::string& path, int level) {
    Output out(path, level);
    out.Text() += "nconst\tprimaryName\tbirthYear\tdeathYear\tprimaryProfession\tknownForTitles";
    out.EndRow();
    for (std::uint64_t i = 0; i < scale.names; ++i) {
        Rng rng(i, 6);
        std::string& t = out.Text();
        AppendId(t, "nm", NameNumber(scale, i));
        t += '\t';
        AppendTitle(t, rng, 2);
        t += '\t';
        const std::uint64_t born = 1850 + rng.Below(170);
        AppendNumberOrMissing(t, rng.Chance(0.8), born);
        t += '\t';
        AppendNumberOrMissing(t, rng.Chance(0.9), born + 20 + rng.Below(80));
        t += '\t';
        t += rng.Chance(0.2) ? "\\N" : rng.Chance(0.5) ? "actor,producer" : "actress";
        t += '\t';
        const std::uint32_t known = rng.Below(5);
        if (known == 0) {
            t += "\\N";
        }
        for (std::uint32_t k = 0; k < known; ++k) {
            if (k > 0) {
                t += ',';
            }
            AppendId(t, "tt",
                     TitleNumber(scale, rng.Below(static_cast<std::uint32_t>(scale.titles))));
        }
        out.EndRow();
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 4) {
        std::fprintf(stderr, "usage: make_datasets FOLDER [SCALE] [LEVEL]\n");
        return 2;
    }
    const std::string folder = argv[1];
    const double factor = argc > 2 ? std::atof(argv[2]) : 0.1;
    const int level = argc > 3 ? std::atoi(argv[3]) : 6;
    if (!(factor > 0 && factor <= 2) || level < 1 || level > 9) {
        std::fprintf(stderr, "make_datasets: SCALE is above 0 and at most 2, LEVEL 1 to 9\n");
        return 2;
    }
    Scale scale;
    scale.titles = std::max<std::uint64_t>(10, static_cast<std::uint64_t>(12e6 * factor));
    scale.names = std::max<std::uint64_t>(10, static_cast<std::uint64_t>(15e6 * factor));
    // Spread the ids so the last ones pass 9,999,999 and have 8 digits.
    scale.title_stride = std::max<std::uint64_t>(1, 11'000'000 / scale.titles + 1);
    scale.name_stride = std::max<std::uint64_t>(1, 11'000'000 / scale.names + 1);
    std::filesystem::create_directories(folder);
    std::vector<std::thread> writers;
    writers.emplace_back(WriteBasics, scale, folder + "/title.basics.tsv.gz", level);
    writers.emplace_back(WriteRatings, scale, folder + "/title.ratings.tsv.gz", level);
    writers.emplace_back(WriteCrew, scale, folder + "/title.crew.tsv.gz", level);
    writers.emplace_back(WritePrincipals, scale, folder + "/title.principals.tsv.gz", level);
    writers.emplace_back(WriteNames, scale, folder + "/name.basics.tsv.gz", level);
    writers.emplace_back(WriteAkas, scale, folder + "/title.akas.tsv.gz", level);
    for (auto& writer : writers) {
        writer.join();
    }
    return 0;
}
