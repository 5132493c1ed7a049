#include "client/film_page.h"

#include "client/film_address.h"
#include "common/text.h"

namespace korvid {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool HasFourDigitsInARow(std::string_view text) {
    int run = 0;
    for (const char c : text) {
        run = IsDigit(c) ? run + 1 : 0;
        if (run == 4) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool TitleLineHasYear(std::string_view title_line) {
    const std::string upper = UpperAsciiCopy(title_line);
    std::string_view text = title_line;
    if (const std::size_t open = upper.find("<TITLE>"); open != std::string::npos) {
        text.remove_prefix(open + std::string_view("<TITLE>").size());
        const std::size_t close = UpperAsciiCopy(text).find("</TITLE>");
        text = text.substr(0, close);
    }
    for (std::size_t open = text.find('('); open != std::string_view::npos;
         open = text.find('(', open + 1)) {
        const std::size_t close = text.find(')', open);
        if (close == std::string_view::npos) {
            return false;
        }
        if (HasFourDigitsInARow(text.substr(open + 1, close - open - 1))) {
            return true;
        }
    }
    return false;
}

bool IsFilmPage(const LineList& page, std::string_view title_line, std::string_view read_from) {
    return TitleLineHasYear(title_line) || !FilmIdOfAddress(read_from).empty() ||
           !FilmAddressFromPage(page, "").empty();
}

}  // namespace korvid
