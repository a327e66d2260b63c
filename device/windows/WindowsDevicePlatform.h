#pragma once
// The tool's two Windows drivers (the audio driver and the generic USB driver), reached
// through SetupAPI and device I/O control, every call through a Win32DeviceCalls table.
//
// - ListInterfaces: SetupDiGetClassDevsA with DIGCF_PRESENT | DIGCF_DEVICEINTERFACE
//   (0x12) for the class; SetupDiEnumDeviceInterfaces at index 0, 1, 2, ... until it
//   fails (ERROR_NO_MORE_ITEMS past the end); for each interface
//   SetupDiGetDeviceInterfaceDetailA twice, once to learn the record's size and once to
//   fetch the device path; SetupDiDestroyDeviceInfoList at the end. An interface whose
//   record cannot be fetched is skipped. No list: false.
// - Open: CreateFileA for reading and writing, sharing reading and writing, existing file
//   only, no flags (so every call is synchronous).
// - IoControl: one synchronous DeviceIoControl. A kernel-streaming property request is
//   handed to the driver in a zero-filled block from LocalAlloc, released with LocalFree
//   after the call. LastReturnedSize is the driver's byte count.
// - Close: CloseHandle.
//
// Time-outs are the drivers' own: a synchronous call on a handle opened without
// overlapped I/O cannot be bounded from here.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "device/DevicePlatform.h"
#include "device/windows/Win32DeviceCalls.h"

class WindowsDevicePlatform final : public DevicePlatform {
public:
    // DIGCF_PRESENT | DIGCF_DEVICEINTERFACE: interfaces of devices that are present now.
    static constexpr DWORD kListFlags = 0x12;

    explicit WindowsDevicePlatform(const Win32DeviceCalls& calls);

    bool ListInterfaces(const Guid& interfaceClass, std::vector<std::string>& paths) override;
    DeviceHandle Open(const std::string& path) override;
    bool IoControl(DeviceHandle handle, uint32_t code, const uint8_t* input, size_t inputSize,
                   uint8_t* output, size_t outputSize) override;
    void Close(DeviceHandle handle) override;

    IoFailure LastIoFailure() const override { return lastIoFailure_; }
    size_t LastReturnedSize() const override { return lastReturned_; }
    bool LastOpenDenied() const override { return lastOpenError_ == ERROR_ACCESS_DENIED; }

    // The Win32 error of the last failed Open or IoControl (0 after a success).
    DWORD LastOpenError() const { return lastOpenError_; }
    DWORD LastIoError() const { return lastIoError_; }

    // What a failed DeviceIoControl's error says about the device.
    static IoFailure FailureOf(DWORD error);

private:
    // The device path of the interface at `index`, fetched with the two detail calls.
    // False when the record cannot be fetched.
    bool InterfacePath(HDEVINFO list, SP_DEVICE_INTERFACE_DATA& interfaceData, std::string& path);
    // DeviceIoControl with a copy of `input` in a LocalAlloc block.
    bool CallWithLocalBlock(HANDLE device, uint32_t code, const uint8_t* input, DWORD inputSize,
                            uint8_t* output, DWORD outputSize, DWORD& returned);
    bool Fail(DWORD error);

    Win32DeviceCalls calls_;
    IoFailure lastIoFailure_ = IoFailure::Refused;
    size_t lastReturned_ = 0;
    DWORD lastOpenError_ = 0;
    DWORD lastIoError_ = 0;
};
