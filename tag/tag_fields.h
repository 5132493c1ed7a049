#pragma once
// The six fields of the tag editor as the tag routines see them: five single-line texts and
// the genre box. The editor window implements these with its widgets; korvid-cli and the tests
// use the plain in-memory versions below.

#include <string>
#include <utility>

#include "tag/movie_tag.h"

namespace korvid {

class TagTextField {
  public:
    virtual ~TagTextField() = default;
    virtual std::string Text() const = 0;
    virtual void SetText(const std::string& text) = 0;
};

// A drop-down list of the 27 genre names into which the user may also type.
//  - ItemIndex() is -1 when no item is selected.
//  - SetItemIndex to the current index changes nothing; to -1 (otherwise) it removes the
//    selection and empties the text; to an item it selects it and shows its name.
//  - SetText changes the text only, never the selection.
class TagGenreBox {
  public:
    virtual ~TagGenreBox() = default;
    virtual int ItemIndex() const = 0;
    virtual void SetItemIndex(int index) = 0;
    virtual std::string Text() const = 0;
    virtual void SetText(const std::string& text) = 0;
};

// The six fields in the fixed order the routines take them: title, director, database
// identifier, year, comment, genre.
struct TagFields {
    TagTextField& title;
    TagTextField& director;
    TagTextField& imdb;
    TagTextField& year;
    TagTextField& comment;
    TagGenreBox& genre;
};

class PlainTextField : public TagTextField {
  public:
    PlainTextField() = default;
    explicit PlainTextField(std::string text) : text_(std::move(text)) {}
    std::string Text() const override { return text_; }
    void SetText(const std::string& text) override { text_ = text; }

  private:
    std::string text_;
};

class PlainGenreBox : public TagGenreBox {
  public:
    int ItemIndex() const override { return index_; }
    // An index outside the list removes the selection, as -1 does.
    void SetItemIndex(int index) override;
    std::string Text() const override { return text_; }
    void SetText(const std::string& text) override { text_ = text; }

  private:
    int index_ = -1;
    std::string text_;
};

// Six plain fields, owned together, with a TagFields view of them.
struct PlainTagFields {
    PlainTextField title;
    PlainTextField director;
    PlainTextField imdb;
    PlainTextField year;
    PlainTextField comment;
    PlainGenreBox genre;

    TagFields Fields() { return {title, director, imdb, year, comment, genre}; }
};

}  // namespace korvid
