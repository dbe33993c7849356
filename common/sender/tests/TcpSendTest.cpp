// Whole sends over a real loopback socket to the simulated sign.
#include <gtest/gtest.h>

#include <QTcpSocket>

#include <chrono>

#include "SenderTestSupport.h"
#include "platform/MessageBoxes.h"
#include "sender/TcpLink.h"
#include "signsim/SignSim.h"
#include "testsupport/HostilePaths.h"

namespace {

using namespace std::chrono;
using namespace sendertest;

class TcpSend : public ::testing::Test {
 protected:
  void SetUp() override {
    App();
    port_ = sim_.StartTcp(0);
    socket_.connectToHost("127.0.0.1", port_);
    ASSERT_TRUE(socket_.waitForConnected(3000));
  }
  void TearDown() override {
    socket_.abort();
    sim_.Stop();
  }
  static sender::SendOptions Crc(const std::string& id = "07", int waitMs = 1000) {
    sender::SendOptions o;
    o.crcCheck = true;
    o.signId = id;
    o.crcWaitMs = waitMs;
    return o;
  }
  // Texts of the records the sign saw, in order.
  std::vector<std::string> Seen() const {
    std::vector<std::string> texts;
    for (const auto& e : sim_.Records()) texts.push_back(e.text);
    return texts;
  }

  signsim::SignSim sim_;
  std::uint16_t port_ = 0;
  QTcpSocket socket_;
  sender::ReplyBuffer reply_;
  sender::TcpLink link_{socket_, reply_};
  TempDir dir_;
  platform::ScopedRecordingBoxes boxes_;
};

TEST_F(TcpSend, AnswerScripts) {
  struct Case {
    const char* name;
    const char* script;
    sender::SendOptions options;
    bool result;
    std::vector<std::string> seen;
    int beeps;
  };
  sender::SendOptions off;  // CRC checking off
  const std::vector<Case> cases = {
      {"all accepted", "0,0,0", Crc(), true, {"{A}", "{B}", "{C}"}, 0},
      {"refused three times", "1,1,1", Crc(), false, {"{A}", "{A}", "{A}"}, 1},
      {"accepted at the third", "1,1,0,0,0", Crc(), true, {"{A}", "{A}", "{A}", "{B}", "{C}"}, 0},
      {"CRC off", "1,1,1", off, true, {"{A}", "{B}", "{C}"}, 0},
      {"ID 00", "1,1,1", Crc("00"), true, {"{A}", "{B}", "{C}"}, 0},
      {"refused with other code", "5,2,9", Crc(), false, {"{A}", "{A}", "{A}"}, 1},
      // The first character of what has arrived decides; the late '0' is cleared.
      {"split answer", "1|0~50,1|0~50,1|0~50", Crc(), false, {"{A}", "{A}", "{A}"}, 1},
      {"split accepted", "0|1~50,0|1~50,0|1~50", Crc(), true, {"{A}", "{B}", "{C}"}, 0},
  };
  std::string path = dir_.Write("abc.msg", FileOf({"{A}", "{B}", "{C}"}));
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    sim_.Core().ClearLog();
    sim_.SetScript(c.script);
    boxes_->Clear();
    SendRun run = RunSend(path, c.options, link_, reply_);
    EXPECT_TRUE(run.ended);
    EXPECT_EQ(run.result, c.result);
    // Give answers and trailing records time to land before looking.
    sim_.WaitForRecords(c.seen.size() + 1, milliseconds(300));
    EXPECT_EQ(Seen(), c.seen);
    EXPECT_EQ(boxes_->Beeps(), c.beeps);
    EXPECT_TRUE(boxes_->Texts().empty());
  }
}

