#include "sample-site/sample_site.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <sstream>
#include <stdexcept>

#include "common/latin1.h"

namespace korvid::sample {
namespace {

using loopback::HttpRequest;
using loopback::HttpResponse;

constexpr std::string_view HostPlaceholder = "@HOST@";
constexpr const char* HtmlType = "text/html; charset=iso-8859-1";

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("sample site: cannot read " + path);
    }
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool FileExists(const std::string& path) {
    return std::ifstream(path, std::ios::binary).good();
}

// Folds a to z and the Latin-1 capitals (except the multiplication sign) to lower case.
unsigned char FoldCase(unsigned char c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) {
        return static_cast<unsigned char>(c + 0x20);
    }
    return c;
}

bool ContainsFolded(std::string_view text, std::string_view needle) {
    const auto same = [](char a, char b) {
        return FoldCase(static_cast<unsigned char>(a)) == FoldCase(static_cast<unsigned char>(b));
    };
    return std::search(text.begin(), text.end(), needle.begin(), needle.end(), same) != text.end();
}

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string PercentDecode(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '+') {
            out += ' ';
        } else if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
                   HexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// A browser sends the query in UTF-8; the catalogue is in Latin-1. A text that is valid
// UTF-8 with every character inside Latin-1 is turned into Latin-1; any other is kept.
std::string Utf8ToLatin1(const std::string& text) {
    std::string out;
    bool converted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            out += text[i];
        } else if ((c == 0xC2 || c == 0xC3) && i + 1 < text.size() &&
                   (static_cast<unsigned char>(text[i + 1]) & 0xC0) == 0x80) {
            out += static_cast<char>(((c & 0x03) << 6) |
                                     (static_cast<unsigned char>(text[i + 1]) & 0x3F));
            ++i;
            converted = true;
        } else {
            return text;
        }
    }
    return converted ? out : text;
}

std::string Trim(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    const std::size_t last = text.find_last_not_of(" \t");
    return std::string(text.substr(first, last - first + 1));
}

