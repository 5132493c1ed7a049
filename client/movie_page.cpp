// The film page parser. The page is read by line markers, without an HTML parser: each
// field is cut out of the first line holding its marker (or the line after it) by the texts
// that surround the value. Two chains of searches continue from the line the previous
// search found, so a missing link hides the later ones: poster, then director; and genre,
// then tag line, then plot, then running time. Everything else is searched from line 0.

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "client/IMDBImport.h"
#include "client/film_document.h"
#include "client/marker_filter.h"

namespace korvid {
namespace {

// The last slot of Genres; slot 0 is never used.
constexpr std::int32_t LastGenreSlot = 10;

// Characters a cast line carries before its first cast entry.
constexpr std::size_t CastLinePrefix = 382;

// The markers of the page, in the order of the steps.
constexpr const char* TitleMarker = "<TITLE>";
constexpr const char* PosterMarker = "\"poster\"";
constexpr const char* DirectorMarker = "Directed by";
constexpr const char* GenreMarker = "\"ch\">Genre:";
constexpr const char* TagLineMarker = "Tagline:";
constexpr const char* PlotMarker = "Plot Outline:";
constexpr const char* RunningTimeMarker = "Runtime:";
constexpr const char* CastMarker = "Cast overview";
constexpr const char* RatingMarker = "/10</b>";

// The film page's markers, upper-cased, prepared for one pass over the page.
const MarkerFilter& FilmPageMarkers() {
    static const MarkerFilter markers([] {
        std::vector<std::string> upper;
        for (const char* marker :
             {TitleMarker, PosterMarker, DirectorMarker, GenreMarker, TagLineMarker, PlotMarker,
              RunningTimeMarker, CastMarker, RatingMarker}) {
            upper.push_back(UpperAsciiCopy(marker));
        }
        return upper;
    }());
    return markers;
}

// Drops the first count characters of the text (all of it when it is shorter). On a view
// this moves its start, so walking a long line step by step stays linear.
void DropFront(std::string_view& text, std::size_t count) {
    text.remove_prefix(std::min(count, text.size()));
}

// The 1-based position of the first occurrence of the needle, 0 when it is absent.
std::size_t Position(std::string_view text, std::string_view needle) {
    const std::size_t at = text.find(needle);
    return at == std::string_view::npos ? 0 : at + 1;
}

// The cover address of a poster line: the text after `src="` up to `" height`, both the
// first of their kind in the whole line. Empty when `src="` is missing or the end stands
// before the start.
std::string PosterAddress(std::string_view line) {
    constexpr std::string_view start_text = "src=\"";
    const std::size_t start = line.find(start_text);
    const std::size_t end = line.find("\" height");
    if (start == std::string_view::npos || end == std::string_view::npos ||
        end <= start + start_text.size()) {
        return "";
    }
    const std::size_t from = start + start_text.size();
    return std::string(line.substr(from, end - from));
}

// The votes after the rating on its line ("<b>7.9/10</b> <a ...>2,814 votes</a>",
// "<b>6.8/10</b> (954 votes)"): the number before the first "votes" past the rating, its
// thousands separated by commas. Nothing when the line gives none.
std::optional<std::int64_t> VotesOfRatingLine(std::string_view line) {
    const std::size_t rating = line.find(RatingMarker);
    const std::size_t votes = line.find("votes", rating == std::string_view::npos ? 0 : rating);
    if (rating == std::string_view::npos || votes == std::string_view::npos) {
        return std::nullopt;
    }
    std::size_t start = line.find_last_not_of(' ', votes - 1);
    std::int64_t count = 0;
    std::int64_t scale = 1;
    bool digits = false;
    for (; start != std::string_view::npos && start > rating; --start) {
        const char c = line[start];
        if (c >= '0' && c <= '9') {
            if (scale > 1'000'000'000'000) {
                return std::nullopt;  // more votes than people
            }
            count += (c - '0') * scale;
            scale *= 10;
            digits = true;
        } else if (c != ',') {
            break;
        }
    }
    return digits ? std::optional<std::int64_t>(count) : std::nullopt;
}

}  // namespace

// While it lives, FindLine answers from the first line of each film page marker, all found
// in one pass over the page when it begins.
class TIMDBImport::MarkerTableScope {
  public:
    explicit MarkerTableScope(TIMDBImport& importer) : importer_(importer) {
        MarkerTable& table = importer_.marker_table_;
        Forget(table);
        if (importer_.plain_line_search_ || !MarkerFilter::Vectorised()) {
            return;  // without vectors, one search per marker is faster
        }
        const LineList& lines = importer_.PageLines;
        const std::vector<std::string>& markers = FilmPageMarkers().Needles();
        const std::vector<std::size_t> found = FilmPageMarkers().FindFirst(lines.Buffer());
        for (std::size_t k = 0; k < found.size(); ++k) {
            std::int32_t first = -1;
            if (found[k] != std::string_view::npos) {
                const int line = lines.LineAt(found[k]);
                // An occurrence across a line break leaves the marker to the line search.
                first = found[k] + markers[k].size() <= lines.LineEnd(line) ? line : -2;
            }
            table.first_lines.push_back(first);
        }
        table.upper_markers = &markers;
        table.page = lines.Buffer();
    }
    MarkerTableScope(const MarkerTableScope&) = delete;
    MarkerTableScope& operator=(const MarkerTableScope&) = delete;
    ~MarkerTableScope() { Forget(importer_.marker_table_); }

