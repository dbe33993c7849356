#include "controllerapp/SourceFiles.h"

#include <algorithm>
#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <QString>

#include "common/Util.h"
#include "platform/QtText.h"

namespace ctlapp {
namespace {

bool Matches(const std::string& name, const std::string& mask) {
  if (mask == "*") return true;
  if (mask.empty() || mask[0] != '*') return name == mask;
  const std::string ending = mask.substr(1);
  return name.size() >= ending.size() &&
         ::strncasecmp(name.c_str() + name.size() - ending.size(), ending.c_str(), ending.size()) == 0;
}

}  // namespace

std::vector<std::string> ListSourceFiles(const std::string& directory, const std::string& mask) {
  std::vector<std::string> names;
  DIR* dir = ::opendir(directory.c_str());
  if (dir == nullptr) return names;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (!Matches(name, mask)) continue;
    struct stat st {};
    // Named as the list's entries are later taken.
    const std::string path = util::JoinPath(directory, name);
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    names.push_back(name);
  }
  ::closedir(dir);
  // As the list shows them: by their letters ignoring case, then by case, then
  // by bytes, so two names that show alike keep one order.
  std::vector<std::pair<QString, std::string>> shown;
  shown.reserve(names.size());
  for (std::string& n : names) shown.emplace_back(platform::ToQt(n), std::move(n));
  std::sort(shown.begin(), shown.end(), [](const auto& a, const auto& b) {
    if (const int c = a.first.compare(b.first, Qt::CaseInsensitive); c != 0) return c < 0;
    if (const int c = a.first.compare(b.first, Qt::CaseSensitive); c != 0) return c < 0;
    return a.second < b.second;
  });
  names.clear();
  for (auto& s : shown) names.push_back(std::move(s.second));
  return names;
}

}  // namespace ctlapp
