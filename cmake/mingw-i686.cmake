# 32-bit Windows build with Debian's mingw-w64 cross compiler. The posix
# thread model is the one whose C++ runtime has std::mutex and std::thread.
# Everything is linked statically, so the DLL and the test programs import
# only the system's own DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(KYN_MINGW_TRIPLET i686-w64-mingw32)
set(CMAKE_C_COMPILER ${KYN_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KYN_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${KYN_MINGW_TRIPLET}-windres)

# The cross build's libraries (libyaml, libwebm, GoogleTest) are installed
# into a prefix of the build folder, handed over as KYN_WIN32_PREFIX.
if(KYN_WIN32_PREFIX)
  list(APPEND CMAKE_FIND_ROOT_PATH ${KYN_WIN32_PREFIX})
  list(APPEND CMAKE_PREFIX_PATH ${KYN_WIN32_PREFIX})
endif()
list(APPEND CMAKE_FIND_ROOT_PATH /usr/${KYN_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")
# A release DLL ships without its symbol table (about half its size).
set(CMAKE_MODULE_LINKER_FLAGS_RELEASE_INIT "-s")

# Test programs run under Wine, through the project's wrapper (its own
# prefix, no debug output).
get_filename_component(KYN_SOURCE_ROOT ${CMAKE_CURRENT_LIST_DIR} DIRECTORY)
set(CMAKE_CROSSCOMPILING_EMULATOR ${KYN_SOURCE_ROOT}/scripts/wine-run)
