// Sends from the editor over the serial port component on a pseudo-terminal
// whose slave COM1 points at, the simulated sign on its master.
#include <gtest/gtest.h>

#include <QApplication>
#include <QEventLoop>
#include <QPushButton>
#include <QTimer>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "TestBytes.h"
#include "comm/SerialPort.h"
#include "common/ComPortSetup.h"
#include "editor/Sending.h"
#include "platform/BinaryFile.h"
#include "platform/MessageBoxes.h"
#include "signsim/SignSim.h"
#include "testsupport/OffscreenApp.h"

namespace {

using namespace std::chrono;
using editor::EditorSender;
using editor::SendMode;
using signsim::SignEntry;

QApplication& GuiApp() { return testsupport::OffscreenApp("editor_send_tests"); }

// A record as the sign receives it, laid out by hand: `ats` at-signs, the
// command, its CRC over the bytes between the braces, high byte first.
std::string OnTheWire(const std::string& command, int ats = 0) {
  const std::uint16_t crc = testbytes::BitwiseCrc(command.substr(1, command.size() - 2));
  return std::string(static_cast<std::size_t>(ats), '@') + command + char(crc >> 8) + char(crc & 0xFF);
}

// Wednesday 9 December 2026, 10:05:41.
const platform::LocalTime kWednesday{2026, 12, 9, 3, 10, 5, 41, 0};
const std::string kWakeUp5 = "{N05,M=AML,D=24 12 09 03 10 05,S}";
const std::string kWakeUp0 = "{N00,M=AML,D=24 12 09 03 10 05}";

class EditorSends : public ::testing::Test {
 protected:
  void SetUp() override {
    char templ[] = "/tmp/editorsend.XXXXXX";
    dir_ = mkdtemp(templ);
    ::setenv("LEDSIGN_COM1", sim_.StartPty().c_str(), 1);
    port_ = std::make_unique<comm::TVnkComPort>();
    settings::ComPortSetup setup(*port_, nullptr);
    ASSERT_TRUE(settings::ApplySerialSettings(setup, 0, 10, "Serial port setup error!"));
    sender_ = std::make_unique<EditorSender>(*port_);
    sender_->SetLocalPath(dir_ + "/_LOCAL.MSG");
    sender_->SetClock(&clock_);
    settings_.signId = 5;
    settings_.crcCheck = 1;
    // One line, speed Slow, 'A' and '{' in font 0, colour 0, plain.
    model_.NewMessage(dir_);
    model_.Frame(0).Layout = 1;
    model_.Frame(0).Speed = 2;
    ASSERT_TRUE(model_.InsertCharacter(0, 1, 1, 'A', 0, 0, '0'));
    ASSERT_TRUE(model_.InsertCharacter(0, 1, 2, '{', 0, 0, '0'));
  }
  void TearDown() override {
    sender_.reset();
    port_.reset();
    sim_.Stop();
    ::unsetenv("LEDSIGN_COM1");
    std::filesystem::remove_all(dir_);
  }
  std::vector<std::string> Raw() const {
    std::vector<std::string> raw;
    for (const SignEntry& e : sim_.Records()) raw.push_back(e.raw);
    return raw;
  }
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const SignEntry& e : sim_.Records()) texts.push_back(e.text);
    return texts;
  }
  // Runs `fn` on the GUI thread once the sign has seen `records` records.
  void WhenSeen(std::size_t records, std::function<void()> fn) {
    auto* timer = new QTimer(&sender_->Window());
    QObject::connect(timer, &QTimer::timeout, [this, timer, records, fn] {
      if (sim_.Records().size() < records) return;
      timer->stop();
      fn();
    });
    timer->start(5);
  }

  bool app_ = (GuiApp(), true);
  signsim::SignSim sim_;
  std::string dir_;
  platform::FixedClock clock_{kWednesday};
  platform::ScopedRecordingBoxes boxes_;
  std::unique_ptr<comm::TVnkComPort> port_;
  std::unique_ptr<EditorSender> sender_;
  editor::EditorSettings settings_;
  editor::MessageModel model_{editor::SignGeometry{160, 16}};
};

