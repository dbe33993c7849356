// signsim: the simulated sign, by hand or from scripts.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>

#include "signsim/SignSim.h"
#include "toolmain/ToolMain.h"

namespace {

void Usage() {
  std::fprintf(stderr,
               "usage: signsim [--pty-link PATH] [--tcp PORT] [--log FILE] [--script ANSWERS] [--drop-after N]\n"
               "               [--silence MS] [--framing braces|silence]\n"
               "  --pty-link PATH   open a pseudo-terminal and make PATH a symlink to its slave\n"
               "  --tcp PORT        listen on 127.0.0.1:PORT (0 picks a free port)\n"
               "  --log FILE        append every record, with a time stamp, to FILE\n"
               "  --script ANSWERS  answers to give, e.g. \"0,1*2,-,0@300,0|K~50,auto\"; then automatic\n"
               "                    ('0' for a right CRC, '1' for a wrong one)\n"
               "  --drop-after N    close each TCP connection after N records\n"
               "  --silence MS      quiet time that ends a record (default 100)\n"
               "  --framing MODE    braces (default) or silence\n"
               "Without --pty-link or --tcp a pseudo-terminal is opened and its path printed.\n");
}

long Number(const char* text, long lo, long hi) {
  char* end = nullptr;
  long v = std::strtol(text, &end, 10);
  if (!end || *end || end == text || v < lo || v > hi) {
    std::fprintf(stderr, "signsim: bad number %s\n", text);
    std::exit(2);
  }
  return v;
}

}  // namespace

int main(int argc, char** argv) {
  std::string link, script;
  long tcp = -1, dropAfter = 0;
  bool pty = false;
  signsim::SignOptions options;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&] { return toolmain::OptionValue(i, argc, argv, Usage); };
    if (a == "--pty-link") {
      link = value();
      pty = true;
    } else if (a == "--tcp") {
      tcp = Number(value(), 0, 65535);
    } else if (a == "--log") {
      options.logFile = value();
    } else if (a == "--script") {
      script = value();
    } else if (a == "--drop-after") {
      dropAfter = Number(value(), 0, 1000000);
    } else if (a == "--silence") {
      options.silence = signsim::milliseconds{Number(value(), 1, 60000)};
    } else if (a == "--framing") {
      std::string m = value();
      if (m == "braces") options.framing = signsim::Framing::Braces;
      else if (m == "silence") options.framing = signsim::Framing::Silence;
      else {
        Usage();
        return 2;
      }
    } else if (a == "-h" || a == "--help") {
      Usage();
      return 0;
    } else {
      Usage();
      return 2;
    }
  }
  if (!pty && tcp < 0) pty = true;

  toolmain::StopSignals stopSignals;

  try {
    signsim::SignSim sign(options);
    sign.SetScript(script);
    sign.SetDropAfter(static_cast<int>(dropAfter));
    // The port first: a sign that cannot listen ends before its link would
    // replace the one another sign made.
    std::uint16_t port = 0;
    if (tcp >= 0) port = sign.StartTcp(static_cast<std::uint16_t>(tcp));
    if (pty) {
      std::string slave = sign.StartPty(link);
      std::printf("signsim: pty %s%s%s\n", slave.c_str(), link.empty() ? "" : " linked from ", link.c_str());
    }
    if (tcp >= 0) std::printf("signsim: tcp 127.0.0.1:%u\n", static_cast<unsigned>(port));
    std::fflush(stdout);
    stopSignals.Wait();
    sign.Stop();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "signsim: %s\n", e.what());
    return 1;
  }
  return 0;
}
