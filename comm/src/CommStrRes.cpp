#include "comm/CommStrRes.h"

#include <cstdio>
#include <map>

namespace comm {
namespace {

using namespace std::string_view_literals;

// "COMMSTRES_STRINGS": ids 1..4 with their texts.
constexpr std::string_view kCommStrResStrings =
    "\x01\x00String not found: %d\0"
    "\x02\x00" "Cannot lock resource\0"
    "\x03\x00String resource not found: %s\0"
    "\x04\x00Unable to open string resource: %s\0"sv;

std::mutex& TablesMutex() {
  static std::mutex m;
  return m;
}

std::map<std::string, std::string_view>& Tables() {
  static std::map<std::string, std::string_view> tables{{"COMMSTRES_STRINGS", kCommStrResStrings}};
  return tables;
}

std::string Format(std::uint16_t textId, const std::string& argument) {
  std::string pattern = CommStrResStrings().GetString(textId);
  const auto at = pattern.find("%s");
  if (at != std::string::npos) pattern.replace(at, 2, argument);
  return pattern;
}

std::string Format(std::uint16_t textId, int argument) {
  std::string pattern = CommStrResStrings().GetString(textId);
  const auto at = pattern.find("%d");
  if (at != std::string::npos) pattern.replace(at, 2, std::to_string(argument));
  return pattern;
}

}  // namespace

void RegisterStringTable(const std::string& name, std::string_view bytes) {
  std::lock_guard lock(TablesMutex());
  Tables()[name] = bytes;
}

TVnStringResource::TVnStringResource(const char* tableName) {
  if (tableName == nullptr) return;
  {
    std::lock_guard lock(TablesMutex());
    const auto it = Tables().find(tableName);
    if (it != Tables().end()) {
      table_ = it->second;
      open_ = true;
    }
  }
  if (!open_) throw EVnStringResourceError(Format(3, std::string(tableName)));
}

std::string TVnStringResource::GetString(std::uint16_t id) {
  std::unique_lock lock(mutex_);
  for (const auto& [cachedId, text] : cache_)
    if (cachedId == id) return text;

  // Walk the records; every read stays inside the table.
  bool found = false;
  std::string result;
  std::size_t pos = 0;
  const std::size_t size = open_ ? table_.size() : 0;
  while (pos + 2 <= size) {
    const std::uint16_t recordId = static_cast<std::uint16_t>(
        static_cast<unsigned char>(table_[pos]) | static_cast<unsigned char>(table_[pos + 1]) << 8);
    const std::size_t textStart = pos + 2;
    std::size_t nul = table_.find('\0', textStart);
    if (nul == std::string_view::npos) nul = size;  // unterminated last text ends at the table's end
    if (recordId == id) {
      found = true;
      result.assign(table_.substr(textStart, nul - textStart));
      break;
    }
    if (nul == textStart) break;  // an empty text ends the table
    pos = nul + 1;
  }

  if (!found) {
    const bool report = reportMissing_;
    lock.unlock();
    if (report) throw EVnStringResourceError(Format(1, static_cast<int>(id)));
    return std::string();
  }
  if (cache_.size() >= kCacheLimit) {
    while (cache_.size() >= kCacheLimit - kCacheLimit / 10) cache_.pop_front();
  }
  cache_.emplace_back(id, result);
  return result;
}

void TVnStringResource::SetReportMissing(bool on) {
  std::lock_guard lock(mutex_);
  reportMissing_ = on;
}

bool TVnStringResource::ReportMissing() const {
  std::lock_guard lock(mutex_);
  return reportMissing_;
}

std::size_t TVnStringResource::CacheCount() const {
  std::lock_guard lock(mutex_);
  return cache_.size();
}

bool TVnStringResource::IsCached(std::uint16_t id) const {
  std::lock_guard lock(mutex_);
  for (const auto& entry : cache_)
    if (entry.first == id) return true;
  return false;
}

TVnStringResource& CommStrResStrings() {
  static TVnStringResource instance("COMMSTRES_STRINGS");
  return instance;
}

}  // namespace comm
