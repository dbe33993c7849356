#include "editor/Sending.h"

#include <cstdio>
#include <exception>

#include "common/Util.h"
#include "editor/MessageFile.h"

namespace editor {

// The editor waits a fixed 18 ticks for an answer, whatever the file says.
constexpr int kEchoWaitMs = 1000;

std::string SendFailureText(const std::string& reason) { return "Sended Failure (" + reason + ")!"; }

sender::SendOptions EditorSendOptions(const EditorSettings& s) {
  sender::SendOptions o;
  o.crcCheck = s.crcCheck != 0;
  o.crcWaitMs = kEchoWaitMs;
  char id[8];
  std::snprintf(id, sizeof id, "%.2d", s.signId);
  o.signId = id;  // the core waits unless it is "00"
  o.missingFileText = kNoLocalFileText;
  o.emptyFileText = kEmptyLocalFileText;
  o.failureBox = [](const std::string& reason) { util::ShowWarning(SendFailureText(reason)); };
  o.failureText.clear();
  o.idleAfterEachRecord = false;
  return o;
}

TfrmSending::TfrmSending(QWidget* parent) : sender::TfrmSending(sender::SendingWindowLayout{false, "&Cancel"}, parent) {}

EditorSender::EditorSender(comm::TVnkCustomComPort& port, QWidget* windowParent)
    : port_(port), link_(port, reply_), window_(windowParent), localPath_(LocalSendPath()) {
  port_.OnTriggerAvail = [this](comm::TVnkCustomComPort& p, std::uint16_t count) { link_.TriggerAvail(p, count); };
}

EditorSender::~EditorSender() { port_.OnTriggerAvail = nullptr; }

bool EditorSender::PortReady(const EditorSettings& settings) {
  // A device that hung up (an adapter pulled and plugged back, a sign that
  // restarted) is opened again, as the controller's jobs do.
  link_.Prepare();
  if (port_.Open() || !portSetUp_) return true;
  // Never opened, or still gone: the set-up tries once more and, failing,
  // tells the user why, rather than a send that blames the sign.
  return portSetUp_(settings) && port_.Open();
}

bool EditorSender::Send(SendMode mode, const MessageModel& model, const EditorSettings& settings) {
  if (!PortReady(settings)) return false;
  MessageFileSettings fileSettings = FileSettingsOf(settings);
  if (clock_ != nullptr) fileSettings.clock = clock_;
  try {
    if (mode == SendMode::ClearSign) {
      BuildClearSignFile(localPath_, fileSettings);
    } else {
      BuildCommandFile(model, localPath_, true, fileSettings);
    }
  } catch (const std::exception& e) {
    // The writer leaves an older file in place: it must not go out instead.
    util::ShowWarning("The message file " + localPath_ + " cannot be written (" + e.what() + ")!");
    return false;
  }
  return window_.Send(localPath_, EditorSendOptions(settings), link_, reply_);
}

bool EditorSender::HardwareClear() {
  if (!util::AskYesNo(kHardwareClearQuestion)) return false;
  try {
    port_.WriteText(kHardwareClearBytes);
    return true;
  } catch (const std::exception& e) {
    util::ShowWarning(e.what());
    return false;
  }
}

}  // namespace editor
