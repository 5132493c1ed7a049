#include "shell/picture.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>
#include <algorithm>
#include <cerrno>
#include <stdexcept>
#include <utility>
#include <vector>

#include "common/errors.h"
#include "common/file_descriptor.h"
#include "common/safe_save.h"
#include "shell/jpeg_image.h"
#include "shell/picture_file.h"

namespace korvid {

namespace {

// A picture read through Qt's image reader in one fixed format. The file's bytes are kept,
// so saving writes them back as they were.
class TQtImageGraphic : public TGraphic {
  public:
    TQtImageGraphic(const char* format, const char* invalid_text)
        : format_(format), invalid_text_(invalid_text) {}

    void LoadFromFile(const std::string& file_name) override {
        LoadFromData(ReadPictureFile(file_name));
    }

    void LoadFromData(const std::string& bytes) override {
        QByteArray array(bytes.data(), static_cast<qsizetype>(bytes.size()));
        QBuffer buffer(&array);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer, format_);
        reader.setDecideFormatFromContent(false);
        QImage image = reader.read();
        if (image.isNull()) {
            throw std::runtime_error(invalid_text_);
        }
        std::string data = bytes;
        data_ = std::move(data);
        image_ = std::move(image);
    }

    void SaveToFile(const std::string& file_name) const override {
        WritePictureFile(file_name, data_);
    }

    void Draw(QPainter& painter, const QRect& target) override {
        painter.drawImage(target, image_);
    }

    int Width() const override { return image_.width(); }
    int Height() const override { return image_.height(); }

  private:
    const char* format_;
    const char* invalid_text_;
    std::string data_;
    QImage image_;
};

// Enhanced metafiles and metafiles are Windows drawing records; nothing here plays them
// back, so they never load.
class TMetafileGraphic : public TGraphic {
  public:
    void LoadFromFile(const std::string& /*file_name*/) override { Fail(); }
    void LoadFromData(const std::string& /*bytes*/) override { Fail(); }
    void SaveToFile(const std::string& /*file_name*/) const override { Fail(); }
    void Draw(QPainter& /*painter*/, const QRect& /*target*/) override {}
    int Width() const override { return 0; }
    int Height() const override { return 0; }

  private:
    [[noreturn]] static void Fail() {
        throw std::runtime_error("Metafiles cannot be shown on this system");
    }
};

using GraphicFactory = std::unique_ptr<TGraphic> (*)();

std::unique_ptr<TGraphic> CreateJpeg() {
    return std::make_unique<TJPEGImage>();
}
std::unique_ptr<TGraphic> CreateBitmap() {
    return std::make_unique<TQtImageGraphic>("bmp", "Bitmap image is not valid");
}
std::unique_ptr<TGraphic> CreateIcon() {
    return std::make_unique<TQtImageGraphic>("ico", "Icon image is not valid");
}
std::unique_ptr<TGraphic> CreateMetafile() {
    return std::make_unique<TMetafileGraphic>();
}

struct FileFormat {
    std::string extension;  // lower case, without the dot
    std::string description;
    GraphicFactory create;
    bool built_in;
};

// The picture loader's table: registered formats first, in the order of registration, then
// the built-in ones. One thread uses it.
std::vector<FileFormat>& FormatTable() {
    static std::vector<FileFormat> table = {
        {"bmp", "Bitmaps", CreateBitmap, true},
        {"ico", "Icons", CreateIcon, true},
        {"emf", "Enhanced Metafiles", CreateMetafile, true},
        {"wmf", "Metafiles", CreateMetafile, true},
    };
    return table;
}

void RegisterFormat(std::string extension, std::string description, GraphicFactory create) {
    auto& table = FormatTable();
    const auto first_built_in =
        std::find_if(table.begin(), table.end(), [](const FileFormat& f) { return f.built_in; });
    table.insert(first_built_in,
                 {std::move(extension), std::move(description), create, /*built_in=*/false});
}

std::string LowerAscii(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return lower;
}

const FileFormat* FindFormat(std::string_view extension) {
    const std::string lower = LowerAscii(extension);
    for (const FileFormat& format : FormatTable()) {
        if (format.extension == lower) {
            return &format;
        }
    }
    return nullptr;
}

// The extension of the file name without its dot; empty when the name has none.
std::string_view ExtensionOf(std::string_view file_name) {
    const auto slash = file_name.rfind('/');
    const std::string_view base =
        slash == std::string_view::npos ? file_name : file_name.substr(slash + 1);
    const auto dot = base.rfind('.');
    return dot == std::string_view::npos ? std::string_view() : base.substr(dot + 1);
}

}  // namespace

std::string ReadPictureFile(const std::string& file_name) {
    FileDescriptor file(::open(file_name.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file.IsOpen()) {
        throw FileOpenError(file_name);
    }
    std::string bytes;
    struct stat status {};
    if (::fstat(file.Get(), &status) == 0 && status.st_size > 0) {
        bytes.reserve(static_cast<std::size_t>(status.st_size));
    }
    char buffer[65536];
    for (;;) {
        const ssize_t count = ::read(file.Get(), buffer, sizeof buffer);
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw IoError::FromErrno(errno);
        }
        if (count == 0) {
            return bytes;
        }
        bytes.append(buffer, static_cast<std::size_t>(count));
    }
}

void WritePictureFile(const std::string& file_name, const std::string& bytes) {
    // The documents' safe save: a save that fails (a full disk) leaves the earlier file whole.
    SaveFileSafely(file_name, bytes);
}

void RegisterJpegFormat() {
    if (FindFormat("jpeg") != nullptr && FindFormat("jpeg")->create == CreateJpeg) {
        return;
    }
    RegisterFormat("jpeg", "JPEG Image File", CreateJpeg);
    RegisterFormat("jpg", "JPEG Image File", CreateJpeg);
}

void UnregisterJpegFormat() {
    std::erase_if(FormatTable(), [](const FileFormat& f) { return f.create == CreateJpeg; });
}

std::string GraphicFilter() {
    std::string patterns;
    std::string pairs;
    for (const FileFormat& format : FormatTable()) {
        const std::string pattern = "*." + format.extension;
        patterns += (patterns.empty() ? "" : ";") + pattern;
        pairs += "|" + format.description + " (" + pattern + ")|" + pattern;
    }
    return "All (" + patterns + ")|" + patterns + pairs;
}

void TPicture::LoadFromFile(const std::string& file_name) {
    const std::string_view extension = ExtensionOf(file_name);
    const FileFormat* format = FindFormat(extension);
    if (format == nullptr) {
        throw std::runtime_error("Unknown picture file extension (." + std::string(extension) +
                                 ")");
    }
    std::unique_ptr<TGraphic> graphic = format->create();
    graphic->LoadFromFile(file_name);
    graphic_ = std::move(graphic);
}

bool TPicture::LoadFromData(const std::string& bytes, std::string_view extension) {
    if (extension.starts_with('.')) {
        extension.remove_prefix(1);
    }
    const FileFormat* format = FindFormat(extension);
    if (format == nullptr) {
        graphic_.reset();
        return false;
    }
    std::unique_ptr<TGraphic> graphic = format->create();
    graphic->LoadFromData(bytes);
    graphic_ = std::move(graphic);
    return true;
}

void TPicture::SaveToFile(const std::string& file_name) const {
    if (graphic_ != nullptr) {
        graphic_->SaveToFile(file_name);
    }
}

}  // namespace korvid
