# Cross-compiling for 64-bit Windows with Debian's mingw-w64 (posix thread model, so std::thread
# and pthreads come from winpthreads). Everything links statically against the toolchain's own
# runtime libraries, so no toolchain DLL ships beside ours.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(PORTOLAN_MINGW_PREFIX x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${PORTOLAN_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PORTOLAN_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${PORTOLAN_MINGW_PREFIX}-windres)
set(CMAKE_AR ${PORTOLAN_MINGW_PREFIX}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${PORTOLAN_MINGW_PREFIX}-ranlib CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${PORTOLAN_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

# Tests run under Wine in a private prefix of the build tree.
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/wine-run")
