#include "common/LogoRle.h"

#include <algorithm>
#include <array>
#include <stdexcept>
#include <string>

namespace logorle {

using colorcode::ColorCode;

namespace {

// The packet writer with its states; see the header for why its choices are fixed.
class Encoder {
 public:
  explicit Encoder(std::span<const ColorCode> codes) : codes_(codes) {}

  std::vector<std::uint8_t> Run() {
    for (std::size_t i = 0; i < codes_.size(); ++i) Step(i, codes_[i]);
    if (count_ > 0) {
      if (state_ == kRun) {
        WriteRun(count_, previous_);
      } else {
        WriteLiteral(count_);
      }
    }
    return std::move(out_);
  }

 private:
  enum State { kOnePending, kRun, kLiteral };

  // False at the last pixel; else whether the next pixel in row order has the same code.
  bool NextPixelEqual(std::size_t i) const { return i + 1 < codes_.size() && codes_[i + 1] == codes_[i]; }

  void StartWith(ColorCode c) {
    state_ = kOnePending;
    count_ = 1;
    buffer_[0] = c;
    previous_ = c;
  }

  void Step(std::size_t i, ColorCode c) {
    if (i == 0) {
      StartWith(c);
      return;
    }
    switch (state_) {
      case kOnePending:
        count_ = 2;
        if (c == previous_) {
          state_ = kRun;
        } else {
          state_ = kLiteral;
          buffer_[1] = c;
          previous_ = c;
        }
        break;
      case kRun:
        if (c == previous_) {
          if (count_ < kMaxPacketCount) {
            ++count_;
          } else {
            WriteRun(kMaxPacketCount, previous_);
            StartWith(c);
          }
        } else if (count_ >= 3) {
          WriteRun(count_, previous_);
          StartWith(c);
        } else {
          // A pair followed by a different code is cheaper as a literal.
          buffer_[0] = previous_;
          buffer_[1] = previous_;
          buffer_[2] = c;
          count_ = 3;
          state_ = kLiteral;
          previous_ = c;
        }
        break;
      case kLiteral:
        if (c == previous_ && NextPixelEqual(i)) {
          // Three equal codes: the last buffered one opens a run with this one.
          WriteLiteral(count_ - 1);
          state_ = kRun;
          count_ = 2;
        } else if (count_ < kMaxPacketCount) {
          ++count_;
          buffer_[static_cast<std::size_t>(count_ - 1)] = c;
          previous_ = c;
        } else {
          WriteLiteral(kMaxPacketCount);
          StartWith(c);
        }
        break;
    }
  }

  void WriteRun(int count, ColorCode value) {
    out_.push_back(static_cast<std::uint8_t>(0x80 + count));
    out_.push_back(value);
  }
  void WriteLiteral(int count) {
    out_.push_back(static_cast<std::uint8_t>(count));
    out_.insert(out_.end(), buffer_.begin(), buffer_.begin() + count);
  }

  std::span<const ColorCode> codes_;
  std::vector<std::uint8_t> out_;
  State state_ = kOnePending;
  int count_ = 0;
  ColorCode previous_ = 0;
  std::array<ColorCode, 128> buffer_{};
};

}  // namespace

std::vector<std::uint8_t> EncodeLogoPixels(std::span<const ColorCode> codes) { return Encoder(codes).Run(); }

std::vector<ColorCode> ImageToCodes(const QImage& bitmap) {
  const QImage image =
      bitmap.format() == QImage::Format_RGB32 ? bitmap : bitmap.convertToFormat(QImage::Format_RGB32);
  std::vector<ColorCode> codes;
  codes.reserve(static_cast<std::size_t>(image.width()) * static_cast<std::size_t>(image.height()));
  for (int y = 0; y < image.height(); ++y) {
    const QRgb* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int x = 0; x < image.width(); ++x) codes.push_back(colorcode::ColorToCode(row[x]));
  }
  return codes;
}

std::vector<std::uint8_t> EncodeLogoPixels(const QImage& bitmap) { return EncodeLogoPixels(ImageToCodes(bitmap)); }

DecodedLogo DecodeLogoPixels(std::span<const std::uint8_t> stream, int width, int height) {
  if (width < 0 || height < 0) throw std::invalid_argument("logo size below zero");
  const std::int64_t total = static_cast<std::int64_t>(width) * static_cast<std::int64_t>(height);
  if (total > kMaxDecodePixels) {
    throw std::invalid_argument("logo of " + std::to_string(width) + " x " + std::to_string(height) +
                                " pixels is too large");
  }
  DecodedLogo logo;
  logo.width = width;
  logo.height = height;
  logo.codes.assign(static_cast<std::size_t>(total), 0);
  const std::size_t pixels = static_cast<std::size_t>(total);
  std::size_t done = 0;
  std::size_t at = 0;
  while (done < pixels && at < stream.size()) {
    const std::uint8_t control = stream[at++];
    const std::size_t count = control & 0x7F;
    const std::size_t room = pixels - done;
    if (control & 0x80) {
      if (at >= stream.size()) break;
      const std::uint8_t value = stream[at++];
      const std::size_t kept = std::min(count, room);
      std::fill_n(logo.codes.begin() + static_cast<std::ptrdiff_t>(done), kept, value);
      done += kept;
    } else {
      const std::size_t present = std::min(count, stream.size() - at);
      const std::size_t kept = std::min(present, room);
      std::copy_n(stream.begin() + static_cast<std::ptrdiff_t>(at), kept,
                  logo.codes.begin() + static_cast<std::ptrdiff_t>(done));
      at += present;
      done += kept;
      if (present < count) break;
    }
  }
  logo.consumed = at;
  logo.complete = done == pixels;
  return logo;
}

QImage CodesToImage(std::span<const ColorCode> codes, int width, int height, colorcode::Expansion expansion) {
  if (width < 0 || height < 0) throw std::invalid_argument("logo size below zero");
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(qRgb(0, 0, 0));
  std::size_t n = 0;
  for (int y = 0; y < height; ++y) {
    QRgb* row = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < width && n < codes.size(); ++x, ++n) row[x] = colorcode::ExpandCode(codes[n], expansion);
  }
  return image;
}

}  // namespace logorle