  private:
    // Empties the table, keeping the memory of its lines for the next parse.
    static void Forget(MarkerTable& table) noexcept {
        table.upper_markers = nullptr;
        table.first_lines.clear();
        table.page = {};
    }

    TIMDBImport& importer_;
};

void TIMDBImport::StartFilm() {
    CsvRow = "";
    CsvLines.Clear();
    CsvLines.Add(CsvHeaderRow);
    MovieFound = true;
    GenreSlot = 1;
    StartXmlDocument();  // line 8 holds Title as the last search or parse left it
    ClearFilmFields();
    std::fill(Genres.begin(), Genres.end(), ShortString());
    PosterUrl = "";
    CastTrueName = "";
    CastName = "";
    LeadRole = "";
    XmlLines.Add("<Movie_Data>");
}

void TIMDBImport::ParseMoviePage() {
    // The next line after the cursor; reading past the last line raises the list's index
    // error and ends the parse.
    const auto next_line = [this]() -> LineView {
        ++LineIndex;
        return PageLines[LineIndex];
    };
    // The value of a step when its marker was found.
    const auto if_found = [this](const ShortString& value) -> std::optional<std::string_view> {
        return LineIndex >= 0 ? std::optional<std::string_view>(value) : std::nullopt;
    };

    // 1. Begin: the documents restart, and no value of the film read before survives.
    StartFilm();
    FilmDocument document(XmlLines, CsvRow);
    const MarkerTableScope marker_table(*this);

    // 2. Title and year. The extraction matches "<title>" in lower case only.
    FindLine(TitleMarker, 0);
    if (LineIndex < 0) {
        ClearMovieData();
        return;
    }
    Title = ExtractLinkText(PageLines[LineIndex], "<title>", "</title>");
    Year = ExtractBetween(Title, "(", ")");
    Title = RemoveText(Title, "(" + Year + ")");
    document.TitleAndYear(Title, Year);

    // 3. Cover image, read from the whole poster line (the address may stand past 255).
    FindLine(PosterMarker, LineIndex);
    if (LineIndex >= 0) {
        PosterUrl = PosterAddress(PageLines[LineIndex]);
        DownloadPoster(PosterUrl, Title + ".jpg");
    }
    document.Cover(if_found(PosterFile));

    // 4. Director: the first link on the line after "Directed by".
    FindLine(DirectorMarker, LineIndex);
    if (LineIndex >= 0) {
        Director = ExtractLinkText(ShortString(next_line()), "<a", "</a>");
        document.Director(Director);
    }

    // 5. Genres: the links of the line after the genre marker, up to "(more)".
    document.OpenGenres();
    FindLine(GenreMarker, 0);
    const bool genre_line_found = LineIndex >= 0;
    if (genre_line_found) {
        // A view of the page's line: the loop below changes no line of PageLines.
        std::string_view rest = next_line();
        for (;;) {
            Genre = ExtractLinkText(ShortString(rest), "<a", "</a>");
            const std::size_t link_end = Position(rest, "</a>");
            if (Genre == "(more)" || link_end == 0) {
                break;
            }
            // Only ten slots exist: later genres are listed in the document but not kept.
            if (GenreSlot <= LastGenreSlot) {
                Genres[static_cast<std::size_t>(GenreSlot)] = Genre;
                ++GenreSlot;
            }
            DropFront(rest, link_end + 4);  // through "</a>" and the one character after it
            document.Genre(Genre);
        }
        Genre = Genres[1];
    }
    document.CloseGenres(genre_line_found);

    // 6. Tag line, and 7. plot outline, each searched on from the line before.
    FindLine(TagLineMarker, LineIndex);
    if (LineIndex >= 0) {
        TagLine = ExtractBetween(PageLines[LineIndex], "b>", "<a");
    }
    const std::optional<std::string_view> tag_line = if_found(TagLine);
    FindLine(PlotMarker, LineIndex);
    if (LineIndex >= 0) {
        Plot = ExtractBetween(PageLines[LineIndex], "b>", "<a");
    }
    document.AdditionalInfo(tag_line, if_found(Plot), Director);

    // 8. Running time: the whole line after "Runtime:", trimmed.
    FindLine(RunningTimeMarker, LineIndex);
    if (LineIndex >= 0) {
        RunningTime = TrimControls(next_line());
        document.RunningTime(RunningTime);
    }

    // 9. The first cast entry, which follows the cast table's fixed opening markup.
    FindLine(CastMarker, 0);
    if (LineIndex >= 0) {
        std::string_view rest = PageLines[LineIndex];
        DropFront(rest, CastLinePrefix);
        CastTrueName = ExtractLinkText(ShortString(rest), "<a href=\"/name/", "</a>");
        DropFront(rest, Position(rest, "....") + 9);
        CastName = ExtractLinkText(ShortString(rest), "<td valign", "</td>");
        LeadRole = CastTrueName + " as " + CastName;
    }
    document.Cast(LineIndex >= 0, CastTrueName, CastName);

    // 10. User rating, as the page prints it.
    FindLine(RatingMarker, 0);
    if (LineIndex >= 0) {
        Rated = ExtractLinkText(PageLines[LineIndex], "<b>", "</b>");
        page_votes_ = VotesOfRatingLine(PageLines[LineIndex]);
    }
    document.Rating(if_found(Rated));

    // 11. Close both documents.
    document.Close(MovieUrl);
    FinishCsvRow();
}

}  // namespace korvid