TEST_F(EditorSends, AMessageGoesOutFramedByWakeUpRunAndEnd) {
  ASSERT_TRUE(sender_->Send(SendMode::Message, model_, settings_));
  EXPECT_EQ(Raw(), (std::vector<std::string>{OnTheWire(kWakeUp5, 23), OnTheWire("{F,_LOCAL}"),
                                             OnTheWire("{T,~s,^FL^RH^T5A/{}"), OnTheWire("{RX,_LOCAL}"),
                                             OnTheWire("{E}")}));
  EXPECT_TRUE(boxes_->Texts().empty());
  EXPECT_FALSE(sender_->Window().isVisible());
  EXPECT_TRUE(platform::FileExists(dir_ + "/_LOCAL.MSG"));
}

TEST_F(EditorSends, ClearSign) {
  ASSERT_TRUE(sender_->Send(SendMode::ClearSign, model_, settings_));
  EXPECT_EQ(Raw(), (std::vector<std::string>{OnTheWire(kWakeUp5, 23), OnTheWire("{CA}"), OnTheWire("{E}")}));
}

// Without CRC checking, or with ID 0, no answer is awaited: a sign that
// refuses or keeps quiet changes nothing and no record waits for a reply.
TEST_F(EditorSends, NoWaitWithoutCrcCheckOrWithIdZero) {
  struct Case {
    int crcCheck;
    int signId;
    const char* script;
    std::string wakeUp;
  };
  const Case cases[] = {{0, 5, "1*10", "{N05,M=AML,D=24 12 09 03 10 05}"},
                        {1, 0, "-*10", kWakeUp0},
                        {0, 0, "-*10", kWakeUp0}};
  for (const Case& c : cases) {
    sim_.Core().ClearLog();
    sim_.SetScript(c.script);
    settings_.crcCheck = c.crcCheck;
    settings_.signId = static_cast<std::uint8_t>(c.signId);
    const auto start = steady_clock::now();
    EXPECT_TRUE(sender_->Send(SendMode::ClearSign, model_, settings_)) << c.script;
    // Three pauses of 150 ms and the window's 100 ms; one wait would add 1 s.
    EXPECT_LT(steady_clock::now() - start, milliseconds(950)) << c.script;
    sim_.WaitForRecords(3, milliseconds(500));
    EXPECT_EQ(Texts(), (std::vector<std::string>{c.wakeUp, "{CA}", "{E}"})) << c.script;
  }
  EXPECT_TRUE(boxes_->Texts().empty());
}

// Without CRC checking nothing answers: a sign that hangs up on the
// next-to-last record never gets the last one, and the send fails.
TEST_F(EditorSends, AHangUpOnTheNextToLastRecordFailsTheSendWithoutCrc) {
  settings_.crcCheck = 0;
  WhenSeen(2, [this] { sim_.Stop(); });
  EXPECT_FALSE(sender_->Send(SendMode::ClearSign, model_, settings_));
  EXPECT_EQ(Texts(), (std::vector<std::string>{"{N05,M=AML,D=24 12 09 03 10 05}", "{CA}"}));
}

TEST_F(EditorSends, ThreeCrcErrorsFailTheSendAndNothingMoreGoesOut) {
  sim_.SetScript("1*3");
  EXPECT_FALSE(sender_->Send(SendMode::Message, model_, settings_));
  sim_.WaitForRecords(4, milliseconds(400));
  EXPECT_EQ(Texts(), (std::vector<std::string>(3, kWakeUp5)));
  EXPECT_EQ(boxes_->Texts(), (std::vector<std::string>{"Sended Failure (CRC error)!"}));
  EXPECT_EQ(boxes_->Shown().at(0).type, platform::BoxType::Warning);
  EXPECT_EQ(boxes_->Beeps(), 1);
}

TEST_F(EditorSends, SilenceGivesNoRespondAfterThreeWaitsOfEighteenTicks) {
  sim_.SetScript("-*3");
  const auto start = steady_clock::now();
  EXPECT_FALSE(sender_->Send(SendMode::ClearSign, model_, settings_));
  const auto took = steady_clock::now() - start;
  EXPECT_GE(took, milliseconds(3 * (150 + 1000)));
  EXPECT_LT(took, milliseconds(3 * (150 + 1000) + 1500));
  EXPECT_EQ(boxes_->Texts(), (std::vector<std::string>{"Sended Failure (no respond)!"}));
}

