#include "common/SignName.h"

#include <string_view>

namespace signname {
namespace {

constexpr std::string_view kSeparators = "{},; ";

std::string FileNameOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Refused(const std::string& name, const char* reason) {
  return "The sign cannot take the name \"" + name + "\": " + reason;
}

}  // namespace

std::string FileStem(const std::string& path) {
  std::string name = FileNameOf(path);
  if (const std::size_t dot = name.find_last_of('.'); dot != std::string::npos) name.erase(dot);
  return name;
}

std::string NameRefusal(const std::string& path) {
  const std::string stem = FileStem(path);
  if (stem.empty()) return "The sign cannot take the name of \"" + FileNameOf(path) + "\": a name may not be empty.";
  // The first byte that is refused gives the reason.
  for (const char c : stem) {
    const auto b = static_cast<unsigned char>(c);
    if (kSeparators.find(c) != std::string_view::npos) {
      return Refused(stem, "a name may not hold { } , ; or blanks.");
    }
    if (b < 0x20 || b == 0x7F) {
      return Refused(stem, "a name may not hold control characters such as tabs or line breaks.");
    }
  }
  return {};
}

void CheckName(const std::string& path) {
  if (std::string refusal = NameRefusal(path); !refusal.empty()) throw NameRefused(refusal);
}

std::string UpperName(const std::string& path) {
  std::string name = FileStem(path);
  for (char& c : name)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return name;
}

std::string ShortName(const std::string& path) { return UpperName(path).substr(0, kSignNameLength); }

}  // namespace signname
