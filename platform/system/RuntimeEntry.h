#pragma once
// Entries of the libraries loaded in the process, looked up by name while the program
// runs, as a host finds a module's entries: what is absent is not linked against, so a
// library that lacks it still loads, and the caller goes without it.

#include "PlatformSystemExport.h"

namespace platform {

// The address of the global entry `name` (a C name: a function or a variable) in the
// program or any library loaded into its global scope; nullptr when none has it.
PLATFORM_SYSTEM_EXPORT void* findRuntimeEntry(const char* name);

}  // namespace platform
