// The desktop's folders: the executable's, and the user's documents folder as the desktop
// names it. Nothing here creates a folder.
#include "Engine/Platform/Desktop.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

static std::string home_directory() {
  const char* home = getenv("HOME");
  if (home && *home) return home;
  const passwd* pw = getpwuid(getuid());
  return pw && pw->pw_dir ? pw->pw_dir : "";
}

std::string desktop_executable_dir(void) {
  std::string path(4096, '\0');
  ssize_t n = readlink("/proc/self/exe", path.data(), path.size());
  if (n <= 0 || static_cast<size_t>(n) >= path.size()) return ".";
  path.resize(static_cast<size_t>(n));
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : path.substr(0, slash + 1);
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
