#include "base/SharedLibrary.h"

#include <dlfcn.h>

namespace base {

void* OpenSharedLibrary(const std::string& soname, std::string& why)
{
    void* library = dlopen(soname.c_str(), RTLD_LAZY | RTLD_LOCAL);
    if (!library) {
        const char* reason = dlerror();
        why = reason ? reason : soname + ": cannot be opened";
    }
    return library;
}

void* FindSharedFunction(void* library, const std::string& soname, const char* name, std::string& why)
{
    dlerror();
    void* address = dlsym(library, name);
    if (!address) {
        const char* reason = dlerror();
        why = reason ? reason : soname + ": no function " + name;
    }
    return address;
}

}  // namespace base
