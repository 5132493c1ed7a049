#include "shell/jpeg_image.h"

// jpeglib.h uses FILE and size_t without declaring them: stdio.h goes first.
#include <stdio.h>
// libjpeg's own headers, after stdio.h.
#include <jerror.h>
#include <jpeglib.h>

#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
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
    bool too_many_scans = false;
    char text[JMSG_LENGTH_MAX] = {};  // libjpeg's words for the error
};

// How a decoder function ended: 0, or libjpeg's message code with its words.
struct JpegOutcome {
    int code = 0;
    bool too_many_scans = false;
    char text[JMSG_LENGTH_MAX] = {};
};

JpegOutcome Failed(const JpegErrorManager& manager) {
    JpegOutcome outcome;
    outcome.code = manager.msg_code;
    outcome.too_many_scans = manager.too_many_scans;
    std::memcpy(outcome.text, manager.text, sizeof outcome.text);
    return outcome;
}

// What is wrong with the picture, in words, for the error box.
std::string CauseOf(const JpegOutcome& outcome) {
    if (outcome.too_many_scans) {
        return "The picture has more than " + std::to_string(kMaxScans) +
               " scans, far more than any real cover: it is damaged.";
    }
    switch (outcome.code) {
        case JERR_INPUT_EMPTY:
            return "The cover file is empty.";
        case JERR_IMAGE_TOO_BIG:
            return "The picture is too large to show.";
        case JERR_OUT_OF_MEMORY:
            return "There is not enough memory to show the picture.";
        default:
            return outcome.text[0] != '\0'
                       ? "The picture is damaged (" + std::string(outcome.text) + ")."
                       : "The picture is damaged.";
    }
}

void ExitWithJump(j_common_ptr cinfo) {
    auto* manager = static_cast<JpegErrorManager*>(cinfo->err);
    manager->format_message(cinfo, manager->text);
    std::longjmp(manager->jump, 1);
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
        static_cast<JpegErrorManager*>(cinfo->err)->too_many_scans = true;
        ERREXIT(cinfo, JERR_BAD_PROGRESSION);
    }
}

const unsigned char* Bytes(const std::string& data) {
    return reinterpret_cast<const unsigned char*>(data.data());
}

// The functions below call setjmp: only trivially destructible locals live in them, so the
// jump skips no destructor. Each returns code 0 or libjpeg's message code and words.

JpegOutcome ReadHeader(const std::string& data, int* width, int* height) {
    jpeg_decompress_struct cinfo{};
    JpegErrorManager manager;
    cinfo.err = InstallErrorManager(manager);
    if (setjmp(manager.jump) != 0) {
        jpeg_destroy_decompress(&cinfo);
        return Failed(manager);
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, Bytes(data), data.size());
    jpeg_read_header(&cinfo, TRUE);
    *width = static_cast<int>(cinfo.image_width);
    *height = static_cast<int>(cinfo.image_height);
    jpeg_destroy_decompress(&cinfo);
    return {};
}

// Decodes into an RGB888 image already made at the header's size.
JpegOutcome DecodeInto(const std::string& data, QImage& image) {
    jpeg_decompress_struct cinfo{};
    JpegErrorManager manager;
    cinfo.err = InstallErrorManager(manager);
    if (setjmp(manager.jump) != 0) {
        jpeg_destroy_decompress(&cinfo);
        return Failed(manager);
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
    return {};
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
        if (const JpegOutcome header = ReadHeader(bytes, &width, &height); header.code != 0) {
            throw JpegError(header.code, CauseOf(header));
        }
    }
    std::string data = bytes;
    data_ = std::move(data);
    width_ = width;
    height_ = height;
    image_ = QImage();
    state_ = DecodeState::Pending;
    decoded_on_ = {};
}

void TJPEGImage::SaveToFile(const std::string& file_name) const {
    WritePictureFile(file_name, data_);
}

void TJPEGImage::Draw(QPainter& painter, const QRect& target) {
    if (state_ == DecodeState::Pending) {
        DecodeAhead();
    }
    if (state_ == DecodeState::FailedUnreported) {
        // Whatever happens below, a failure is reported by this one call only.
        state_ = DecodeState::Failed;
        throw JpegError(error_code_, error_cause_);
    }
    if (state_ == DecodeState::Decoded) {
        painter.drawImage(target, image_);
    }
}

void TJPEGImage::DecodeAhead() {
    if (state_ != DecodeState::Pending) {
        return;
    }
    decoded_on_ = std::this_thread::get_id();
    try {
        Decode();
    } catch (const JpegError& error) {
        error_code_ = error.MessageCode();
        error_cause_ = error.Cause();
        state_ = DecodeState::FailedUnreported;
    }
}

void TJPEGImage::Decode() {
    state_ = DecodeState::Failed;
    QImage image;
    JpegOutcome outcome;
    if (std::int64_t{width_} * height_ > kMaxPixels) {
        outcome.code = JERR_IMAGE_TOO_BIG;
    } else if (!data_.empty()) {
        image = QImage(width_, height_, QImage::Format_RGB888);
        if (image.isNull()) {
            outcome.code = JERR_OUT_OF_MEMORY;
        }
    }
    if (outcome.code == 0) {
        outcome = DecodeInto(data_, image);
    }
    if (outcome.code != 0) {
        throw JpegError(outcome.code, CauseOf(outcome));
    }
    image_ = std::move(image);
    state_ = DecodeState::Decoded;
}

}  // namespace korvid
