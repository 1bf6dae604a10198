// The two directories the engine is given: the bundle its pictures and clips come from, and the
// user's documents. Both kept without a trailing "/", as the engine adds its own.
#include <string>

#include "Engine/Platform/Core.h"

struct PathsState {
  std::string bundle;
  std::string documents;
};

static PathsState g;

static std::string without_trailing_slashes(std::string path) {
  while (!path.empty() && path.back() == '/') path.pop_back();
  return path;
}

void paths_start(const char* bundle_dir) {
  g.bundle = without_trailing_slashes(bundle_dir ? std::string(bundle_dir) : backend_executable_dir());
  g.documents = without_trailing_slashes(backend_documents_dir());
}

void paths_stop(void) { g = PathsState{}; }

std::string paths_in_bundle(const char* name) { return g.bundle + "/" + name; }

const char* plat_bundle_path(void) { return g.bundle.c_str(); }

const char* plat_documents_path(void) { return g.documents.c_str(); }
