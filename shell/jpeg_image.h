#pragma once
// The JPEG picture class, on libjpeg. Loading keeps the file's bytes and reads only the
// header, so the size is known at once; the image is decoded on the first draw and kept.
// Saving writes the loaded bytes back unchanged: a cover is never encoded again.

#include <QImage>
#include <string>
#include <thread>

#include "shell/picture.h"

namespace korvid {

class TJPEGImage : public TGraphic {
  public:
    // Reads the whole file. A file of zero bytes loads without reading any header; its
    // first draw fails. Throws FileOpenError, IoError, or JpegError for an unreadable header.
    void LoadFromFile(const std::string& file_name) override;
    void LoadFromData(const std::string& bytes) override;
    void SaveToFile(const std::string& file_name) const override;
    // Decodes on the first call. A decoding error throws JpegError on that call only; the
    // picture then draws nothing until other data are loaded.
    void Draw(QPainter& painter, const QRect& target) override;
    int Width() const override { return width_; }
    int Height() const override { return height_; }

    // Decodes now, on the calling thread (a thread of its own, so that a large or slow
    // picture never holds the window), and keeps the image for the draws. A decoding error is
    // kept too: the first draw throws it, as a decode there would have. Does nothing once the
    // picture was decoded.
    void DecodeAhead();
    // The thread that decoded the picture; no thread's id before it was decoded.
    std::thread::id DecodedOn() const { return decoded_on_; }

  private:
    enum class DecodeState { Pending, Decoded, FailedUnreported, Failed };

    void Decode();

    std::string data_;
    int width_ = 0;
    int height_ = 0;
    QImage image_;
    DecodeState state_ = DecodeState::Pending;
    int error_code_ = 0;  // the kept decoding error (FailedUnreported)
    std::string error_cause_;
    std::thread::id decoded_on_;
};

}  // namespace korvid
