// The picture classes on real files: JPEG through libjpeg, bmp and ico through Qt, the
// format table, and the picture control painting offscreen.

#include "shell/picture.h"

#include <gtest/gtest.h>
#include <jerror.h>
#include <jpeglib.h>

#include <QBuffer>
#include <QImageWriter>
#include <QTest>
#include <cstdio>
#include <cstdlib>
#include <functional>

#include "common/errors.h"
#include "shell/application.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/temp_dir.h"

namespace korvid {
namespace {

using test_support::ReadFileBytes;
using test_support::TempDir;
using test_support::WriteFileBytes;

// A JPEG of the given size, red on the left half and blue on the right.
std::string MakeJpeg(int width, int height, bool progressive = false) {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 95, TRUE);
    if (progressive) {
        jpeg_simple_progression(&cinfo);
    }
    jpeg_start_compress(&cinfo, TRUE);
    std::string row(static_cast<std::size_t>(width) * 3, '\0');
    for (int x = 0; x < width; ++x) {
        row[x * 3] = static_cast<char>(x < width / 2 ? 255 : 0);
        row[x * 3 + 2] = static_cast<char>(x < width / 2 ? 0 : 255);
    }
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW pointer = reinterpret_cast<JSAMPROW>(row.data());
        jpeg_write_scanlines(&cinfo, &pointer, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::string bytes(reinterpret_cast<char*>(buffer), size);
    std::free(buffer);
    return bytes;
}

// The same picture written by Qt in another format.
std::string MakeQtImage(const char* format) {
    QImage image(32, 16, QImage::Format_ARGB32);
    image.fill(Qt::red);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, format).write(image);
    return bytes.toStdString();
}

// Draws the graphic into a white image of the given size.
QImage Render(TGraphic& graphic, int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    graphic.Draw(painter, image.rect());
    return image;
}

bool Near(QRgb actual, QRgb expected) {
    return std::abs(qRed(actual) - qRed(expected)) < 16 &&
           std::abs(qGreen(actual) - qGreen(expected)) < 16 &&
           std::abs(qBlue(actual) - qBlue(expected)) < 16;
}

// The error text of a failed load; empty when the file loaded.
std::string LoadError(TPicture& picture, const std::string& path) {
    try {
        picture.LoadFromFile(path);
        return "";
    } catch (const std::exception& e) {
        return e.what();
    }
}

const QRgb kRed = qRgb(255, 0, 0);
const QRgb kBlue = qRgb(0, 0, 255);
const QRgb kWhite = qRgb(255, 255, 255);

class PictureTest : public ::testing::Test {
  protected:
    void SetUp() override { RegisterJpegFormat(); }
    void TearDown() override { RegisterJpegFormat(); }

    // A picture already showing a 64 x 32 JPEG.
    TPicture LoadedPicture() {
        TPicture picture;
        const std::string path = dir_.File("previous.jpg");
        WriteFileBytes(path, jpeg_);
        picture.LoadFromFile(path);
        return picture;
    }

