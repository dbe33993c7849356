#pragma once
// Texts by number from raw tables compiled into the library, with a small
// cache of the most recently found ones.
#include <cstdint>
#include <deque>
#include <mutex>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

namespace comm {

class EVnStringResourceError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Table layout: records of a little-endian u16 id, the text and a NUL,
// following each other to the table's end; an empty text ends it early.
// Registers (or replaces) a named table; `bytes` must outlive its use.
void RegisterStringTable(const std::string& name, std::string_view bytes);

class TVnStringResource {
 public:
  // Opens the named table; nullptr opens none (every look-up then misses).
  // A table that does not exist raises EVnStringResourceError.
  explicit TVnStringResource(const char* tableName = nullptr);
  virtual ~TVnStringResource() = default;
  TVnStringResource(const TVnStringResource&) = delete;
  TVnStringResource& operator=(const TVnStringResource&) = delete;

  // The text of `id`; empty when missing, unless ReportMissing is set, in
  // which case a missing id raises.
  std::string GetString(std::uint16_t id);

  void SetReportMissing(bool on);
  bool ReportMissing() const;
  std::size_t CacheCount() const;
  bool IsCached(std::uint16_t id) const;

  static constexpr std::size_t kCacheLimit = 50;

 private:
  mutable std::mutex mutex_;
  bool reportMissing_ = false;
  std::deque<std::pair<std::uint16_t, std::string>> cache_;  // oldest first
  std::string_view table_;
  bool open_ = false;
};

// The instance over "COMMSTRES_STRINGS" that supplies the class's own messages.
TVnStringResource& CommStrResStrings();

}  // namespace comm
