#pragma once
// Frame file pieces laid out by hand, field by field, for the fixtures: they
// know nothing of the writer or the reader under test.
#include <cstdint>
#include <string>
#include <vector>

namespace framebytes {

using Bytes = std::vector<std::uint8_t>;

inline void Append(Bytes& out, const Bytes& more) { out.insert(out.end(), more.begin(), more.end()); }
inline void Append(Bytes& out, const std::string& text) { out.insert(out.end(), text.begin(), text.end()); }
inline void U16(Bytes& out, int v) {
  out.push_back(static_cast<std::uint8_t>(v & 0xFF));
  out.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
}

// Frame count, logo count, "-FRAME-".
inline Bytes Header(int frames, int logos, const std::string& magic = "-FRAME-") {
  Bytes out;
  U16(out, frames);
  U16(out, logos);
  Append(out, magic);
  return out;
}

// The five columns of a line, one character a cell.
struct Line {
  std::string kinds, codes, fonts, colors, attrs;
};

inline Bytes LineBlock(const Line& l) {
  Bytes out;
  U16(out, static_cast<int>(l.codes.size()));
  for (const std::string* column : {&l.kinds, &l.codes, &l.fonts, &l.colors, &l.attrs}) Append(out, *column);
  return out;
}

struct Frame {
  int speed = 0;
  std::string modes;
  int layout = 0;
  char fixed = 'N';
  char hasFixedPart = 'N';
  int fixedWidth = 0;
  Line line1, line2;
};

inline Bytes FrameRecord(const Frame& f) {
  Bytes out{static_cast<std::uint8_t>(f.speed), static_cast<std::uint8_t>(f.modes.size())};
  Append(out, f.modes);
  out.push_back(static_cast<std::uint8_t>(f.layout));
  out.push_back(static_cast<std::uint8_t>(f.fixed));
  out.push_back(static_cast<std::uint8_t>(f.hasFixedPart));
  U16(out, f.fixedWidth);
  Append(out, LineBlock(f.line1));
  Append(out, LineBlock(f.line2));
  return out;
}

// A logo record of width x height whose packets are given as they stand.
inline Bytes LogoRecord(int width, int height, const Bytes& packets) {
  Bytes out;
  U16(out, width);
  U16(out, height);
  Append(out, packets);
  return out;
}

// A whole file: header, frames, logos.
inline Bytes File(const std::vector<Frame>& frames, const std::vector<Bytes>& logos) {
  Bytes out = Header(static_cast<int>(frames.size()), static_cast<int>(logos.size()));
  for (const Frame& f : frames) Append(out, FrameRecord(f));
  for (const Bytes& logo : logos) Append(out, logo);
  return out;
}

}  // namespace framebytes
