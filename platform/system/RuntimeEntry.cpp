#include "platform/system/RuntimeEntry.h"

#include <dlfcn.h>

namespace platform {

void* findRuntimeEntry(const char* name)
{
    return name ? dlsym(RTLD_DEFAULT, name) : nullptr;
}

}  // namespace platform
