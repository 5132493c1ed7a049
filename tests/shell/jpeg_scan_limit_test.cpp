// The JPEG decode is bounded in scans: a progressive image with more scans than any real
// cover is a damaged one ("JPEG error", once), however small its file.

#include <gtest/gtest.h>
// jpeglib.h needs the size types of stdio.h declared before it.
#include <jerror.h>
#include <jpeglib.h>

#include <QCoreApplication>
#include <QImage>
#include <QPainter>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "common/errors.h"
#include "shell/application.h"
#include "shell/jpeg_image.h"
#include "shell/picture.h"
#include "tests/support/scripted_prompts.h"

namespace korvid {
namespace {

// A grey 16 x 16 progressive JPEG of exactly `scans` scans (2 to 694): the DC scan, then
// each AC coefficient alone in successive approximation, its first scan at bit 10 and each
// refinement one bit lower, coefficient after coefficient until the count is reached.
std::string ProgressiveJpeg(int scans) {
    std::vector<jpeg_scan_info> script;
    script.push_back({1, {0}, 0, 0, 0, 0});
    for (int k = 1; k <= 63 && static_cast<int>(script.size()) < scans; ++k) {
        script.push_back({1, {0}, k, k, 0, 10});
        for (int bit = 10; bit > 0 && static_cast<int>(script.size()) < scans; --bit) {
            script.push_back({1, {0}, k, k, bit, bit - 1});
        }
    }
    EXPECT_EQ(static_cast<int>(script.size()), scans);

    jpeg_compress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = 16;
    cinfo.image_height = 16;
    cinfo.input_components = 1;
    cinfo.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&cinfo);
    cinfo.scan_info = script.data();
    cinfo.num_scans = static_cast<int>(script.size());
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<JSAMPLE> row(16);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            row[static_cast<std::size_t>(x)] = static_cast<JSAMPLE>(x * 16 + y);
        }
        JSAMPROW pointer = row.data();
        jpeg_write_scanlines(&cinfo, &pointer, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::string bytes(reinterpret_cast<const char*>(buffer), size);
    std::free(buffer);
    return bytes;
}

// Draws the picture once; the JPEG error it raised, or empty.
std::string DrawError(TJPEGImage& picture) {
    QImage canvas(16, 16, QImage::Format_RGB888);
    canvas.fill(Qt::white);
    QPainter painter(&canvas);
    try {
        picture.Draw(painter, canvas.rect());
    } catch (const JpegError& error) {
        return error.what();
    }
    return {};
}

TEST(JpegScanLimitTest, ThreeHundredScansDecodeAndMoreAreADamagedImage) {
    const std::string too_many = "JPEG error #" + std::to_string(JERR_BAD_PROGRESSION);
    struct Case {
        int scans;
        std::string error;
    };
    for (const Case& c : {Case{2, ""}, Case{11, ""}, Case{300, ""}, Case{301, too_many},
                          Case{694, too_many}}) {
        TJPEGImage picture;
        picture.LoadFromData(ProgressiveJpeg(c.scans));
        EXPECT_EQ(picture.Width(), 16) << c.scans;
        EXPECT_EQ(DrawError(picture), c.error) << c.scans;
        // Reported once; afterwards the picture draws nothing.
        EXPECT_EQ(DrawError(picture), "") << c.scans;
    }
}

// A picture decoded ahead on another thread keeps its decoding error for its first draw.
TEST(JpegScanLimitTest, ADecodeAheadsErrorIsRaisedByTheFirstDrawOnly) {
    for (const int scans : {11, 694}) {
        TJPEGImage picture;
        picture.LoadFromData(ProgressiveJpeg(scans));
        std::thread([&picture] { picture.DecodeAhead(); }).join();
        EXPECT_NE(picture.DecodedOn(), std::this_thread::get_id()) << scans;
        EXPECT_EQ(DrawError(picture),
                  scans > 300 ? "JPEG error #" + std::to_string(JERR_BAD_PROGRESSION) : "")
            << scans;
        EXPECT_EQ(DrawError(picture), "") << scans;
    }
}

TEST(JpegScanLimitTest, TheCoverAreaStaysBlankWithOneErrorBox) {
    auto* app = qobject_cast<TApplication*>(QCoreApplication::instance());
    ASSERT_NE(app, nullptr);
    test_support::ScriptedPrompts prompts;
    app->SetPrompts(&prompts);
    TImage image;
    image.resize(40, 40);
    ASSERT_TRUE(image.Picture().LoadFromData(ProgressiveJpeg(694), "jpg"));
    image.PictureChanged();
    const QImage first = image.grab().toImage();
    QCoreApplication::processEvents();
    const QImage second = image.grab().toImage();
    QCoreApplication::processEvents();
    app->SetPrompts(nullptr);
    EXPECT_EQ(prompts.errors,
              std::vector<std::string>{"JPEG error #" + std::to_string(JERR_BAD_PROGRESSION) +
                                       "\nThe picture has more than 300 scans, far more than "
                                       "any real cover: it is damaged."});
    // Nothing of the image is drawn: the area is one colour, the control's background.
    for (const QImage& shot : {first, second}) {
        EXPECT_EQ(shot.pixel(5, 5), shot.pixel(35, 35));
        EXPECT_EQ(shot.pixel(5, 35), shot.pixel(35, 5));
    }
}

}  // namespace
}  // namespace korvid
