// A system library loaded when it is first needed rather than when the
// program starts. Some libraries cost every process that loads them a few
// milliseconds (the zip library brings a cryptography library with it);
// a program that reads a CSV file need not pay for them.
#pragma once

#include <string>

#include "platform/expected.h"

namespace zephrin {

class SharedLibrary {
 public:
  // Loads the library of that file name (its soname, looked up as the
  // system looks up the libraries a program needs). The library stays
  // loaded for the rest of the run.
  static Expected<SharedLibrary> Open(const std::string& soname);

  // The address of the function `name` in it, as `F`; an error when the
  // library has no such function.
  template <class F>
  Expected<F> Function(const char* name) const {
    void* at = Address(name);
    if (at == nullptr) return MissingFunction(name);
    return reinterpret_cast<F>(at);
  }

 private:
  explicit SharedLibrary(void* handle, std::string soname) : m_handle(handle), m_soname(std::move(soname)) {}
  void* Address(const char* name) const;
  Error MissingFunction(const char* name) const;

  void* m_handle;
  std::string m_soname;
};

}  // namespace zephrin
