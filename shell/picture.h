#pragma once
// Pictures of the desktop program. A TGraphic is one picture in one file format; TPicture
// holds at most one graphic and picks the graphic class for a file by its extension from
// the picture loader's table of formats; TImage is the control that shows a picture.
//
// The table: "jpeg" and "jpg" ("JPEG Image File") while the JPEG format is registered
// (RegisterJpegFormat at start-up, UnregisterJpegFormat at shutdown); the built-in "bmp"
// ("Bitmaps") and "ico" ("Icons"), read through Qt's image reader; "emf" ("Enhanced
// Metafiles") and "wmf" ("Metafiles"), which have no decoder here and fail to load.
// Extensions compare without regard to letter case.

#include <QPainter>
#include <QRect>
#include <QWidget>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

namespace korvid {

class TGraphic {
  public:
    virtual ~TGraphic() = default;
    // Reads the file. Throws, keeping nothing, when it cannot be read or is not a picture
    // of this format.
    virtual void LoadFromFile(const std::string& file_name) = 0;
    // The same from bytes in memory (a picture stored in a window's layout).
    virtual void LoadFromData(const std::string& bytes) = 0;
    // Writes the picture in its own format, whatever the file name's extension.
    virtual void SaveToFile(const std::string& file_name) const = 0;
    // Draws the picture stretched to the target. May throw (a JPEG error, once).
    virtual void Draw(QPainter& painter, const QRect& target) = 0;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
};

void RegisterJpegFormat();
void UnregisterJpegFormat();

// The save-picture dialog's filter built from the table, in the "description|patterns|..."
// form: "All (*.jpeg;*.jpg;...)|*.jpeg;*.jpg;...|JPEG Image File (*.jpeg)|*.jpeg|...".
std::string GraphicFilter();

class TPicture {
  public:
    // Loads the file with the graphic class its extension names. On failure (unknown
    // extension, missing file, unreadable header) it throws and keeps the previous graphic.
    void LoadFromFile(const std::string& file_name);
    // Loads layout data with the class of the given extension; when the table has no such
    // format the picture is left empty and the result is false.
    bool LoadFromData(const std::string& bytes, std::string_view extension);
    // Writes the graphic in its own format; writes nothing when the picture is empty.
    void SaveToFile(const std::string& file_name) const;
    // Takes a graphic loaded elsewhere (a cover decoded on its job's thread).
    void Assign(std::unique_ptr<TGraphic> graphic) { graphic_ = std::move(graphic); }
    void Clear() { graphic_.reset(); }
    bool Empty() const { return graphic_ == nullptr; }
    TGraphic* Graphic() const { return graphic_.get(); }

  private:
    std::unique_ptr<TGraphic> graphic_;
};

// The picture control: paints its picture stretched to its whole area, without keeping
// the aspect ratio. An error of the picture while painting is reported once through the
// message loop's error box (TApplication::ReportErrorLater); the area stays blank.
class TImage : public QWidget {
    Q_OBJECT

  public:
    explicit TImage(QWidget* parent = nullptr);
    TPicture& Picture() { return picture_; }
    // Call after changing the picture, so the control repaints.
    void PictureChanged() { update(); }

  signals:
    // A mouse button went down on the control, at (x, y) in its own coordinates.
    void MouseDown(Qt::MouseButton button, int x, int y);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

  private:
    TPicture picture_;
};

}  // namespace korvid
