#pragma once
// Sending from the editor: the message in memory, or a clear, goes to the sign
// over the serial port through "_LOCAL.MSG" in the program directory, with
// the shared sender thread and sending window. Also the raw hardware clear.
#include <functional>
#include <string>

#include "comm/SerialPort.h"
#include "editor/EditorSettings.h"
#include "editor/MessageModel.h"
#include "platform/Clock.h"
#include "sender/ReplyBuffer.h"
#include "sender/SendThrd.h"
#include "sender/SendingWindow.h"
#include "sender/SerialLink.h"

namespace editor {

// What the main window's send commands ask for.
enum class SendMode { Message = 1, ClearSign = 2 };

inline constexpr const char* kNoLocalFileText = "File open error(File does not exist) !";
inline constexpr const char* kEmptyLocalFileText = "Message file is empty !";
inline constexpr const char* kHardwareClearQuestion =
    "This command will execute the sign clearing of hardware. Continue(Y/N)?";
// The raw clear: no record frame, no CRC, no wake-up, no answer awaited.
inline constexpr const char* kHardwareClearBytes = "@@C";

// "Sended Failure (%s)!" with the reason.
std::string SendFailureText(const std::string& reason);

// The sender's options for the editor's settings: answers awaited (18 ticks,
// up to 3 attempts) only when CRC checking is on and the ID is not 0; the
// failure reason starts empty for every send.
sender::SendOptions EditorSendOptions(const EditorSettings& settings);

// The editor's sending window: no path label, "&Cancel".
class TfrmSending : public sender::TfrmSending {
  Q_OBJECT
 public:
  explicit TfrmSending(QWidget* parent = nullptr);
};

// The sender of the main window over its serial port. Takes the port's
// data-available event, whose bytes go to the reply buffer.
class EditorSender {
 public:
  // The port and the window's parent outlive the sender.
  explicit EditorSender(comm::TVnkCustomComPort& port, QWidget* windowParent = nullptr);
  ~EditorSender();
  EditorSender(const EditorSender&) = delete;
  EditorSender& operator=(const EditorSender&) = delete;

  // Opens the port again when its device hung up, or when it is not open
  // (through the set-up, which warns and stops the send when it fails). Then
  // writes the file for `mode` from the model in memory (saved or not) to
  // LocalPath() and sends it with the window shown modally. When the file
  // cannot be written, a warning names it and nothing is sent. True only
  // when every record was accepted.
  bool Send(SendMode mode, const MessageModel& model, const EditorSettings& settings);

  // Asks first; on Yes writes "@@C" to the port as it is. True when written.
  bool HardwareClear();

  TfrmSending& Window() { return window_; }
  sender::ReplyBuffer& Reply() { return reply_; }
  sender::SerialLink& Link() { return link_; }
  const std::string& LocalPath() const { return localPath_; }

  // How a port that is not open is opened again: the serial set-up of the
  // settings, which warns with its reason when it fails and returns false.
  void SetPortSetUp(std::function<bool(const EditorSettings&)> setUp) { portSetUp_ = std::move(setUp); }

  // Tests: another place for "_LOCAL.MSG" and a fixed clock for the wake-up.
  void SetLocalPath(std::string path) { localPath_ = std::move(path); }
  void SetClock(const platform::Clock* clock) { clock_ = clock; }

 private:
  // Whether the port is open for a send, after opening it again if need be.
  bool PortReady(const EditorSettings& settings);

  comm::TVnkCustomComPort& port_;
  sender::ReplyBuffer reply_;
  sender::SerialLink link_;
  TfrmSending window_;
  std::string localPath_;
  const platform::Clock* clock_ = nullptr;
  std::function<bool(const EditorSettings&)> portSetUp_;
};

}  // namespace editor