// Every send starts without a reason, and a code the sign does not define is
// named rather than leaving the reason of an earlier failure in the box.
TEST_F(EditorSends, TheReasonIsClearedForEverySendAndUnknownCodesAreNamed) {
  sim_.SetScript("-*3,0,7*3");
  EXPECT_FALSE(sender_->Send(SendMode::ClearSign, model_, settings_));
  EXPECT_FALSE(sender_->Send(SendMode::ClearSign, model_, settings_));
  EXPECT_EQ(boxes_->Texts(),
            (std::vector<std::string>{"Sended Failure (no respond)!", "Sended Failure (unknown answer)!"}));
  EXPECT_EQ(Texts(), (std::vector<std::string>{kWakeUp5, kWakeUp5, kWakeUp5, kWakeUp5, "{CA}", "{CA}", "{CA}"}));
}

TEST_F(EditorSends, CancelInsideTheWaitEndsTheSendAtOnce) {
  sim_.SetScript("-*3");
  steady_clock::time_point clicked;
  WhenSeen(1, [&] {
    clicked = steady_clock::now();
    sender_->Window().btnCancel->click();
  });
  EXPECT_FALSE(sender_->Send(SendMode::Message, model_, settings_));
  const auto back = steady_clock::now();
  EXPECT_LT(back - clicked, milliseconds(500)) << "the 1 s wait was not cut short";
  EXPECT_FALSE(sender_->Window().isVisible());
  EXPECT_TRUE(boxes_->Texts().empty()) << "a cancelled send shows no failure";
  sim_.WaitForRecords(2, milliseconds(400));
  EXPECT_EQ(Texts(), (std::vector<std::string>{kWakeUp5}));
  // The stopped sender has ended: the next send has the port to itself.
  sim_.Core().ClearLog();
  sim_.SetScript("auto*3");
  EXPECT_TRUE(sender_->Send(SendMode::ClearSign, model_, settings_));
  EXPECT_EQ(Texts(), (std::vector<std::string>{kWakeUp5, "{CA}", "{E}"}));
}

TEST_F(EditorSends, TheSendStartsOncePerShowing) {
  WhenSeen(1, [&] {
    // The focus coming back to the window, as after a message box.
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(&sender_->Window(), &activate);
    sender_->Window().activateWindow();
  });
  ASSERT_TRUE(sender_->Send(SendMode::ClearSign, model_, settings_));
  sim_.WaitForRecords(4, milliseconds(400));
  EXPECT_EQ(Texts(), (std::vector<std::string>{kWakeUp5, "{CA}", "{E}"}));
}

TEST_F(EditorSends, AFileThatCannotBeWrittenStopsTheSendAndTheOldOneStaysHome) {
  ASSERT_TRUE(sender_->Send(SendMode::ClearSign, model_, settings_));
  const auto oldFile = platform::ReadWholeFile(sender_->LocalPath());
  sim_.Core().ClearLog();
  // A frame text longer than a record can carry: the file cannot be written.
  model_.Frame(0).Modes = std::string(70000, 'A');
  EXPECT_FALSE(sender_->Send(SendMode::Message, model_, settings_));
  ASSERT_EQ(boxes_->Texts().size(), 1u);
  EXPECT_NE(boxes_->Texts()[0].find(sender_->LocalPath()), std::string::npos) << boxes_->Texts()[0];
  EXPECT_FALSE(sim_.WaitForRecords(1, milliseconds(400))) << "the old file went out";
  EXPECT_EQ(platform::ReadWholeFile(sender_->LocalPath()), oldFile);

  boxes_->Clear();
  sender_->SetLocalPath(dir_ + "/missing/_LOCAL.MSG");
  EXPECT_FALSE(sender_->Send(SendMode::ClearSign, model_, settings_));
  ASSERT_EQ(boxes_->Texts().size(), 1u);
  EXPECT_NE(boxes_->Texts()[0].find(dir_ + "/missing/_LOCAL.MSG"), std::string::npos) << boxes_->Texts()[0];
  EXPECT_TRUE(sim_.Records().empty());
}

