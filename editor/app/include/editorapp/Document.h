#pragma once
// The file commands of the editor's main window, below the window: New, Open,
// Save and Save As with the question before unsaved work is lost. The window
// gives the file choosers and redraws; tests give scripted ones.
#include <string>

#include "editor/EditorSettings.h"
#include "editor/FrameFile.h"
#include "editor/MessageModel.h"

namespace editorapp {

inline constexpr char kAskSaveText[] =
    "The changes to the current message will be lost! Save the current message?";
inline constexpr char kMessageFileNameText[] =
    "A frame file cannot be named *.MSG: its message file would be written over it!";

// What the commands need of the window.
class DocumentView {
 public:
  virtual ~DocumentView() = default;
  // Empties the message into one new frame named "NEW.SML" in the current
  // directory, selects it and redraws the frame list (not modified).
  virtual void NewMessage() = 0;
  // After a frame file was read into the model: select frame 0, redraw.
  virtual void ShowOpenedMessage() = 0;
  virtual void SetFileName(const std::string& path) = 0;
  virtual void SetModified(bool modified) = 0;
  // The open and save choosers; an empty result is a cancelled dialog.
  virtual std::string ChooseOpenFile(const std::string& initial) = 0;
  virtual std::string ChooseSaveFile(const std::string& current) = 0;
};

// Whether `path` ends in ".MSG", whatever the case.
bool HasMessageExtension(const std::string& path);

class Document {
 public:
  Document(editor::MessageModel& model, const editor::EditorSettings& settings, DocumentView& view,
           editor::RedrawPicture redraw)
      : model_(model), settings_(settings), view_(view), redraw_(std::move(redraw)) {}

  // No question when nothing is modified (Yes). Otherwise Yes, No or Cancel;
  // Yes saves, and a save that fails counts as Cancel.
  int AskSaveChanges();
  void NewMessage();
  void New();
  void Open();
  // The frame file and its message file (".MSG" beside it); the modified mark
  // is cleared only when both were written. False when nothing was saved. A
  // name the sign cannot take is refused with its reason before anything is
  // written; logos the message file leaves out are named once after the save.
  bool Save();
  // Names the message after the chosen file only when the save succeeded.
  bool SaveAs();
  // Whether the message was never saved nor opened (its name is "NEW.SML").
  bool Untitled() const { return untitled_; }

 private:
  // Whether a message may be saved under `path`; warns with the reason when not.
  bool Savable(const std::string& path);
  bool SaveTo(const std::string& path);
  void FollowDirectory(const std::string& chosen);

  editor::MessageModel& model_;
  const editor::EditorSettings& settings_;
  DocumentView& view_;
  editor::RedrawPicture redraw_;
  bool untitled_ = true;
};

}  // namespace editorapp
