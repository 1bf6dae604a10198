// The asset generator: draws every picture the program shows, into the bundle folder given
// on the command line. Run by the build.
#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "Tools/Media/Media.h"

static bool MakeDir(const std::string& path) {
  return mkdir(path.c_str(), 0755) == 0 || errno == EEXIST;
}

// The picture shown where a picture is missing: plain red, so that a gap is easy to spot.
static bool WriteEmptyRed(const std::string& bundle) {
  const int size = 32;
  std::vector<uint8_t> rgba(size * size * 4);
  for (size_t i = 0; i < rgba.size(); i += 4) {
    rgba[i] = 220;
    rgba[i + 1] = 30;
    rgba[i + 2] = 30;
    rgba[i + 3] = 255;
  }
  return MakeDir(bundle + "/Images") &&
         WritePng((bundle + "/Images/EmptyRed.png").c_str(), size, size, rgba.data());
}

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: AssetGen BUNDLE_DIR\n");
    return 2;
  }
  std::string bundle = argv[1];
  if (!MakeDir(bundle) || !WriteEmptyRed(bundle)) {
    fprintf(stderr, "AssetGen: cannot write into %s\n", bundle.c_str());
    return 1;
  }
  return 0;
}