TEST_F(EditorSends, TheHardwareClearIsExactlyThreeBytesAfterAYes) {
  auto anything = [](const std::vector<SignEntry>& log) { return !log.empty(); };
  boxes_->QueueAnswer(platform::kResultNo);
  EXPECT_FALSE(sender_->HardwareClear());
  EXPECT_FALSE(sim_.Core().WaitFor(anything, milliseconds(300)));
  boxes_->QueueAnswer(platform::kResultYes);
  EXPECT_TRUE(sender_->HardwareClear());
  ASSERT_TRUE(sim_.Core().WaitFor(anything, milliseconds(2000)));
  sim_.Core().WaitFor([](const std::vector<SignEntry>& log) { return log.size() > 1; }, milliseconds(300));
  const auto log = sim_.Core().Log();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].kind, SignEntry::Kind::HardwareClear);
  EXPECT_EQ(log[0].raw, "@@C");
  EXPECT_TRUE(log[0].answer.empty());
  const auto shown = boxes_->Shown();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[1].text, "This command will execute the sign clearing of hardware. Continue(Y/N)?");
  EXPECT_EQ(shown[1].buttons, platform::BoxButtons::YesNo);
}

// A direct send goes through "_LOCAL.MSG" in the program directory, which the
// sign files as "_LOCAL" whatever the message's own name.
// A port that cannot be opened (its device is missing): the write's error is
// shown and the clear reports failure.
TEST_F(EditorSends, AHardwareClearOnAPortThatCannotOpenIsReported) {
  ::setenv("LEDSIGN_COM3", (dir_ + "/no-such-tty").c_str(), 1);
  comm::TVnkComPort missing;
  missing.SetComNumber(3);
  sender_.reset();  // one sender on the data-available event at a time
  EditorSender clear(missing);
  boxes_->QueueAnswer(platform::kResultYes);
  EXPECT_FALSE(clear.HardwareClear());
  ::unsetenv("LEDSIGN_COM3");
  const auto shown = boxes_->Shown();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[1].type, platform::BoxType::Warning);
  EXPECT_FALSE(shown[1].text.empty());
  EXPECT_TRUE(sim_.Core().Log().empty());
}

TEST_F(EditorSends, TheDirectSendGoesThroughLocalMsgInTheProgramDirectory) {
  ::setenv("LEDSIGN_PROGRAM_DIR", dir_.c_str(), 1);
  sender_.reset();
  sender_ = std::make_unique<EditorSender>(*port_);
  ::unsetenv("LEDSIGN_PROGRAM_DIR");
  EXPECT_EQ(sender_->LocalPath(), dir_ + "/_LOCAL.MSG");
  sender_->SetClock(&clock_);
  settings_.crcCheck = 0;
  ASSERT_TRUE(sender_->Send(SendMode::Message, model_, settings_));
  sim_.WaitForRecords(5, milliseconds(400));
  const std::vector<std::string> texts = Texts();
  ASSERT_EQ(texts.size(), 5u);
  EXPECT_EQ(texts[1], "{F,_LOCAL}");
  EXPECT_EQ(texts[3], "{RX,_LOCAL}");
  EXPECT_TRUE(platform::FileExists(dir_ + "/_LOCAL.MSG"));
}

