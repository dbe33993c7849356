// selvanex_samples DIR: the try-out folder's sample message (DIR/messages).
#include <cstdio>
#include <exception>
#include <filesystem>

#include "EditorSamples.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s TRYOUT_DIR\n", argv[0]);
    return 2;
  }
  try {
    const std::string messages = std::string(argv[1]) + "/messages";
    std::filesystem::create_directories(messages);
    const std::string path = editorsamples::WriteSampleMessage(messages);
    if (!path.empty()) std::printf("wrote %s\n", path.c_str());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "selvanex_samples: %s\n", e.what());
    return 1;
  }
  return 0;
}
