#include "editorapp/Document.h"

#include <exception>
#include <filesystem>
#include <strings.h>

#include "common/SignName.h"
#include "common/Util.h"
#include "editor/MessageFile.h"
#include "platform/BinaryFile.h"
#include "platform/Directories.h"
#include "platform/ExceptionReport.h"
#include "platform/MessageBoxes.h"

namespace editorapp {

bool HasMessageExtension(const std::string& path) {
  return path.size() >= 4 && ::strncasecmp(path.c_str() + path.size() - 4, ".MSG", 4) == 0;
}

int Document::AskSaveChanges() {
  if (!model_.Modified) return platform::kResultYes;
  const int answer = util::AskYesNoCancel(kAskSaveText);
  if (answer == platform::kResultYes && !Save()) return platform::kResultCancel;
  return answer;
}

void Document::NewMessage() {
  view_.NewMessage();
  untitled_ = true;
}

void Document::New() {
  if (AskSaveChanges() != platform::kResultCancel) NewMessage();
}

void Document::Open() {
  if (AskSaveChanges() == platform::kResultCancel) return;
  const std::string chosen = view_.ChooseOpenFile(util::JoinPath(platform::CurrentDirectory(), "*.SML"));
  if (chosen.empty()) return;
  FollowDirectory(chosen);
  // A file the reader refuses leaves the message as it was, with a warning.
  if (!editor::LoadFrameFile(model_, chosen, redraw_)) return;
  untitled_ = false;
  view_.SetFileName(chosen);
  view_.SetModified(false);
  view_.ShowOpenedMessage();
}

bool Document::Save() {
  const std::string path = model_.DocFileName;
  if (!Savable(path)) return false;
  if (untitled_ && platform::FileExists(path) &&
      !util::AskYesNo(std::filesystem::path(path).filename().string() + " already exists. Replace it?")) {
    return false;
  }
  if (!SaveTo(path)) return false;
  untitled_ = false;
  view_.SetModified(false);
  return true;
}

bool Document::SaveAs() {
  const std::string chosen = view_.ChooseSaveFile(model_.DocFileName);
  if (chosen.empty()) return false;
  FollowDirectory(chosen);
  if (!Savable(chosen) || !SaveTo(chosen)) return false;
  untitled_ = false;
  view_.SetFileName(chosen);
  view_.SetModified(false);
  return true;
}

bool Document::Savable(const std::string& path) {
  // The companion message file takes the frame file's name with ".MSG".
  if (HasMessageExtension(path)) {
    util::ShowWarning(kMessageFileNameText);
    return false;
  }
  // The message file names the message after the file: a name the sign
  // cannot take is refused before either file is written.
  if (const std::string refusal = signname::NameRefusal(path); !refusal.empty()) {
    util::ShowWarning(refusal);
    return false;
  }
  return true;
}

bool Document::SaveTo(const std::string& path) {
  try {
    editor::SaveMessage(model_, path, editor::FileSettingsOf(settings_));
  } catch (const std::exception& e) {
    platform::ShowExceptionBox(e.what());
    return false;
  }
  if (const std::string unsent = editor::UnsentLogosText(model_.LogoCount()); !unsent.empty()) util::ShowInfo(unsent);
  return true;
}

// New messages are named in the directory the last file dialog went to.
void Document::FollowDirectory(const std::string& chosen) {
  // By its bytes: a folder named on another system is entered as it is.
  platform::SetCurrentDirectory(std::filesystem::path(chosen).parent_path().string());
}

}  // namespace editorapp