// The sign's line dies during a send (the simulator's side of the
// pseudo-terminal closes) and comes back at the same COM path: the next send
// opens the port again and reaches it, with no set-up in between.
TEST_F(EditorSends, ALineThatDiedAndCameBackIsReachedByTheNextSend) {
  WhenSeen(2, [this] { sim_.Stop(); });
  EXPECT_FALSE(sender_->Send(SendMode::Message, model_, settings_));
  ASSERT_EQ(boxes_->Texts().size(), 1u);
  EXPECT_EQ(boxes_->Texts()[0].rfind("Sended Failure (", 0), 0u) << boxes_->Texts()[0];
  const auto end = steady_clock::now() + 3s;
  while (!port_->DeviceFailed() && steady_clock::now() < end) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  ASSERT_TRUE(port_->DeviceFailed());

  signsim::SignSim back;
  ::setenv("LEDSIGN_COM1", back.StartPty().c_str(), 1);
  boxes_->Clear();
  ASSERT_TRUE(sender_->Send(SendMode::Message, model_, settings_));
  EXPECT_TRUE(boxes_->Texts().empty());
  std::vector<std::string> raw;
  for (const SignEntry& e : back.Records()) raw.push_back(e.raw);
  EXPECT_EQ(raw, (std::vector<std::string>{OnTheWire(kWakeUp5, 23), OnTheWire("{F,_LOCAL}"),
                                           OnTheWire("{T,~s,^FL^RH^T5A/{}"), OnTheWire("{RX,_LOCAL}"),
                                           OnTheWire("{E}")}));
  EXPECT_FALSE(port_->DeviceFailed());
  back.Stop();
}

// A port whose set-up failed at start is opened by the send. While it still
// cannot open, the serial set-up's warning says why and nothing is sent, so
// no failure box blames the sign; once the device is there the send reaches it.
TEST_F(EditorSends, APortThatNeverOpenedIsOpenedFirstOrTheSetUpSaysWhy) {
  // COM1 leads to a plain file: the device layer names it and says what is wrong.
  const std::string path = dir_ + "/unplugged";
  std::ofstream(path) << "not a tty";
  ::setenv("LEDSIGN_COM1", path.c_str(), 1);
  sender_.reset();  // one sender on the data-available event at a time
  comm::TVnkComPort port;
  settings::ComPortSetup setup(port, nullptr);
  ASSERT_FALSE(settings::ApplySerialSettings(setup, 0, 10, "Serial port setup error!"));
  ASSERT_FALSE(port.Open());
  EditorSender sender(port);
  sender.SetLocalPath(dir_ + "/_LOCAL.MSG");
  sender.SetClock(&clock_);
  sender.SetPortSetUp([&setup](const editor::EditorSettings& s) {
    return settings::ApplySerialSettings(setup, s.portIndex, s.speedIndex, "Serial port setup error!");
  });
  settings_.speedIndex = 10;
  boxes_->Clear();
  EXPECT_FALSE(sender.Send(SendMode::Message, model_, settings_));
  ASSERT_EQ(boxes_->Texts().size(), 1u);
  const std::string warning = boxes_->Texts()[0];
  EXPECT_EQ(warning, "Serial port setup error!\n" + path + " is not a serial device");
  EXPECT_FALSE(sender.Window().isVisible());

  std::filesystem::remove(path);
  signsim::SignSim plugged;
  plugged.StartPty(path);
  boxes_->Clear();
  ASSERT_TRUE(sender.Send(SendMode::ClearSign, model_, settings_));
  EXPECT_TRUE(boxes_->Texts().empty());
  std::vector<std::string> texts;
  for (const SignEntry& e : plugged.Records()) texts.push_back(e.text);
  EXPECT_EQ(texts, (std::vector<std::string>{kWakeUp5, "{CA}", "{E}"}));
  plugged.Stop();
  EXPECT_TRUE(sim_.Records().empty());
}

TEST(EditorSendOptions, FollowTheSettings) {
  editor::EditorSettings s;
  s.signId = 7;
  s.crcCheck = 1;
  sender::SendOptions o = editor::EditorSendOptions(s);
  EXPECT_EQ(o.signId, "07");
  EXPECT_TRUE(o.crcCheck);
  EXPECT_EQ(sender::EchoWaitTicks(o.crcWaitMs), 18);
  EXPECT_EQ(o.missingFileText, "File open error(File does not exist) !");
  EXPECT_EQ(o.emptyFileText, "Message file is empty !");
  EXPECT_TRUE(o.failureText.empty());
  EXPECT_FALSE(o.idleAfterEachRecord);
  EXPECT_EQ(editor::SendFailureText("CRC error"), "Sended Failure (CRC error)!");
  s.signId = 0;
  EXPECT_EQ(editor::EditorSendOptions(s).signId, "00");
}

}  // namespace
