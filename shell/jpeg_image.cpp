#include "shell/jpeg_image.h"

// jpeglib.h uses FILE and size_t without declaring them: stdio.h goes first.
#include <stdio.h>
// libjpeg's own headers, after stdio.h.
#include <jerror.h>
#include <jpeglib.h>

#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <utility>

#include "common/errors.h"
#include "shell/picture_file.h"

namespace korvid {

namespace {

// Images above this many pixels are refused when drawn: a damaged or hostile header can
// claim up to 65500 x 65500 pixels, which would ask for gigabytes. Covers are far smaller.
constexpr std::int64_t kMaxPixels = std::int64_t{1} << 25;
// The decoder's own working memory (a progressive image keeps all its coefficients).
constexpr long kMaxDecoderMemory = 256L * 1024 * 1024;
// A progressive image is read scan by scan, and every scan walks the whole image, even an
// empty one of a few bytes: a small file of thousands of scans would hold the window for
// minutes. Real images have about ten; beyond this many the image counts as damaged.
constexpr int kMaxScans = 300;

// libjpeg reports an error by calling error_exit, which must not return. Ours jumps back to
// the setjmp in the calling function, which cleans up and hands back the message code; the
// C++ exception is thrown only after that function has returned. Warnings (corrupt data the
// decoder can step over) print nothing.
struct JpegErrorManager : jpeg_error_mgr {
    std::jmp_buf jump;
};

void ExitWithJump(j_common_ptr cinfo) {
    std::longjmp(static_cast<JpegErrorManager*>(cinfo->err)->jump, 1);
}

void EmitNothing(j_common_ptr /*cinfo*/, int /*msg_level*/) {}

void OutputNothing(j_common_ptr /*cinfo*/) {}

jpeg_error_mgr* InstallErrorManager(JpegErrorManager& manager) {
    jpeg_std_error(&manager);
    manager.error_exit = ExitWithJump;
    manager.emit_message = EmitNothing;
    manager.output_message = OutputNothing;
    return &manager;
}

// libjpeg's progress monitor, called again and again while it reads the scans: it ends the
// decode with an error once the image has more scans than kMaxScans.
void StopAfterTooManyScans(j_common_ptr cinfo) {
    const auto* decompress = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (decompress->input_scan_number > kMaxScans) {
        ERREXIT(cinfo, JERR_BAD_PROGRESSION);
    }
}

const unsigned char* Bytes(const std::string& data) {
    return reinterpret_cast<const unsigned char*>(data.data());
}

// The functions below call setjmp: only trivially destructible locals live in them, so the
// jump skips no destructor. Each returns 0 or libjpeg's message code.

int ReadHeader(const std::string& data, int* width, int* height) {
    jpeg_decompress_struct cinfo{};
    JpegErrorManager manager;
    cinfo.err = InstallErrorManager(manager);
    if (setjmp(manager.jump) != 0) {
        jpeg_destroy_decompress(&cinfo);
        return manager.msg_code;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, Bytes(data), data.size());
    jpeg_read_header(&cinfo, TRUE);
    *width = static_cast<int>(cinfo.image_width);
    *height = static_cast<int>(cinfo.image_height);
    jpeg_destroy_decompress(&cinfo);
    return 0;
}

// Decodes into an RGB888 image already made at the header's size.
int DecodeInto(const std::string& data, QImage& image) {
    jpeg_decompress_struct cinfo{};
    JpegErrorManager manager;
    cinfo.err = InstallErrorManager(manager);
    if (setjmp(manager.jump) != 0) {
        jpeg_destroy_decompress(&cinfo);
        return manager.msg_code;
    }
    jpeg_create_decompress(&cinfo);
    cinfo.mem->max_memory_to_use = kMaxDecoderMemory;
    jpeg_progress_mgr progress{};
    progress.progress_monitor = StopAfterTooManyScans;
    cinfo.progress = &progress;
    jpeg_mem_src(&cinfo, Bytes(data), data.size());
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    if (cinfo.output_components != 3 ||
        cinfo.output_width != static_cast<JDIMENSION>(image.width()) ||
        cinfo.output_height != static_cast<JDIMENSION>(image.height())) {
        ERREXIT(&cinfo, JERR_CONVERSION_NOTIMPL);
    }
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = image.scanLine(static_cast<int>(cinfo.output_scanline));
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return 0;
}

}  // namespace

void TJPEGImage::LoadFromFile(const std::string& file_name) {
    LoadFromData(ReadPictureFile(file_name));
}

void TJPEGImage::LoadFromData(const std::string& bytes) {
    int width = 0;
    int height = 0;
    // Empty data have no header to read: they load, and fail when first drawn.
    if (!bytes.empty()) {
        if (const int code = ReadHeader(bytes, &width, &height); code != 0) {
            throw JpegError(code);
        }
    }
    std::string data = bytes;
    data_ = std::move(data);
    width_ = width;
    height_ = height;
    image_ = QImage();
    state_ = DecodeState::Pending;
}

void TJPEGImage::SaveToFile(const std::string& file_name) const {
    WritePictureFile(file_name, data_);
}

void TJPEGImage::Draw(QPainter& painter, const QRect& target) {
    if (state_ == DecodeState::Pending) {
        Decode();
    }
    if (state_ == DecodeState::Decoded) {
        painter.drawImage(target, image_);
    }
}

void TJPEGImage::Decode() {
    // Whatever happens below, a failure is reported by this one call only.
    state_ = DecodeState::Failed;
    QImage image;
    int code = 0;
    if (std::int64_t{width_} * height_ > kMaxPixels) {
        code = JERR_IMAGE_TOO_BIG;
    } else if (!data_.empty()) {
        image = QImage(width_, height_, QImage::Format_RGB888);
        if (image.isNull()) {
            code = JERR_OUT_OF_MEMORY;
        }
    }
    if (code == 0) {
        code = DecodeInto(data_, image);
    }
    if (code != 0) {
        throw JpegError(code);
    }
    image_ = std::move(image);
    state_ = DecodeState::Decoded;
}

}  // namespace korvid
