# Cross-build for 64-bit Windows with Debian's mingw-w64 (g++-mingw-w64-x86-64-posix):
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DKX470_QT=OFF
# The posix threads variant of the compiler is the one with std::thread and std::mutex.
# Programs are linked statically, so that they run without the compiler's DLLs beside them
# (under Wine as on a Windows machine). The tests run under Wine through
# tests/windows/run_under_wine.sh.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KX470_MINGW_TRIPLE x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${KX470_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KX470_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${KX470_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${KX470_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
