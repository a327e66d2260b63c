#include "device/windows/Win32DeviceCalls.h"

namespace {

// Loads one exported function into its table entry, keeping the entry's exact type.
template <typename Function>
void Load(HMODULE module, const char* name, Function& entry) {
    entry = module != nullptr ? reinterpret_cast<Function>(
                                    reinterpret_cast<void*>(GetProcAddress(module, name)))
                              : nullptr;
}

}  // namespace

bool Win32DeviceCalls::Complete() const {
    return SetupDiGetClassDevsA && SetupDiEnumDeviceInterfaces &&
           SetupDiGetDeviceInterfaceDetailA && SetupDiDestroyDeviceInfoList && GetLastError &&
           CreateFileA && DeviceIoControl && CloseHandle && LocalAlloc && LocalFree;
}

Win32DeviceCalls LoadSystemWin32DeviceCalls() {
    Win32DeviceCalls calls;
    // Only the system's own setupapi.dll, never one planted beside the program or in the
    // working folder. It stays loaded for the life of the process, like the table.
    const HMODULE setupapi = LoadLibraryExA("setupapi.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    const HMODULE kernel = GetModuleHandleA("kernel32.dll");
    Load(setupapi, "SetupDiGetClassDevsA", calls.SetupDiGetClassDevsA);
    Load(setupapi, "SetupDiEnumDeviceInterfaces", calls.SetupDiEnumDeviceInterfaces);
    Load(setupapi, "SetupDiGetDeviceInterfaceDetailA", calls.SetupDiGetDeviceInterfaceDetailA);
    Load(setupapi, "SetupDiDestroyDeviceInfoList", calls.SetupDiDestroyDeviceInfoList);
    Load(kernel, "GetLastError", calls.GetLastError);
    Load(kernel, "CreateFileA", calls.CreateFileA);
    Load(kernel, "DeviceIoControl", calls.DeviceIoControl);
    Load(kernel, "CloseHandle", calls.CloseHandle);
    Load(kernel, "LocalAlloc", calls.LocalAlloc);
    Load(kernel, "LocalFree", calls.LocalFree);
    return calls;
}
