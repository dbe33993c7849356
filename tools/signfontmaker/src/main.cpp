// signfontmaker sample DIR   the sample sign fonts from Debian's fonts
// signfontmaker tagged DIR   the tagged test fonts
#include <cstring>
#include <exception>
#include <iostream>

#include "signfontmaker/SignFontMaker.h"

int main(int argc, char** argv) {
  if (argc != 3 || (std::strcmp(argv[1], "sample") != 0 && std::strcmp(argv[1], "tagged") != 0)) {
    std::cerr << "usage: signfontmaker sample DIR | signfontmaker tagged DIR\n";
    return 2;
  }
  try {
    if (std::strcmp(argv[1], "sample") == 0) {
      signfontmaker::WriteSampleFonts(argv[2]);
    } else {
      signfontmaker::WriteTaggedFonts(argv[2]);
    }
  } catch (const std::exception& e) {
    std::cerr << "signfontmaker: " << e.what() << "\n";
    return 1;
  }
  std::cout << "signfontmaker: " << argv[1] << " fonts written to " << argv[2] << "\n";
  return 0;
}
