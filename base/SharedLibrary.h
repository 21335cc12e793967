#pragma once
// Opening a shared library when it is first needed, and finding its functions: each
// step gives the loader's reason when it fails, so that the caller can tell the user.
#include <string>

namespace base {

// Opens the library soname (resolved like a linked library) and keeps it open for the
// life of the process. Returns the handle, or nullptr with the reason in why.
void* OpenSharedLibrary(const std::string& soname, std::string& why);

// The address of the function name in the library opened as soname, or nullptr with the
// reason in why.
void* FindSharedFunction(void* library, const std::string& soname, const char* name, std::string& why);

}  // namespace base
