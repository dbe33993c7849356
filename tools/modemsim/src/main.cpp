// modemsim: the simulated Hayes modem with a simulated sign behind it.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "modemsim/ModemSim.h"
#include "toolmain/ToolMain.h"

namespace {

void Usage() {
  std::fprintf(stderr,
               "usage: modemsim [--pty-link PATH] [--log FILE] [--dial OUTCOMES] [--guard MS] [--split]\n"
               "                [--sign-script ANSWERS] [--sign-log FILE]\n"
               "  --pty-link PATH       make PATH a symlink to the modem's pseudo-terminal\n"
               "  --log FILE            append every command line and reply to FILE\n"
               "  --dial OUTCOMES       one outcome per dial, e.g. \"BUSY,CONNECT 9600@300,-\"\n"
               "                        (- is silence); then \"CONNECT 9600\"\n"
               "  --guard MS            \"+++\" guard time (default 1000)\n"
               "  --split               write every reply byte by byte\n"
               "  --sign-script ANSWERS answers of the sign behind the modem (as signsim --script)\n"
               "  --sign-log FILE       the sign's record log\n");
}

}  // namespace

int main(int argc, char** argv) {
  std::string link, dial, signScript;
  modemsim::ModemOptions options;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&] { return toolmain::OptionValue(i, argc, argv, Usage); };
    if (a == "--pty-link") link = value();
    else if (a == "--log") options.logFile = value();
    else if (a == "--dial") dial = value();
    else if (a == "--guard") options.guard = modemsim::milliseconds{std::atol(value())};
    else if (a == "--split") options.splitReplies = true;
    else if (a == "--sign-script") signScript = value();
    else if (a == "--sign-log") options.sign.logFile = value();
    else if (a == "-h" || a == "--help") {
      Usage();
      return 0;
    } else {
      Usage();
      return 2;
    }
  }
  toolmain::StopSignals stopSignals;
  try {
    modemsim::ModemSim modem(options);
    modem.SetDialScript(dial);
    modem.Sign().SetScript(signScript);
    std::string slave = modem.Start(link);
    std::printf("modemsim: pty %s%s%s\n", slave.c_str(), link.empty() ? "" : " linked from ", link.c_str());
    std::fflush(stdout);
    stopSignals.Wait();
    modem.Stop();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "modemsim: %s\n", e.what());
    return 1;
  }
  return 0;
}
