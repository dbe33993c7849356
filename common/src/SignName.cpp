#include "common/SignName.h"

#include <string_view>

#include "common/Util.h"

namespace signname {
namespace {

// What splits a list of names or a command: "{RX,...}" and "{RJ,...}" list
// names between blanks and ';', and every record ends at a brace.
constexpr std::string_view kListSeparators = "{},; ";
// What splits "{RI,<name>,<times>}": the braces and its parameters' comma.
constexpr std::string_view kCommandSeparators = "{},";

std::string FileNameOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Refused(const std::string& name, const char* reason) {
  return "The sign cannot take the name \"" + name + "\": " + reason;
}

std::string EmptyRefusal(const std::string& path) {
  return "The sign cannot take the name of \"" + FileNameOf(path) + "\": a name may not be empty.";
}

// Why `carried` (the bytes a record holds of the file's name) would break
// its record; the reason names the file's whole stem, as the user knows it.
std::string Refusal(const std::string& stem, std::string_view carried, std::string_view separators,
                    const char* separatorReason) {
  // The first byte that is refused gives the reason.
  for (const char c : carried) {
    const auto b = static_cast<unsigned char>(c);
    if (separators.find(c) != std::string_view::npos) return Refused(stem, separatorReason);
    if (b < 0x20 || b == 0x7F) {
      return Refused(stem, "a name may not hold control characters such as tabs or line breaks.");
    }
  }
  return {};
}

}  // namespace

std::string FileStem(const std::string& path) {
  std::string name = FileNameOf(path);
  if (const std::size_t dot = name.find_last_of('.'); dot != std::string::npos) name.erase(dot);
  return name;
}

std::string NameRefusal(const std::string& path) {
  const std::string stem = FileStem(path);
  if (stem.empty()) return EmptyRefusal(path);
  return Refusal(stem, std::string_view(stem).substr(0, kSignNameLength), kListSeparators,
                 "a name may not hold { } , ; or blanks.");
}

void CheckName(const std::string& path) {
  if (std::string refusal = NameRefusal(path); !refusal.empty()) throw NameRefused(refusal);
}

std::string FullNameRefusal(const std::string& path) {
  const std::string stem = FileStem(path);
  if (stem.empty()) return EmptyRefusal(path);
  return Refusal(stem, stem, kListSeparators, "a name may not hold { } , ; or blanks.");
}

void CheckFullName(const std::string& path) {
  if (std::string refusal = FullNameRefusal(path); !refusal.empty()) throw NameRefused(refusal);
}

std::string InterruptNameRefusal(const std::string& path) {
  const std::string stem = FileStem(path);
  // The record carries the stem trimmed of blanks at both ends.
  if (util::TrimBlanks(stem).empty()) return EmptyRefusal(path);
  return Refusal(stem, stem, kCommandSeparators, "a name may not hold { } or commas.");
}

void CheckInterruptName(const std::string& path) {
  if (std::string refusal = InterruptNameRefusal(path); !refusal.empty()) throw NameRefused(refusal);
}

bool BreaksAListEntry(std::string_view text) {
  for (const char c : text) {
    const auto b = static_cast<unsigned char>(c);
    if (kListSeparators.find(c) != std::string_view::npos || b < 0x20 || b == 0x7F) return true;
  }
  return false;
}

std::string UpperName(const std::string& path) {
  std::string name = FileStem(path);
  for (char& c : name)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return name;
}

std::string ShortName(const std::string& path) { return UpperName(path).substr(0, kSignNameLength); }

}  // namespace signname