    TempDir dir_;
    const std::string jpeg_ = MakeJpeg(64, 32);
};

TEST_F(PictureTest, JpegLoadsItsSizeAndDrawsStretchedInColour) {
    TPicture picture = LoadedPicture();
    ASSERT_FALSE(picture.Empty());
    EXPECT_EQ(picture.Graphic()->Width(), 64);
    EXPECT_EQ(picture.Graphic()->Height(), 32);
    const QImage image = Render(*picture.Graphic(), 128, 200);
    EXPECT_TRUE(Near(image.pixel(10, 190), kRed));
    EXPECT_TRUE(Near(image.pixel(118, 10), kBlue));

    picture.LoadFromFile(KORVID_SOURCE_DIR "/sample-site/pages/covers/tt9000001.jpg");
    EXPECT_EQ(picture.Graphic()->Width(), 95);
    EXPECT_EQ(picture.Graphic()->Height(), 140);
    EXPECT_NO_THROW(Render(*picture.Graphic(), 95, 140));
}

TEST_F(PictureTest, JpegExtensionsIgnoreLetterCase) {
    for (const char* name : {"a.JPG", "b.Jpeg", "c.jpeg", "d.jPg"}) {
        TPicture picture;
        WriteFileBytes(dir_.File(name), jpeg_);
        EXPECT_NO_THROW(picture.LoadFromFile(dir_.File(name))) << name;
        EXPECT_EQ(picture.Graphic() ? picture.Graphic()->Width() : 0, 64) << name;
    }
}

TEST_F(PictureTest, BitmapsAndIconsLoadThroughQt) {
    for (const char* format : {"bmp", "ico"}) {
        const std::string path = dir_.File(std::string("x.") + format);
        WriteFileBytes(path, MakeQtImage(format));
        TPicture picture;
        ASSERT_NO_THROW(picture.LoadFromFile(path)) << format;
        EXPECT_EQ(picture.Graphic()->Width(), 32) << format;
        EXPECT_EQ(picture.Graphic()->Height(), 16) << format;
        EXPECT_TRUE(Near(Render(*picture.Graphic(), 8, 8).pixel(4, 4), kRed)) << format;
    }
}

TEST_F(PictureTest, FailedLoadKeepsThePreviousGraphic) {
    const std::string html = "<html><body>Not found</body></html>\n";
    const struct {
        const char* name;
        std::string content;  // not written when empty
        std::string message;
    } cases[] = {
        {"c.emf", "x", "Metafiles cannot be shown on this system"},
        {"c.WMF", "x", "Metafiles cannot be shown on this system"},
        {"c.xyz", "x", "Unknown picture file extension (.xyz)"},
        {"c.jpg.txt", "x", "Unknown picture file extension (.txt)"},
        {"missing.jpg", "", "Cannot open file " + dir_.File("missing.jpg")},
        {"page.jpg", html, "JPEG error #" + std::to_string(JERR_NO_SOI)},
        {"page.bmp", html, "Bitmap image is not valid"},
        {"page.ico", html, "Icon image is not valid"},
    };
    for (const auto& c : cases) {
        TPicture picture = LoadedPicture();
        TGraphic* previous = picture.Graphic();
        if (!c.content.empty()) {
            WriteFileBytes(dir_.File(c.name), c.content);
        }
        EXPECT_EQ(LoadError(picture, dir_.File(c.name)), c.message) << c.name;
        EXPECT_EQ(picture.Graphic(), previous) << c.name;
    }
}

TEST_F(PictureTest, SaveWritesTheLoadedBytesWhateverTheExtension) {
    TPicture picture = LoadedPicture();
    picture.SaveToFile(dir_.File("cover.bmp"));
    EXPECT_EQ(ReadFileBytes(dir_.File("cover.bmp")), jpeg_);
    EXPECT_THROW(picture.SaveToFile(dir_.File("no/such/folder.jpg")), FileCreateError);

    TPicture empty;
    empty.SaveToFile(dir_.File("nothing.jpg"));
    EXPECT_FALSE(test_support::FileExists(dir_.File("nothing.jpg")));
}

// Decoding errors surface on the first draw, once; the area then stays blank.
TEST_F(PictureTest, DecodeErrorsThrowOnFirstDrawOnly) {
    std::string bad_scan = MakeJpeg(64, 32, /*progressive=*/true);
    // The second scan header: a component count that does not match its length.
    const auto second_sos = bad_scan.find("\xFF\xDA", bad_scan.find("\xFF\xDA") + 2);
    ASSERT_NE(second_sos, std::string::npos);
    bad_scan[second_sos + 4] = 4;
    std::string huge = jpeg_;  // the frame header claims 60000 x 60000 pixels
    const auto sof = huge.find("\xFF\xC0");
    ASSERT_NE(sof, std::string::npos);
    huge.replace(sof + 5, 4, "\xEA\x60\xEA\x60");

    const struct {
        const char* name;
        std::string bytes;
        int width;
        int code;
    } cases[] = {
        {"empty.jpg", "", 0, JERR_INPUT_EMPTY},
        {"bad_scan.jpg", bad_scan, 64, JERR_BAD_LENGTH},
        {"huge.jpg", huge, 60000, JERR_IMAGE_TOO_BIG},
    };
    for (const auto& c : cases) {
        TPicture picture = LoadedPicture();
        WriteFileBytes(dir_.File(c.name), c.bytes);
        ASSERT_NO_THROW(picture.LoadFromFile(dir_.File(c.name))) << c.name;
        EXPECT_EQ(picture.Graphic()->Width(), c.width) << c.name;
        try {
            Render(*picture.Graphic(), 16, 16);
            ADD_FAILURE() << c.name << " drew";
        } catch (const JpegError& e) {
            EXPECT_EQ(e.MessageCode(), c.code) << c.name;
            EXPECT_EQ(e.what(), "JPEG error #" + std::to_string(c.code)) << c.name;
        }
        QImage second;
        ASSERT_NO_THROW(second = Render(*picture.Graphic(), 16, 16)) << c.name;
        EXPECT_EQ(second.pixel(8, 8), kWhite) << c.name;
    }
}

TEST_F(PictureTest, TruncatedImageDataDrawsWhatThereIsSilently) {
    const std::string path = dir_.File("cut.jpg");
    const auto scan = jpeg_.find("\xFF\xDA");  // cut in the middle of the image data
    ASSERT_NE(scan, std::string::npos);
    WriteFileBytes(path, jpeg_.substr(0, scan + (jpeg_.size() - scan) / 2));
    TPicture picture;
    picture.LoadFromFile(path);
    ::testing::internal::CaptureStderr();
    QImage image;
    EXPECT_NO_THROW(image = Render(*picture.Graphic(), 64, 32));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_TRUE(Near(image.pixel(4, 2), kRed));
}

TEST_F(PictureTest, UnregisteredJpegIsAnUnknownFormat) {
    const std::string path = dir_.File("cover.jpg");
    WriteFileBytes(path, jpeg_);
    UnregisterJpegFormat();
    TPicture picture;
    EXPECT_EQ(LoadError(picture, path), "Unknown picture file extension (.jpg)");
    ASSERT_TRUE(picture.LoadFromData(MakeQtImage("bmp"), "bmp"));
    EXPECT_FALSE(picture.LoadFromData(jpeg_, "jpg"));
    EXPECT_TRUE(picture.Empty());
    EXPECT_EQ(GraphicFilter().find("jp"), std::string::npos);

    RegisterJpegFormat();
    RegisterJpegFormat();  // a second registration adds nothing
    EXPECT_TRUE(picture.LoadFromData(jpeg_, "JPG"));
    EXPECT_EQ(picture.Graphic()->Height(), 32);
}

TEST_F(PictureTest, GraphicFilterListsEveryFormat) {
    EXPECT_EQ(GraphicFilter(),
              "All (*.jpeg;*.jpg;*.bmp;*.ico;*.emf;*.wmf)|*.jpeg;*.jpg;*.bmp;*.ico;*.emf;*.wmf"
              "|JPEG Image File (*.jpeg)|*.jpeg|JPEG Image File (*.jpg)|*.jpg"
              "|Bitmaps (*.bmp)|*.bmp|Icons (*.ico)|*.ico"
              "|Enhanced Metafiles (*.emf)|*.emf|Metafiles (*.wmf)|*.wmf");
}

class ImageControlTest : public PictureTest {
  protected:
    void SetUp() override {
        PictureTest::SetUp();
        app_ = qobject_cast<TApplication*>(QCoreApplication::instance());
        ASSERT_NE(app_, nullptr);
        app_->SetPrompts(&prompts_);
        image_.resize(40, 20);
    }
    void TearDown() override {
        app_->SetPrompts(nullptr);
        PictureTest::TearDown();
    }

