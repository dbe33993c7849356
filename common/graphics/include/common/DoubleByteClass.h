#pragma once
// Double-byte characters of the sign: Big5 pairs (code page 950) and the rule
// that sends a pair to one of the Ming fonts.
#include <cstdint>
#include <optional>
#include <string>

namespace signfont {

// Class of a pair: 1 (font "MINGST15.PTN", index 8), 2 ("MINGSP15.PTN",
// index 9), 4 (the reserved lead area 0xC6-0xC8 with trails 0xA1-0xFE, which
// no font covers) or 0 (no double-byte character: the lead is drawn alone in
// the Ming single-byte font, index 7). The first matching rule decides.
inline constexpr int kReservedClass = 4;
int DoubleByteClass(std::uint8_t lead, std::uint8_t trail);

// The font index of a pair, class + 7, or nothing for a class-4 pair: such a
// pair is unacceptable, since no font and no glyph file covers it.
std::optional<int> PairFont(std::uint8_t lead, std::uint8_t trail);

// Lead and trail bytes of code page 950 (what IsDBCSLeadByte says there).
constexpr bool IsBig5LeadByte(std::uint8_t b) { return b >= 0x81 && b <= 0xFE; }
constexpr bool IsBig5TrailByte(std::uint8_t b) { return (b >= 0x40 && b <= 0x7E) || (b >= 0xA1 && b <= 0xFE); }

// A Unicode character in code page 950: one byte (below 0x80) or a lead and
// trail pair; nothing when the code page has no such character. Through iconv.
std::optional<std::string> UnicodeToBig5(char32_t character);
// The Unicode character of a code page 950 pair; nothing for an unused pair.
std::optional<char32_t> Big5ToUnicode(std::uint8_t lead, std::uint8_t trail);

}  // namespace signfont
