// marvanex_samples DIR: the try-out folder's sample message files (DIR/messages)
// and its settings file pointing the controller at the simulated sign.
#include <cstdio>
#include <exception>
#include <filesystem>

#include "Samples.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s TRYOUT_DIR\n", argv[0]);
    return 2;
  }
  try {
    const std::string dir = argv[1];
    const std::string messages = dir + "/messages";
    std::filesystem::create_directories(messages);
    for (const std::string& path : ctlsamples::WriteSampleMessages(messages)) std::printf("wrote %s\n", path.c_str());
    ctlsamples::EnsureTryoutSettings(dir);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "marvanex_samples: %s\n", e.what());
    return 1;
  }
  return 0;
}