    TApplication* app_ = nullptr;
    test_support::ScriptedPrompts prompts_;
    TImage image_;
};

TEST_F(ImageControlTest, PaintsThePictureStretchedToItsArea) {
    ASSERT_TRUE(image_.Picture().LoadFromData(jpeg_, "jpg"));
    image_.PictureChanged();
    const QImage shot = image_.grab().toImage();
    EXPECT_TRUE(Near(shot.pixel(2, 18), kRed));
    EXPECT_TRUE(Near(shot.pixel(37, 2), kBlue));
}

TEST_F(ImageControlTest, PaintErrorIsReportedOnceThroughTheMessageLoop) {
    ASSERT_TRUE(image_.Picture().LoadFromData("", "jpeg"));
    image_.grab();
    EXPECT_TRUE(prompts_.errors.empty());  // not while painting
    QCoreApplication::processEvents();
    image_.grab();
    QCoreApplication::processEvents();
    EXPECT_EQ(prompts_.errors,
              std::vector<std::string>{"JPEG error #" + std::to_string(JERR_INPUT_EMPTY) +
                                       "\nThe cover file is empty."});
}

TEST_F(ImageControlTest, AnyMouseButtonEmitsMouseDown) {
    std::vector<std::tuple<Qt::MouseButton, int, int>> downs;
    QObject::connect(&image_, &TImage::MouseDown, [&](Qt::MouseButton button, int x, int y) {
        downs.emplace_back(button, x, y);
    });
    QTest::mousePress(&image_, Qt::LeftButton, {}, QPoint(3, 4));
    QTest::mousePress(&image_, Qt::RightButton, {}, QPoint(30, 15));
    QTest::mousePress(&image_, Qt::MiddleButton, {}, QPoint(1, 1));
    EXPECT_EQ(downs,
              (std::vector<std::tuple<Qt::MouseButton, int, int>>{
                  {Qt::LeftButton, 3, 4}, {Qt::RightButton, 30, 15}, {Qt::MiddleButton, 1, 1}}));
}

}  // namespace
}  // namespace korvid
