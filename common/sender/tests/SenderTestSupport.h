#pragma once
// What the sender tests share: one QCoreApplication, command files laid out by
// hand, and a send run to its end with the event loop turning.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "TestBytes.h"
#include "sender/SendThrd.h"
#include "testsupport/TempDir.h"

namespace sendertest {

inline QCoreApplication& App() {
  static int argc = 1;
  static char name[] = "sender_tests";
  static char* argv[] = {name, nullptr};
  static QCoreApplication* app = QCoreApplication::instance() ? QCoreApplication::instance()
                                                              : new QCoreApplication(argc, argv);
  return *app;
}

using testsupport::TempDir;

// A record of `text` with its CRC computed by the tests' own bitwise routine
// over the bytes between the first and the last.
inline std::vector<std::uint8_t> Rec(const std::string& text) {
  std::uint16_t crc = text.size() < 3 ? 0 : testbytes::BitwiseCrc(text.substr(1, text.size() - 2));
  return testbytes::Record(text, crc);
}

inline std::vector<std::uint8_t> FileOf(const std::vector<std::string>& texts) {
  std::vector<std::uint8_t> v;
  for (const auto& t : texts) {
    auto r = Rec(t);
    v.insert(v.end(), r.begin(), r.end());
  }
  return v;
}

class RecordingView : public sender::SendView {
 public:
  void ShowProgressBar(int percent) override { bars.push_back(percent); }
  void ShowProgressText(const std::string& text) override { texts.push_back(text); }
  std::vector<int> bars;
  std::vector<std::string> texts;
};

struct SendRun {
  bool result = false;
  bool ended = false;
  RecordingView view;
  std::string failureText;
};

// Runs one send with the event loop of this (GUI) thread turning; `during`
// runs on this thread once the thread has started.
inline SendRun RunSend(const std::string& path, sender::SendOptions options, sender::Link& link,
                       sender::ReplyBuffer& reply, std::function<void(sender::TSendThrd&)> during = {},
                       int timeoutMs = 20000) {
  App();
  SendRun run;
  QObject gui;
  sender::TSendThrd thread(path, std::move(options), link, reply, &gui, &run.view);
  QEventLoop loop;
  thread.Start([&] {
    run.ended = true;
    loop.quit();
  });
  if (during) QTimer::singleShot(0, &gui, [&] { during(thread); });
  QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
  loop.exec();
  thread.Terminate();
  thread.WaitFor();
  run.result = thread.Result();
  run.failureText = thread.FailureText();
  return run;
}

}  // namespace sendertest
