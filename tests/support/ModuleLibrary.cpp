#include "support/ModuleLibrary.h"

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "platform/win32/WideText.h"
#else
#include <dlfcn.h>
#endif

namespace TestSupport {

#if defined(_WIN32)

void* OpenModule(const std::string& path) {
  return reinterpret_cast<void*>(LoadLibraryW(Corvan::Platform::Wide(path).c_str()));
}

void* ModuleSymbol(void* module, const char* name) {
  if (module == nullptr) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

std::string ModuleError() { return "system error " + std::to_string(GetLastError()); }

#else

void* OpenModule(const std::string& path) { return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL); }

void* ModuleSymbol(void* module, const char* name) {
  return module != nullptr ? dlsym(module, name) : nullptr;
}

std::string ModuleError() {
  const char* error = dlerror();
  return error != nullptr ? error : "";
}

#endif

}  // namespace TestSupport
