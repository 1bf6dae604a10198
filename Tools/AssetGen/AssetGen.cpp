// The asset generator: draws every picture and synthesises every clip the soundboard uses,
// into the bundle folder. Run by the build; the same output on every run.
//
// usage: AssetGen BUNDLE_DIR FONT_DIR [ICON_DIR [WEB_DIR]]
//   ICON_DIR: the hicolor icons, for install; WEB_DIR: the web app's icons
#include <SDL.h>
#include <SDL_ttf.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "Tools/AssetGen/Clips.h"
#include "Tools/AssetGen/Pictures.h"
#include "Tools/Media/Media.h"

static bool MakeDir(const std::string& path) {
  return mkdir(path.c_str(), 0755) == 0 || errno == EEXIST;
}

static bool MakeDirs(const std::string& path) {  // and every folder above it
  for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1))
    if (!MakeDir(path.substr(0, slash))) return false;
  return MakeDir(path);
}

int main(int argc, char** argv) {
  if (argc < 3 || argc > 5) {
    fprintf(stderr, "usage: AssetGen BUNDLE_DIR FONT_DIR [ICON_DIR [WEB_DIR]]\n");
    return 2;
  }
  std::string bundle = argv[1], fonts = argv[2];
  if (TTF_Init() != 0) {
    fprintf(stderr, "AssetGen: cannot start the font renderer: %s\n", TTF_GetError());
    return 1;
  }
  int failures = 0;
  if (!MakeDir(bundle) || !MakeDir(bundle + "/Images")) {
    fprintf(stderr, "AssetGen: cannot make %s\n", bundle.c_str());
    return 1;
  }
  for (const Picture& picture : SoundboardPictures(fonts)) {
    if (!WritePicture(picture, bundle)) {
      fprintf(stderr, "AssetGen: cannot write %s\n", picture.file.c_str());
      failures++;
    }
  }
  if (argc == 5) {
    std::string web = argv[4];
    for (const Picture& icon : WebIconPictures(fonts)) {
      if (!MakeDirs(web) || !WritePicture(icon, web)) {
        fprintf(stderr, "AssetGen: cannot write %s\n", icon.file.c_str());
        failures++;
      }
    }
  }
  if (argc >= 4) {
    std::string icons = argv[3];
    for (const Picture& icon : IconPictures(fonts)) {
      std::string folder = icons + "/" + icon.file.substr(0, icon.file.rfind('/'));
      if (!MakeDirs(folder) || !WritePicture(icon, icons)) {
        fprintf(stderr, "AssetGen: cannot write %s\n", icon.file.c_str());
        failures++;
      }
    }
  }
  TTF_Quit();
  for (const Clip& clip : SoundboardClips()) {
    std::vector<short> samples = Master(clip.compose().samples());
    if (!WriteWav((bundle + "/" + clip.file).c_str(), kSynthRate, 1, samples.data(), samples.size())) {
      fprintf(stderr, "AssetGen: cannot write %s\n", clip.file.c_str());
      failures++;
    }
  }
  return failures ? 1 : 0;
}
