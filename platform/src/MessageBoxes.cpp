#include "platform/MessageBoxes.h"

#include <atomic>

namespace platform {
namespace {

RecordingBoxes& DefaultBoxes() {
  static RecordingBoxes boxes;
  return boxes;
}

std::atomic<MessageBoxes*> installed{nullptr};

}  // namespace

MessageBoxes& Boxes() {
  MessageBoxes* b = installed.load();
  return b ? *b : DefaultBoxes();
}

MessageBoxes* InstallBoxes(MessageBoxes* boxes) { return installed.exchange(boxes); }

int RecordingBoxes::Show(const BoxRequest& request) {
  std::lock_guard lock(mutex_);
  shown_.push_back(request);
  if (!answers_.empty()) {
    int r = answers_.front();
    answers_.pop_front();
    return r;
  }
  return fallback_;
}

void RecordingBoxes::Beep() {
  std::lock_guard lock(mutex_);
  ++beeps_;
}

void RecordingBoxes::QueueAnswer(int result) {
  std::lock_guard lock(mutex_);
  answers_.push_back(result);
}

void RecordingBoxes::SetFallback(int result) {
  std::lock_guard lock(mutex_);
  fallback_ = result;
}

std::vector<BoxRequest> RecordingBoxes::Shown() const {
  std::lock_guard lock(mutex_);
  return shown_;
}

std::vector<std::string> RecordingBoxes::Texts() const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> texts;
  for (const auto& b : shown_) texts.push_back(b.text);
  return texts;
}

int RecordingBoxes::Beeps() const {
  std::lock_guard lock(mutex_);
  return beeps_;
}

void RecordingBoxes::Clear() {
  std::lock_guard lock(mutex_);
  shown_.clear();
  answers_.clear();
  beeps_ = 0;
}

}  // namespace platform
