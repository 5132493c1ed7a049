#pragma once
// A light check that bytes are a whole JPEG picture, for pictures that are about to replace a
// cover: the markers are walked from the start-of-image marker to the end-of-image marker
// (EOI), each segment's length must fit, a frame header must give a size and its components
// before the first scan, and the scans' coded data must run on to the EOI. The picture is
// not decoded: that is the window's work, on a decoder that reports damaged data itself. The
// walk is enough to tell a picture that was cut short, or bytes that merely begin like one,
// from a whole one, and it keeps libjpeg out of the core and out of korvid-cli.

#include <string>
#include <string_view>

namespace korvid {

// Empty when the bytes are a whole JPEG picture; else what they are, in a few words that
// follow "the cover is ": "not a JPEG picture", "a JPEG picture cut short", "a damaged JPEG
// picture", "a JPEG picture without a size", "a JPEG picture without image data".
std::string JpegStructureProblem(std::string_view bytes);

}  // namespace korvid
