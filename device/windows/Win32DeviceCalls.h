#pragma once
// The Win32 calls of the Windows device backend, as one table of function pointers.
//
// The backend calls the system only through this table, the way libusb's Windows backend
// loads each SetupAPI and kernel call into a pointer when it starts. The system's table
// is loaded from setupapi.dll and kernel32.dll; a test fills a table of its own to stand
// in for the drivers and the device list.

#include <windows.h>
#include <setupapi.h>

struct Win32DeviceCalls {
    // SetupAPI: the present interfaces of one interface class.
    HDEVINFO(WINAPI* SetupDiGetClassDevsA)(const GUID* classGuid, PCSTR enumerator, HWND parent,
                                           DWORD flags) = nullptr;
    BOOL(WINAPI* SetupDiEnumDeviceInterfaces)(HDEVINFO list, PSP_DEVINFO_DATA device,
                                              const GUID* classGuid, DWORD index,
                                              PSP_DEVICE_INTERFACE_DATA interfaceData) = nullptr;
    BOOL(WINAPI* SetupDiGetDeviceInterfaceDetailA)(HDEVINFO list,
                                                   PSP_DEVICE_INTERFACE_DATA interfaceData,
                                                   PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail,
                                                   DWORD detailSize, PDWORD requiredSize,
                                                   PSP_DEVINFO_DATA device) = nullptr;
    BOOL(WINAPI* SetupDiDestroyDeviceInfoList)(HDEVINFO list) = nullptr;

    // Kernel: the error of the previous call, the device handle and its I/O control.
    DWORD(WINAPI* GetLastError)() = nullptr;
    HANDLE(WINAPI* CreateFileA)(LPCSTR name, DWORD access, DWORD share,
                                LPSECURITY_ATTRIBUTES security, DWORD disposition,
                                DWORD flags, HANDLE templateFile) = nullptr;
    BOOL(WINAPI* DeviceIoControl)(HANDLE device, DWORD code, LPVOID input, DWORD inputSize,
                                  LPVOID output, DWORD outputSize, LPDWORD returned,
                                  LPOVERLAPPED overlapped) = nullptr;
    BOOL(WINAPI* CloseHandle)(HANDLE handle) = nullptr;
    // The kernel-streaming request block of each request.
    HLOCAL(WINAPI* LocalAlloc)(UINT flags, SIZE_T bytes) = nullptr;
    HLOCAL(WINAPI* LocalFree)(HLOCAL memory) = nullptr;

    // Whether every entry is filled in.
    bool Complete() const;
};

// The system's own functions, loaded by name from setupapi.dll and kernel32.dll. An entry
// that cannot be loaded stays null (Complete() then says false).
Win32DeviceCalls LoadSystemWin32DeviceCalls();
