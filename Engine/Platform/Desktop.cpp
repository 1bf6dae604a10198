// The desktop's folders: the executable's, and the user's documents folder as the desktop
// names it. Nothing here creates a folder.
#include "Engine/Platform/Desktop.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>

#include "Engine/Limits.h"

static std::string home_directory() {
  const char* home = getenv("HOME");
  if (home && *home) return home;
  const passwd* pw = getpwuid(getuid());
  return pw && pw->pw_dir ? pw->pw_dir : "";
}

static std::string executable_path() {
  std::string path(4096, '\0');
  ssize_t n = readlink("/proc/self/exe", path.data(), path.size());
  if (n <= 0 || static_cast<size_t>(n) >= path.size()) return "";
  path.resize(static_cast<size_t>(n));
  return path;
}

static bool holds_reserved_picture(const std::string& dir) {
  return access((dir + "/" + kReservedPicture).c_str(), R_OK) == 0;
}

std::string desktop_bundle_dir(void) {
  std::string exe = executable_path();
  size_t slash = exe.rfind('/');
  if (slash == std::string::npos) return ".";
  std::string dir = exe.substr(0, slash), name = exe.substr(slash + 1);
  if (holds_reserved_picture(dir)) return dir;
  std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
  size_t up = dir.rfind('/');
  std::string installed = (up == std::string::npos ? "." : dir.substr(0, up)) + "/share/" + name;
  return holds_reserved_picture(installed) ? installed : dir;
}

std::string desktop_documents_dir(void) {
  std::string home = home_directory();
  const char* env = getenv("XDG_DOCUMENTS_DIR");
  if (env && *env) return env;
  const char* config = getenv("XDG_CONFIG_HOME");
  std::string dirs = (config && *config ? std::string(config) : home + "/.config") + "/user-dirs.dirs";
  std::ifstream file(dirs);
  std::string line;
  const std::string key = "XDG_DOCUMENTS_DIR=\"";
  while (std::getline(file, line)) {
    if (line.compare(0, key.size(), key) != 0) continue;
    size_t end = line.find('"', key.size());
    if (end == std::string::npos) break;
    std::string value = line.substr(key.size(), end - key.size());
    if (value.compare(0, 5, "$HOME") == 0) value = home + value.substr(5);
    if (!value.empty() && value[0] == '/') return value;
    break;
  }
  return home + "/Documents";
}
