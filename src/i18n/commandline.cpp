#include "commandline.h"

#include <cstring>
#include <initializer_list>

bool AsksForHelpOrVersion(int argc, const char* const argv[]) {
  for (int i = 1; i < argc; ++i) {
    const char* a = argv[i];
    if (std::strcmp(a, "--") == 0) {
      return false;
    }
    for (const char* flag : {"-h", "-?", "--help", "--help-all", "-v", "--version"}) {
      if (std::strcmp(a, flag) == 0) {
        return true;
      }
    }
  }
  return false;
}
