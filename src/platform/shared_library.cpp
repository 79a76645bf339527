#include "platform/shared_library.h"

#include <dlfcn.h>

namespace zephrin {

Expected<SharedLibrary> SharedLibrary::Open(const std::string& soname) {
  // Its own symbols stay its own (RTLD_LOCAL), and every one is bound now,
  // so that a missing one is found here and not in the middle of a read.
  void* handle = ::dlopen(soname.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* why = ::dlerror();
    return Error{ErrorCode::kNotFound, soname + " cannot be loaded (" + std::string(why ? why : "not found") + ")"};
  }
  return SharedLibrary(handle, soname);
}

void* SharedLibrary::Address(const char* name) const { return ::dlsym(m_handle, name); }

Error SharedLibrary::MissingFunction(const char* name) const {
  return Error{ErrorCode::kInternal, m_soname + " has no function " + name};
}

}  // namespace zephrin
