#pragma once
// Modal message boxes and the system beep, behind an interface: the programs
// install the Qt boxes, tests install a recording one with scripted answers.
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace platform {

enum class BoxType { Warning, Information, Error, Confirmation };

// The buttons a box offers and the dialog results they give.
enum class BoxButtons { Ok, YesNo, YesNoCancel };
enum DialogResult { kResultNone = 0, kResultOk = 1, kResultCancel = 2, kResultYes = 6, kResultNo = 7 };

struct BoxRequest {
  BoxType type;
  BoxButtons buttons;
  std::string caption;
  std::string text;
  // The button Enter chooses, as its dialog result; kResultNone: the usual one.
  int defaultResult = kResultNone;
};

class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  // Shows the box modally and returns the chosen button's dialog result;
  // closing the box without a button gives kResultCancel (or kResultNo for Yes/No).
  virtual int Show(const BoxRequest& request) = 0;
  virtual void Beep() = 0;
};

// The installed boxes; a recording set with no script until a program installs its own.
MessageBoxes& Boxes();
// Installs `boxes` (not owned) and returns the previous one; nullptr restores the default.
MessageBoxes* InstallBoxes(MessageBoxes* boxes);

// Records every box and beep; answers from a script, then with `fallback`.
class RecordingBoxes : public MessageBoxes {
 public:
  int Show(const BoxRequest& request) override;
  void Beep() override;

  void QueueAnswer(int result);
  void SetFallback(int result);
  std::vector<BoxRequest> Shown() const;
  std::vector<std::string> Texts() const;
  int Beeps() const;
  void Clear();

 private:
  mutable std::mutex mutex_;
  std::vector<BoxRequest> shown_;
  std::deque<int> answers_;
  int fallback_ = kResultOk;
  int beeps_ = 0;
};

// Installs a RecordingBoxes for the lifetime of the scope (tests).
class ScopedRecordingBoxes {
 public:
  ScopedRecordingBoxes() : previous_(InstallBoxes(&boxes_)) {}
  ~ScopedRecordingBoxes() { InstallBoxes(previous_); }
  RecordingBoxes& operator*() { return boxes_; }
  RecordingBoxes* operator->() { return &boxes_; }

 private:
  RecordingBoxes boxes_;
  MessageBoxes* previous_;
};

}  // namespace platform
