#pragma once
// Follows a path step by step as the system does, its symbolic links too, and
// judges each step by who may have put it there. The programs follow links
// themselves (a file is written through a link to its target), so the
// system's own guard of shared sticky folders never sees those links; and a
// folder the programs keep their files in must be one no other user can
// change, or another user could plant links there that write through to this
// user's files.
#include <string>

namespace platform {

enum class StepRule {
  // The system's rule for links alone: a link in a sticky folder that every
  // user may write is followed only when it belongs to this user or to the
  // folder's owner. A step that cannot be looked at ends the walk: the calls
  // made on the path later say what is wrong with it.
  kSharedFolderLinks,
  // That, and every step (each folder, each link) belongs to this user or to
  // root, and no folder may be written by another user; a sticky one counts
  // as safe only above a step of this user's or root's, so never as the last
  // folder. A step that cannot be looked at is a problem.
  kOwnStepsOnly,
};

// The reason given for a link the system's rule would not follow.
inline constexpr char kForeignLinkInSharedFolder[] = "is a link of another user in a folder all users may write";

struct WalkedPath {
  std::string path;    // where the walk ended: absolute, its links followed
  std::string step;    // the step refused ("" when none was)
  std::string reason;  // why, in words that follow the step's name
  int error = 0;       // the system's errno where one is the reason
  // "" or the sentence for the user: the step and the reason.
  std::string Problem() const { return step.empty() ? std::string() : step + " " + reason; }
};

// A relative `path` is walked from the current directory, which is walked too.
WalkedPath WalkPath(const std::string& path, StepRule rule);

}  // namespace platform
