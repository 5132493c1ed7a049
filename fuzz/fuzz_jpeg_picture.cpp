// The JPEG picture class on any bytes (the input), through the picture loader's table as
// the program loads a cover: the header on load, then the full decode on the first draw.
// A damaged file may fail with the JPEG error, on load or on that first draw only; it must
// never crash, exit or throw anything else. Saving writes the loaded bytes unchanged.

#include <QImage>
#include <QPainter>
#include <QRect>
#include <cstddef>
#include <cstdint>
#include <string>

#include "common/errors.h"
#include "fuzz/fuzz_support.h"
#include "shell/picture.h"
#include "tests/support/temp_dir.h"

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
    korvid::RegisterJpegFormat();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace korvid;
    using namespace korvid::fuzz;
    const std::string bytes(AsText(data, size));

    TPicture picture;
    try {
        Check(picture.LoadFromData(bytes, "jpg"), "the JPEG format is not registered");
    } catch (const JpegError&) {
        Check(picture.Empty(), "a picture kept after its header failed");
        return 0;
    }
    TGraphic* graphic = picture.Graphic();
    Check(graphic != nullptr, "no graphic after a load");
    Check(graphic->Width() >= 0 && graphic->Height() >= 0, "negative size");

    QImage canvas(16, 16, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    QPainter painter(&canvas);
    bool failed = false;
    try {
        graphic->Draw(painter, QRect(0, 0, 16, 16));
    } catch (const JpegError&) {
        failed = true;
    }
    Check(!bytes.empty() || failed, "empty data drew");
    // The error is reported by the first draw only; later draws show it or nothing.
    graphic->Draw(painter, QRect(0, 0, 16, 16));
    painter.end();

    const std::string path = FuzzFolders::Get().AppDir() + "cover.jpg";
    picture.SaveToFile(path);
    Check(test_support::ReadFileBytes(path) == bytes, "saving changed the bytes");
    return 0;
}
