#pragma once
// The name a sign files a message under, made from the message file's path
// in one place for the editor's "{F,...}" record and the controller's
// "{RX,...}", "{RJ,...}" and "{RI,...}" records, and the names the sign
// cannot take.
//
// A name goes into a record as it is, so some bytes would break the record
// or the list the sign reads:
//   { }           open or end a command: the record would end early
//   ,             separates a command's parameters
//   ;             separates the entries of a schedule
//   blank         separates the names of a sequence or a schedule entry
//   control bytes (0x00..0x1F, 0x7F) are no text the sign can show or keep
// An empty name (".MSG") names nothing. Bytes above 0x7F (a name in Chinese or
// with accents) go as the file system has them: the sign frames a record by
// its braces byte by byte, and the same bytes name the message in every
// record, so the sign finds it even where the 8 it keeps end inside a
// character.
#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>

namespace signname {

// How much of a name the sign keeps.
inline constexpr std::size_t kSignNameLength = 8;

// A name the sign cannot take. what() is the reason, a sentence for the user.
class NameRefused : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

// The file name of `path` without its directory and without its extension
// (from the last dot), as the file has it.
std::string FileStem(const std::string& path);

// A name is judged by what its record carries. "{F,...}", "{RX,...}" and
// "{RJ,...}" carry the first kSignNameLength bytes, upper-cased, so only
// those count: "Specials for June" goes as "SPECIALS", while "two words"
// keeps a blank in "TWO WORD". Each refusal names the file's stem as the
// file has it; empty when the record can carry the name.
std::string NameRefusal(const std::string& path);
// NameRefused with that reason when there is one.
void CheckName(const std::string& path);

// The whole stem in a list of names: the editor's own "{RX,...}" of the
// message it sends names it in full.
std::string FullNameRefusal(const std::string& path);
void CheckFullName(const std::string& path);

// The whole stem, trimmed of blanks at both ends, as "{RI,<name>,<times>}"
// carries it: only a brace, a comma or a control byte would break that record.
std::string InterruptNameRefusal(const std::string& path);
void CheckInterruptName(const std::string& path);

// Whether `text` holds a byte that would end or split an entry of a list of
// names or a record ("{", "}", ",", ";", a blank or a control byte).
bool BreaksAListEntry(std::string_view text);

// The stem with a..z in upper case, every other byte as it is.
std::string UpperName(const std::string& path);
// The first kSignNameLength bytes of UpperName: what the sign files the message under.
std::string ShortName(const std::string& path);

}  // namespace signname
