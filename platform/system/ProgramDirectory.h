#pragma once
// The directory of the running program and the files in it. A terminal's files sit
// beside the host program that runs it; a reference host or a test that runs a terminal
// kept elsewhere points this at that folder, as if the program ran from there. One
// value per process (this library is shared by every part of it).

#include "PlatformSystemExport.h"

#include <QString>

namespace platform {

// The directory of the running executable, without a trailing separator, unless
// setProgramDirectory named another.
PLATFORM_SYSTEM_EXPORT QString programDirectory();

// Makes programDirectory() answer `dir` (made absolute); "" goes back to the executable's
// own directory.
PLATFORM_SYSTEM_EXPORT void setProgramDirectory(const QString& dir);

// The existing file or directory `relativePath` under `dir`, each part matched without
// regard to letter case when the exact name is absent (terminal folders copied from
// Windows); '\\' and '/' both separate parts. Several names differing only in case: the
// first in name order. Returns the real path, or "" when absent.
PLATFORM_SYSTEM_EXPORT QString findFileIgnoringCase(const QString& dir, const QString& relativePath);

}  // namespace platform
