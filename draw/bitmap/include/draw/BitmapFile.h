#pragma once
// Windows bitmap files as the drawing program reads them (the bitmap import
// and the working picture "SysCanvas.BMP").
//
// The platform's bitmap decoder does not fail on a file whose pixel data is
// cut short: it gives an image whose missing rows are black, or whatever the
// memory held. So the pixel data is measured against the headers first:
//  - uncompressed rows (1, 4, 8, 16, 24 or 32 bits a pixel, bottom-up or
//    top-down, with or without bit-field masks) are whole when every row is
//    there with its padding to 4 bytes, the last row too: the decoder reads
//    whole rows, and without its padding the last row comes out wrong;
//  - run-length data (RLE8, RLE4) is whole when its packets, read within the
//    file, give every pixel of every row, in order, up to the last pixel of
//    the last row (an end-of-bitmap marker may follow). A stream that runs
//    out first is cut; one that ends a row early, moves on by a delta or
//    ends the bitmap before its last pixel leaves pixels out, which the
//    decoder fills with whatever its memory held: both are short of the
//    width x height pixels the header names.
// A layout this check does not know is left to the decoder, which refuses
// what it cannot read.
#include <QImage>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace draw {

enum class PixelData {
  kWhole,    // every pixel the header names is in the file
  kShort,    // the file ends before them
  kUnknown,  // not a layout measured here: the decoder decides
};

struct PixelDataCheck {
  PixelData verdict = PixelData::kUnknown;
  std::string reason;  // for kShort, in plain words
};

PixelDataCheck CheckPixelData(std::span<const std::uint8_t> file);

// The bitmap of the file, or a null image: for a file cut short `why` gets
// the reason; for one the decoder refuses it stays empty.
QImage DecodeWholeBitmap(std::span<const std::uint8_t> file, std::string& why);

}  // namespace draw
