#pragma once
// What the Windows tests need to know about the system they run on.

#include <windows.h>

// Wine's ntdll exports its version; Windows' does not. Some things Wine does not do as
// Windows does (exclusive use of a port, the ports device class), and the tests say so.
inline bool RunningUnderWine() {
  const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}
