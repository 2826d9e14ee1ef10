// Loading a module the way a host does, on Linux (dlopen) and Windows
// (LoadLibraryW). Modules stay loaded for the life of the test program: the
// C++ runtime inside a module keeps blocks until the process ends.
//
//   void* module = TestSupport::OpenModule(KYN_TEST_PLUGIN);
//   auto load = TestSupport::ModuleFunction<LoadFunction>(module, "load_kyn_highlights");
#pragma once

#include <string>

namespace TestSupport {

// The module at a UTF-8 path; null when it cannot be loaded.
void* OpenModule(const std::string& path);

// The address of an exported symbol; null when the module or symbol is missing.
void* ModuleSymbol(void* module, const char* name);

// Why the last OpenModule or ModuleSymbol failed, for a test's message.
std::string ModuleError();

template <class Function>
Function ModuleFunction(void* module, const char* name) {
  return reinterpret_cast<Function>(ModuleSymbol(module, name));
}

}  // namespace TestSupport
