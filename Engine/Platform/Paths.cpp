// The two directories the engine is given: the bundle its pictures and clips come from, and the
// user's documents. Both kept without a trailing "/", as the engine adds its own. No picture or
// clip is read from anywhere but the bundle: every path is resolved, links and ".." included,
// and refused unless it ends up inside the bundle's own folder.
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <string>

#include "Engine/Platform/Core.h"

namespace {
struct PathsState {
  std::string bundle;
  std::string documents;
  std::string real_bundle;  // the bundle with every link resolved; empty if it does not exist
};
}  // namespace

static PathsState g;

static std::string without_trailing_slashes(std::string path) {
  while (!path.empty() && path.back() == '/') path.pop_back();
  return path;
}

static std::string resolved(const std::string& path) {
  char real[PATH_MAX];
  return realpath(path.c_str(), real) ? std::string(real) : std::string();
}

// A folder given relative to the working directory, made full, so that PathApp names it
// wherever it is used.
static std::string absolute(const std::string& path) {
  if (path.empty() || path[0] == '/') return path;
  char cwd[PATH_MAX];
  return getcwd(cwd, sizeof cwd) ? std::string(cwd) + "/" + path : path;
}

void paths_start(const char* bundle_dir) {
  g.bundle = without_trailing_slashes(absolute(bundle_dir ? std::string(bundle_dir) : backend_bundle_dir()));
  g.documents = without_trailing_slashes(backend_documents_dir());
  g.real_bundle = resolved(g.bundle.empty() ? "/" : g.bundle);
}

void paths_stop(void) { g = PathsState{}; }

std::string paths_in_bundle(const char* path) {
  if (!path || !*path || g.real_bundle.empty()) return "";
  std::string full = path[0] == '/' ? std::string(path) : g.bundle + "/" + path;
  std::string real = resolved(full);
  const std::string& root = g.real_bundle;
  bool inside = real.size() > root.size() && real.compare(0, root.size(), root) == 0 &&
                (root == "/" || real[root.size()] == '/');
  return inside ? real : "";
}

const char* plat_bundle_path(void) { return g.bundle.c_str(); }

const char* plat_documents_path(void) { return g.documents.c_str(); }