TEST_F(TcpSend, ProgressCountsLengthWordsAndReachesTheTotal) {
  // Records of 5, 6 and 7 bytes after their length words: 7 + 8 + 9 = 24 bytes.
  std::string path = dir_.Write("p.msg", FileOf({"{E}", "{CA}", "{Z12}"}));
  sim_.SetScript("0,0,0");
  SendRun run = RunSend(path, Crc(), link_, reply_);
  ASSERT_TRUE(run.result);
  EXPECT_EQ(run.view.texts, (std::vector<std::string>{"[0007/0024]", "[0015/0024]", "[0024/0024]"}));
  EXPECT_EQ(run.view.bars, (std::vector<int>{29, 62, 100}));
}

TEST_F(TcpSend, BytesOnTheWireAreTextAndCrcWithoutLengthWord) {
  std::string path = dir_.Write("e.msg", testbytes::Bytes({0x05, 0x00, 0x7B, 0x45, 0x7D, 0x18, 0x61}));
  SendRun run = RunSend(path, {}, link_, reply_);
  ASSERT_TRUE(run.result);
  ASSERT_TRUE(sim_.WaitForRecords(1, milliseconds(2000)));
  auto r = sim_.Records();
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].raw, std::string("\x7B\x45\x7D\x18\x61"));
  EXPECT_TRUE(r[0].crcOk);
}

TEST_F(TcpSend, SilenceRetriesAtLeast150msApart) {
  sim_.SetScript("-,-,-");
  std::string path = dir_.Write("s.msg", FileOf({"{A}", "{B}"}));
  SendRun run = RunSend(path, Crc("07", 100), link_, reply_);
  EXPECT_FALSE(run.result);
  EXPECT_EQ(run.failureText, "no respond");
  auto r = sim_.Records();
  ASSERT_EQ(r.size(), 3u);
  for (std::size_t i = 1; i < r.size(); ++i) {
    EXPECT_GE(r[i].firstByte - r[i - 1].lastByte, milliseconds(150 + 100)) << i;  // pause plus the echo wait
  }
}

TEST_F(TcpSend, MissingAndEmptyFilesGiveTheirMessages) {
  std::string missing = dir_.path() + "/none.msg";
  SendRun a = RunSend(missing, Crc(), link_, reply_);
  EXPECT_FALSE(a.result);
  std::string empty = dir_.Write("empty.msg", {});
  SendRun b = RunSend(empty, Crc(), link_, reply_);
  EXPECT_FALSE(b.result);
  EXPECT_EQ(boxes_->Texts(),
            (std::vector<std::string>{"File open error(" + missing + " does not exist) !!", "Message file is empty !!"}));
  EXPECT_TRUE(sim_.Records().empty());
}

TEST_F(TcpSend, PathThatIsNoRegularFileIsRefusedAtOnce) {
  for (testsupport::HostileKind kind : testsupport::AllHostileKinds()) {
    SCOPED_TRACE(testsupport::HostileKindName(kind));
    boxes_->Clear();
    const std::string path = dir_.File(std::string("hostile") + std::to_string(static_cast<int>(kind)) + ".msg");
    const auto fifo = testsupport::MakeHostilePath(kind, path);
    SendRun run = RunSend(path, Crc(), link_, reply_);
    EXPECT_FALSE(run.result);
    EXPECT_EQ(boxes_->Texts(),
              (std::vector<std::string>{path + " is not a valid message file!\n" + path + ": is not a regular file"}));
    if (fifo) {
      EXPECT_FALSE(fifo->Released()) << "the send waited for a writer";
    }
  }
  EXPECT_TRUE(sim_.Records().empty());
}

TEST_F(TcpSend, EditorTextsForMissingAndEmptyFiles) {
  sender::SendOptions o;
  o.missingFileText = "File open error(File does not exist) !";
  o.emptyFileText = "Message file is empty !";
  EXPECT_FALSE(RunSend(dir_.path() + "/none.msg", o, link_, reply_).result);
  EXPECT_FALSE(RunSend(dir_.Write("empty.msg", {}), o, link_, reply_).result);
  EXPECT_EQ(boxes_->Texts(),
            (std::vector<std::string>{"File open error(File does not exist) !", "Message file is empty !"}));
}

