// What desktop backends share and a phone's would not: the program's folder, and the user's
// documents folder as the Linux desktop names it.
#pragma once

#include <string>

// Where a desktop program's resources are: beside the executable (a build tree), or, once
// installed, in <prefix>/share/<program> beside <prefix>/bin/<Program>: the first that holds
// the reserved picture.
std::string desktop_bundle_dir(void);
// XDG_DOCUMENTS_DIR from the environment or from the user's user-dirs.dirs, else ~/Documents.
std::string desktop_documents_dir(void);
