// What desktop backends share and a phone's would not: the program's folder, and the user's
// documents folder as the Linux desktop names it.
#pragma once

#include <string>

std::string desktop_executable_dir(void);  // the folder of the running executable; "." if unknown
// XDG_DOCUMENTS_DIR from the environment or from the user's user-dirs.dirs, else ~/Documents.
std::string desktop_documents_dir(void);