std::string HtmlEscape(std::string_view text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string ReplaceAll(std::string text, std::string_view from, std::string_view to) {
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

// The host the client addressed, for the absolute addresses in pages and redirects. Only
// the characters of a host name and port are accepted.
std::string RequestHost(const HttpRequest& request) {
    const std::string host = request.Header("Host");
    const bool plain =
        !host.empty() && host.size() < 256 && std::all_of(host.begin(), host.end(), [](char c) {
            return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                   c == '.' || c == '-' || c == ':' || c == '[' || c == ']';
        });
    return plain ? host : "127.0.0.1";
}

bool IsFilmId(std::string_view id) {
    return id.size() == 9 && id.substr(0, 2) == "tt" &&
           std::all_of(id.begin() + 2, id.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::vector<std::string> SplitFields(const std::string& line) {
    std::vector<std::string> fields;
    std::stringstream stream(line);
    std::string field;
    while (std::getline(stream, field, '|')) {
        fields.push_back(field);
    }
    return fields;
}

EntryForm ParseForm(const std::string& text, const std::string& line) {
    if (text == "plain")
        return EntryForm::Plain;
    if (text == "image")
        return EntryForm::Image;
    if (text == "split")
        return EntryForm::Split;
    throw std::runtime_error("sample site: unknown entry form in films.txt: " + line);
}

HttpResponse NotFound() {
    return HttpResponse::WithStatus(
        404, "Not Found",
        "<html>\r\n<head><title>Not found - Korvid sample site</title></head>\r\n"
        "<body><p>The sample site has no such page.</p></body>\r\n</html>\r\n");
}

// A short tag of the bytes (FNV-1a), quoted as an ETag is.
std::string EntityTag(const std::string& bytes) {
    std::uint64_t hash = 14695981039346656037ull;
    for (const char c : bytes) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    }
    char text[24];
    std::snprintf(text, sizeof text, "\"%016llx\"", static_cast<unsigned long long>(hash));
    return text;
}

}  // namespace

std::string DefaultPagesDir() {
    return KORVID_SAMPLE_PAGES_DIR;
}

std::string DefaultDatasetsDir() {
    return KORVID_SAMPLE_DATASETS_DIR;
}

std::string GzipCompress(const std::string& data) {
    z_stream stream{};
    // 15 + 16: a gzip wrapper; the header's time stays 0, so the bytes (and ETags) are stable.
    if (deflateInit2(&stream, 9, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        throw std::runtime_error("sample site: cannot start gzip");
    }
    std::string out(deflateBound(&stream, static_cast<uLong>(data.size())), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    const int result = deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    if (result != Z_STREAM_END) {
        throw std::runtime_error("sample site: gzip failed");
    }
    return out;
}

SampleSite::SampleSite(const std::string& pages_dir, const std::string& datasets_dir) {
    for (const std::string name : DatasetFileNames) {
        const std::string plain = name.substr(0, name.size() - 3);  // "title.basics.tsv"
        DatasetFile file;
        file.gzip = GzipCompress(ReadWholeFile(datasets_dir + "/" + plain));
        file.etag = EntityTag(file.gzip);
        datasets_[name] = std::move(file);
    }
    std::istringstream catalogue(ReadWholeFile(pages_dir + "/films.txt"));
    std::string line;
    while (std::getline(catalogue, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.empty() || line.front() == '#') {
            continue;
        }
        const std::vector<std::string> fields = SplitFields(line);
        const bool exact = fields.size() == 5 && fields[4] == "exact";
        if ((fields.size() != 4 && !exact) || !IsFilmId(fields[0]) || fields[1].empty()) {
            throw std::runtime_error("sample site: bad line in films.txt: " + line);
        }
        Film film{fields[0], fields[1], fields[2], ParseForm(fields[3], line), false, exact};
        film_pages_[film.id] = ReadWholeFile(pages_dir + "/title/" + film.id + ".html");
        const std::string cover = pages_dir + "/covers/" + film.id + ".jpg";
        if (FileExists(cover)) {
            covers_[film.id] = ReadWholeFile(cover);
            film.has_cover = true;
        }
        films_.push_back(std::move(film));
    }
    list_head_ = ReadWholeFile(pages_dir + "/find-head.html");
    list_foot_ = ReadWholeFile(pages_dir + "/find-foot.html");
    no_result_ = ReadWholeFile(pages_dir + "/find-none.html");
}

std::string SampleSite::QueryOf(std::string_view target) {
    const std::size_t question = target.find('?');
    if (question == std::string_view::npos) {
        return {};
    }
    // As a web server reads a query: the parameters split at "&", then "+" and the %XX
    // escapes of the value decoded. A "&" inside the title reaches the site as "%26".
    std::string_view query = target.substr(question + 1);
    for (;;) {
        const std::size_t end = query.find('&');
        const std::string_view parameter = query.substr(0, end);
        if (parameter.substr(0, 2) == "q=") {
            return Trim(Utf8ToLatin1(PercentDecode(parameter.substr(2))));
        }
        if (end == std::string_view::npos) {
            return {};
        }
        query.remove_prefix(end + 1);
    }
}

std::vector<const Film*> SampleSite::Find(std::string_view query) const {
    std::vector<const Film*> found;
    if (query.empty()) {
        return found;
    }
    for (const Film& film : films_) {
        const bool matches =
            film.exact_only ? film.title.size() == query.size() && ContainsFolded(film.title, query)
                            : ContainsFolded(film.title, query);
        if (matches) {
            found.push_back(&film);
        }
    }
    return found;
}

HttpResponse SampleSite::Answer(const HttpRequest& request) const {
    const std::string host = RequestHost(request);
    const std::string_view target = request.target;
    const std::string_view path = target.substr(0, target.find('?'));

    if (path == "/find") {
        return Search(host, target);
    }
    if (path == "/" || path == "/index.html") {
        return HttpResponse::Ok(Index(), HtmlType);
    }
    constexpr std::string_view title_prefix = "/title/";
    if (path.substr(0, title_prefix.size()) == title_prefix) {
        std::string_view id = path.substr(title_prefix.size());
        if (!id.empty() && id.back() == '/') {
            id.remove_suffix(1);
        }
        const auto page = film_pages_.find(std::string(id));
        if (page != film_pages_.end()) {
            return HttpResponse::Ok(ReplaceAll(page->second, HostPlaceholder, host), HtmlType);
        }
    }
    constexpr std::string_view datasets_prefix = "/datasets/";
    if (path.substr(0, datasets_prefix.size()) == datasets_prefix) {
        const auto file = datasets_.find(std::string(path.substr(datasets_prefix.size())));
        if (file != datasets_.end()) {
            return loopback::ServeEntity(request, file->second.gzip, file->second.etag,
                                         DatasetsLastModified, "application/gzip");
        }
    }
    constexpr std::string_view suggestion_prefix = "/suggestion/x/";
    if (path.substr(0, suggestion_prefix.size()) == suggestion_prefix && path.size() > 5 &&
        path.substr(path.size() - 5) == ".json") {
        return Suggest(host, path.substr(suggestion_prefix.size(),
                                         path.size() - suggestion_prefix.size() - 5));
    }
    // The picture a suggestion names, in any size: "ID@._V1_.jpg", "ID@._V1_UY468_.jpg".
    constexpr std::string_view image_prefix = "/images/M/";
    if (path.substr(0, image_prefix.size()) == image_prefix) {
        const std::string_view name = path.substr(image_prefix.size());
        const std::size_t at = name.find("@._V1_");
        const auto cover = at == std::string_view::npos
                               ? covers_.end()
                               : covers_.find(std::string(name.substr(0, at)));
        if (cover != covers_.end() && name.size() > 4 && name.substr(name.size() - 4) == ".jpg") {
            return HttpResponse::Ok(cover->second, "image/jpeg");
        }
    }
    constexpr std::string_view cover_prefix = "/covers/";
    if (path.substr(0, cover_prefix.size()) == cover_prefix && path.size() > 4 &&
        path.substr(path.size() - 4) == ".jpg") {
        const std::string id(
            path.substr(cover_prefix.size(), path.size() - cover_prefix.size() - 4));
        const auto cover = covers_.find(id);
        if (cover != covers_.end()) {
            return HttpResponse::Ok(cover->second, "image/jpeg");
        }
    }
    return NotFound();
}

HttpResponse SampleSite::Search(const std::string& host, std::string_view target) const {
    const std::vector<const Film*> found = Find(QueryOf(target));
    if (found.empty()) {
        return HttpResponse::Ok(no_result_, HtmlType);
    }
    if (found.size() == 1) {
        // One match: the site sends the film's page at once, by a redirect.
        return HttpResponse::Redirect("http://" + host + "/title/" + found.front()->id + "/");
    }
    return HttpResponse::Ok(ResultList(host, found), HtmlType);
}

HttpResponse SampleSite::Suggest(const std::string& host, std::string_view text) const {
    const std::string query = Trim(Utf8ToLatin1(PercentDecode(text)));
    std::vector<const Film*> found;
    if (IsFilmId(query)) {
        for (const Film& film : films_) {
            if (film.id == query) {
                found.push_back(&film);
            }
        }
    } else {
        found = Find(query);
    }
    nlohmann::json entries = nlohmann::json::array();
    int rank = 1000;
    for (const Film* film : found) {
        nlohmann::json entry = {{"id", film->id},
                                {"l", korvid::Latin1ToUtf8(film->title)},
                                {"q", "feature"},
                                {"qid", "movie"},
                                {"rank", rank++},
                                {"s", ""}};
        if (!film->year.empty()) {
            entry["y"] = std::stoi(film->year);
        }
        // A film without a cover has no picture, as the service leaves out "i".
        if (film->has_cover) {
            entry["i"] = {{"height", 1500},
                          {"imageUrl", "http://" + host + "/images/M/" + film->id + "@._V1_.jpg"},
                          {"width", 1000}};
        }
        entries.push_back(std::move(entry));
    }
    const nlohmann::json answer = {
        {"d", std::move(entries)}, {"q", korvid::Latin1ToUtf8(std::string(query))}, {"v", 1}};
    return HttpResponse::Ok(answer.dump(), "application/json; charset=utf-8");
}

std::string SampleSite::ResultList(const std::string& host,
                                   const std::vector<const Film*>& films) const {
    std::string page = list_head_;
    for (const Film* film : films) {
        const std::string link = "<a href=\"/title/" + film->id + "/\">";
        const std::string text = link + HtmlEscape(film->title) + "</a>";
        // A film without a cover has no picture to link.
        const EntryForm form =
            film->form == EntryForm::Image && !film->has_cover ? EntryForm::Plain : film->form;
        switch (form) {
            case EntryForm::Plain:
                page += "<li>" + text + " (" + film->year + ")</li>\r\n";
                break;
            case EntryForm::Image:
                page += "<li>" + link + "<img src=\"http://" + host + "/covers/" + film->id +
                        ".jpg\" width=\"23\" height=\"32\" alt=\"cover\"></a>" + text + " (" +
                        film->year + ")</li>\r\n";
                break;
            case EntryForm::Split:
                page += "<li>" + text + "\r\n";
                page += "    (" + film->year + ")</li>\r\n";
                break;
        }
    }
    return page + list_foot_;
}

std::string SampleSite::Index() const {
    std::string page =
        "<html>\r\n<head><title>Korvid sample site</title>\r\n"
        "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=iso-8859-1\"></head>\r\n"
        "<body>\r\n<h1>Korvid sample site</h1>\r\n"
        "<form action=\"/find\" method=\"get\"><input type=\"hidden\" name=\"s\" value=\"all\">"
        "<input type=\"text\" name=\"q\" size=\"24\"><input type=\"submit\" "
        "value=\"Find\"></form>\r\n"
        "<p>Invented films, for trying Korvid out:</p>\r\n<ul>\r\n";
    for (const Film& film : films_) {
        page += "<li><a href=\"/title/" + film.id + "/\">" + HtmlEscape(film.title) + "</a> (" +
                film.year + ")" + (film.has_cover ? "" : " - no cover") + "</li>\r\n";
    }
    return page + "</ul>\r\n</body>\r\n</html>\r\n";
}

RunningSampleSite::RunningSampleSite(std::uint16_t port, const std::string& pages_dir,
                                     const std::string& datasets_dir)
    : site_(std::make_unique<SampleSite>(pages_dir, datasets_dir)) {
    const SampleSite* site = site_.get();
    server_ = std::make_unique<loopback::LoopbackServer>(
        [site](const loopback::HttpRequest& request) { return site->Answer(request); }, port);
}

}  // namespace korvid::sample