TEST_F(TcpSend, DamagedFileFailsAndSendsNothing) {
  auto whole = FileOf({"{A}", "{B}"});
  auto cut = whole;
  cut.pop_back();  // the last record loses its CRC low byte
  auto shortLength = FileOf({"{A}"});
  auto bad = testbytes::Bytes({0x01, 0x00, 0x7B});  // length word 1
  shortLength.insert(shortLength.end(), bad.begin(), bad.end());
  for (const auto& bytes : {cut, shortLength}) {
    boxes_->Clear();
    SendRun run = RunSend(dir_.Write("bad.msg", bytes), {}, link_, reply_);
    EXPECT_FALSE(run.result);
    EXPECT_EQ(boxes_->Beeps(), 1);
  }
  EXPECT_FALSE(sim_.WaitForRecords(1, milliseconds(300)));
}

TEST_F(TcpSend, UnconnectedSocketFailsTheRecord) {
  socket_.abort();
  SendRun run = RunSend(dir_.Write("a.msg", FileOf({"{A}", "{B}"})), {}, link_, reply_);
  EXPECT_FALSE(run.result);
  EXPECT_EQ(boxes_->Beeps(), 1);
}

TEST_F(TcpSend, DroppedConnectionFailsTheSend) {
  // A fresh connection that the sign closes after its second record.
  socket_.abort();
  sim_.SetDropAfter(2);
  socket_.connectToHost("127.0.0.1", port_);
  ASSERT_TRUE(socket_.waitForConnected(3000));
  SendRun run = RunSend(dir_.Write("d.msg", FileOf({"{A}", "{B}", "{C}", "{D}"})), {}, link_, reply_);
  EXPECT_FALSE(run.result);
  EXPECT_EQ(Seen(), (std::vector<std::string>{"{A}", "{B}"}));
}

TEST_F(TcpSend, StopEndsAWaitingSendPromptly) {
  sim_.SetScript("-");
  auto start = steady_clock::now();
  SendRun run = RunSend(dir_.Write("w.msg", FileOf({"{A}"})), Crc("07", 10000), link_, reply_,
                        [](sender::TSendThrd& t) {
                          QTimer::singleShot(400, [&t] { t.Terminate(); });
                        });
  EXPECT_TRUE(run.ended);
  EXPECT_FALSE(run.result);
  EXPECT_LT(steady_clock::now() - start, seconds(3));
  EXPECT_EQ(boxes_->Beeps(), 0);
}

TEST_F(TcpSend, ExceptionInTheThreadFailsWithBeep) {
  class ThrowingView : public sender::SendView {
   public:
    void ShowProgressBar(int) override {}
    void ShowProgressText(const std::string&) override { throw std::runtime_error("label gone"); }
  } view;
  QObject gui;
  sender::TSendThrd thread(dir_.Write("x.msg", FileOf({"{A}"})), {}, link_, reply_, &gui, &view);
  QEventLoop loop;
  thread.Start([&] { loop.quit(); });
  QTimer::singleShot(10000, &loop, &QEventLoop::quit);
  loop.exec();
  thread.WaitFor();
  EXPECT_TRUE(thread.Finished());
  EXPECT_FALSE(thread.Result());
  EXPECT_EQ(boxes_->Beeps(), 1);
}

TEST_F(TcpSend, EditorFailureBoxNamesTheReason) {
  sender::SendOptions o = Crc("05");
  std::vector<std::string> shown;
  o.failureBox = [&](const std::string& reason) { shown.push_back("Sended Failure (" + reason + ")!"); };
  sim_.SetScript("1,1,1");
  SendRun run = RunSend(dir_.Write("f.msg", FileOf({"{A}", "{B}"})), o, link_, reply_);
  EXPECT_FALSE(run.result);
  EXPECT_EQ(shown, (std::vector<std::string>{"Sended Failure (CRC error)!"}));
}

}  // namespace
