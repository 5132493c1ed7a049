#include "cli/film_tag.h"

#include <sys/stat.h>

#include "client/IMDBImport.h"
#include "tag/tag_fields.h"
#include "tag/tag_routines.h"

namespace korvid::cli {

MovieTagValues ValuesOfFilm(const TIMDBImport& importer) {
    PlainTagFields fields;
    FillFieldsFromFilm({importer.Title, importer.Director, importer.LeadRole, importer.MovieUrl,
                        importer.Year, importer.Genre},
                       fields.Fields());
    return {fields.title.Text(), fields.director.Text(), fields.comment.Text(),
            fields.imdb.Text(),  fields.year.Text(),     fields.genre.ItemIndex()};
}

std::string TagWriteFailure(const std::string& file, const IoError& error) {
    struct stat info {};
    std::string message = error.what();
    if (::stat(file.c_str(), &info) == 0 && info.st_size < static_cast<off_t>(MovieTag::Size)) {
        message += " (the file is " + std::to_string(info.st_size) +
                   " bytes long, too short to hold a tag of 128 bytes)";
    }
    return message;
}

}  // namespace korvid::cli
