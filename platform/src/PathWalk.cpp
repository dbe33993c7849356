#include "platform/PathWalk.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <deque>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform {
namespace {

// As many links as the system follows in one path.
constexpr int kMostLinks = 40;

bool OursOrRoot(uid_t owner) { return owner == ::geteuid() || owner == 0; }

bool OthersMayWrite(const struct stat& st) { return (st.st_mode & (S_IWGRP | S_IWOTH)) != 0; }

bool Sticky(const struct stat& st) { return (st.st_mode & S_ISVTX) != 0; }

std::string Join(const std::string& folder, const std::string& name) {
  return folder == "/" ? "/" + name : folder + "/" + name;
}

std::string Parent(const std::string& folder) {
  const std::size_t slash = folder.rfind('/');
  return slash == 0 || slash == std::string::npos ? std::string("/") : folder.substr(0, slash);
}

// The names of `text` put before the steps still to walk, in their order.
void PutFirst(std::deque<std::string>& steps, const std::string& text) {
  std::vector<std::string> names;
  std::size_t from = 0;
  while (from <= text.size()) {
    std::size_t slash = text.find('/', from);
    if (slash == std::string::npos) slash = text.size();
    if (slash > from) names.push_back(text.substr(from, slash - from));
    from = slash + 1;
  }
  steps.insert(steps.begin(), names.begin(), names.end());
}

// `at` with the steps not walked after it.
std::string WithRest(std::string at, const std::deque<std::string>& steps) {
  for (const std::string& name : steps) at = Join(at, name);
  return at;
}

std::string CurrentFolder() {
  std::vector<char> buf(PATH_MAX);
  for (;;) {
    if (::getcwd(buf.data(), buf.size()) != nullptr) return buf.data();
    if (errno != ERANGE || buf.size() > (std::size_t{1} << 20)) return {};
    buf.resize(buf.size() * 2);
  }
}

}  // namespace

WalkedPath WalkPath(const std::string& path, StepRule rule) {
  const bool strict = rule == StepRule::kOwnStepsOnly;
  WalkedPath out;
  const auto refuse = [&](const std::string& step, std::string reason) {
    out.step = step;
    out.reason = std::move(reason);
    return out;
  };
  // A step the system's call failed on, with its errno (taken at once).
  const auto failed = [&](const std::string& step) {
    out.error = errno;
    return refuse(step, std::string("cannot be used (") + std::strerror(out.error) + ")");
  };
  std::deque<std::string> steps;
  PutFirst(steps, path);
  if (path.empty() || path[0] != '/') {
    const std::string cwd = CurrentFolder();
    if (cwd.empty()) {
      out.path = path;
      return strict ? failed(".") : out;
    }
    PutFirst(steps, cwd);
  }
  std::string at = "/";
  struct stat folder {};
  if (::lstat("/", &folder) != 0) return failed("/");
  if (strict && !OursOrRoot(folder.st_uid)) return refuse("/", "belongs to another user");
  if (strict && OthersMayWrite(folder) && !Sticky(folder)) return refuse("/", "may be written by other users");
  int links = 0;
  while (!steps.empty()) {
    const std::string name = steps.front();
    steps.pop_front();
    if (name == ".") continue;
    if (name == "..") {
      // `at` holds no link, so its parent is the one the system goes to.
      at = Parent(at);
      if (::lstat(at.c_str(), &folder) != 0) return failed(at);
      continue;
    }
    const std::string next = Join(at, name);
    out.path = WithRest(next, steps);
    struct stat st {};
    if (::lstat(next.c_str(), &st) != 0) return strict ? failed(next) : out;
    if (strict && !OursOrRoot(st.st_uid)) return refuse(next, "belongs to another user");
    if (S_ISLNK(st.st_mode)) {
      // The system's own rule, which it applies only to the links it follows.
      if (Sticky(folder) && (folder.st_mode & S_IWOTH) != 0 && st.st_uid != ::geteuid() &&
          st.st_uid != folder.st_uid) {
        return refuse(next, kForeignLinkInSharedFolder);
      }
      if (++links > kMostLinks) {
        errno = ELOOP;
        return failed(next);
      }
      std::string target(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : PATH_MAX) + 1, '\0');
      const ssize_t n = ::readlink(next.c_str(), target.data(), target.size());
      if (n < 0) return failed(next);
      if (static_cast<std::size_t>(n) >= target.size()) {  // it changed meanwhile: read it again
        steps.push_front(name);
        continue;
      }
      target.resize(static_cast<std::size_t>(n));
      PutFirst(steps, target);
      if (!target.empty() && target[0] == '/') {
        at = "/";
        if (::lstat("/", &folder) != 0) return failed("/");
      }
      continue;
    }
    if (!S_ISDIR(st.st_mode) && !steps.empty()) {
      if (!strict) return out;
      errno = ENOTDIR;
      return failed(next);
    }
    if (strict && S_ISDIR(st.st_mode) && OthersMayWrite(st) && !Sticky(st)) {
      return refuse(next, "may be written by other users");
    }
    at = next;
    folder = st;
  }
  out.path = at;
  // A sticky folder others may write keeps only its own entries safe: as the
  // last folder anyone may add to it.
  if (strict && S_ISDIR(folder.st_mode) && OthersMayWrite(folder)) return refuse(at, "may be written by other users");
  return out;
}

}  // namespace platform
