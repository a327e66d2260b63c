#include "device/windows/WindowsDevicePlatform.h"

#include <climits>
#include <cstddef>
#include <cstring>
#include <new>

#include "device/DriverBlocks.h"

namespace {

GUID ToWin32Guid(const Guid& guid) {
    GUID g{};
    g.Data1 = guid.data1;
    g.Data2 = guid.data2;
    g.Data3 = guid.data3;
    std::memcpy(g.Data4, guid.data4.data(), sizeof g.Data4);
    return g;
}

HANDLE ToWin32Handle(DeviceHandle handle) { return reinterpret_cast<HANDLE>(handle); }

// "A device which does not exist was specified"; not every SDK's headers name it.
constexpr DWORD kErrorNoSuchDevice = 433;

}  // namespace

WindowsDevicePlatform::WindowsDevicePlatform(const Win32DeviceCalls& calls) : calls_(calls) {}

bool WindowsDevicePlatform::ListInterfaces(const Guid& interfaceClass,
                                           std::vector<std::string>& paths) {
    paths.clear();
    if (!calls_.Complete()) return false;  // the system's calls could not be loaded
    const GUID cls = ToWin32Guid(interfaceClass);
    const HDEVINFO list = calls_.SetupDiGetClassDevsA(&cls, nullptr, nullptr, kListFlags);
    if (list == INVALID_HANDLE_VALUE) return false;
    for (DWORD index = 0;; ++index) {
        SP_DEVICE_INTERFACE_DATA interfaceData{};
        interfaceData.cbSize = sizeof interfaceData;
        // Past the end the call fails with ERROR_NO_MORE_ITEMS. Any other failure ends
        // the list as well: going on to the next index after an error that repeats would
        // never end.
        if (!calls_.SetupDiEnumDeviceInterfaces(list, nullptr, &cls, index, &interfaceData)) break;
        std::string path;
        if (InterfacePath(list, interfaceData, path)) paths.push_back(std::move(path));
    }
    calls_.SetupDiDestroyDeviceInfoList(list);
    return true;
}

bool WindowsDevicePlatform::InterfacePath(HDEVINFO list, SP_DEVICE_INTERFACE_DATA& interfaceData,
                                          std::string& path) {
    // The first call has no record and only reports the size it needs.
    DWORD required = 0;
    calls_.SetupDiGetDeviceInterfaceDetailA(list, &interfaceData, nullptr, 0, &required, nullptr);
    constexpr size_t kPathOffset = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);
    if (required <= kPathOffset) return false;
    // DWORD-aligned storage for the record; a record that cannot be allocated skips
    // this interface, the search goes on.
    std::vector<DWORD> storage;
    try {
        storage.resize((required + sizeof(DWORD) - 1) / sizeof(DWORD));
    } catch (const std::bad_alloc&) {
        return false;
    }
    auto* detail = reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_A>(storage.data());
    // cbSize is the size of the fixed part, not of the whole record.
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    if (!calls_.SetupDiGetDeviceInterfaceDetailA(list, &interfaceData, detail, required, nullptr,
                                                 nullptr))
        return false;
    // The path ends at its NUL, and never beyond the record.
    const size_t room = required - kPathOffset;
    path.assign(detail->DevicePath, strnlen(detail->DevicePath, room));
    return true;
}

DeviceHandle WindowsDevicePlatform::Open(const std::string& path) {
    if (!calls_.Complete()) {
        lastOpenError_ = ERROR_PROC_NOT_FOUND;
        return kNoDeviceHandle;
    }
    const HANDLE device =
        calls_.CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (device == INVALID_HANDLE_VALUE || device == nullptr) {
        lastOpenError_ = calls_.GetLastError();
        return kNoDeviceHandle;
    }
    lastOpenError_ = 0;
    return reinterpret_cast<DeviceHandle>(device);
}

void WindowsDevicePlatform::Close(DeviceHandle handle) {
    if (handle == kNoDeviceHandle || !calls_.Complete()) return;
    calls_.CloseHandle(ToWin32Handle(handle));
}

IoFailure WindowsDevicePlatform::FailureOf(DWORD error) {
    switch (error) {
        // The driver gave up waiting for the device.
        case ERROR_SEM_TIMEOUT:
        case WAIT_TIMEOUT:
        case ERROR_TIMEOUT:
            return IoFailure::TimedOut;
        // The device was unplugged or re-enumerated: this handle will never work again,
        // only a new open (after a new search) can.
        case ERROR_DEVICE_NOT_CONNECTED:
        case ERROR_FILE_NOT_FOUND:
        case kErrorNoSuchDevice:
        case ERROR_DEV_NOT_EXIST:
        case ERROR_DEVICE_REMOVED:
        case ERROR_INVALID_HANDLE:
            return IoFailure::Gone;
        // ERROR_GEN_FAILURE (a stalled request), a code or block the driver does not take
        // (the wrong driver for the path), and anything else: the device is there and
        // said no, which never marks the link as lost.
        default:
            return IoFailure::Refused;
    }
}

bool WindowsDevicePlatform::Fail(DWORD error) {
    lastIoError_ = error;
    lastIoFailure_ = FailureOf(error);
    return false;
}

bool WindowsDevicePlatform::CallWithLocalBlock(HANDLE device, uint32_t code, const uint8_t* input,
                                               DWORD inputSize, uint8_t* output, DWORD outputSize,
                                               DWORD& returned) {
    const HLOCAL block = calls_.LocalAlloc(LMEM_FIXED | LMEM_ZEROINIT, inputSize);
    // Without a block no request goes out; the device was not asked, so it counts as a
    // refusal, never as a lost device.
    if (block == nullptr) return Fail(ERROR_NOT_ENOUGH_MEMORY);
    std::memcpy(block, input, inputSize);
    const BOOL ok =
        calls_.DeviceIoControl(device, code, block, inputSize, output, outputSize, &returned, nullptr);
    const DWORD error = ok ? 0 : calls_.GetLastError();
    calls_.LocalFree(block);
    return ok ? true : Fail(error);
}

bool WindowsDevicePlatform::IoControl(DeviceHandle handle, uint32_t code, const uint8_t* input,
                                      size_t inputSize, uint8_t* output, size_t outputSize) {
    lastReturned_ = 0;
    if (handle == kNoDeviceHandle || !calls_.Complete()) return Fail(ERROR_INVALID_HANDLE);
    if (inputSize > MAXDWORD || outputSize > MAXDWORD || (inputSize > 0 && input == nullptr))
        return Fail(ERROR_INVALID_PARAMETER);
    const HANDLE device = ToWin32Handle(handle);
    const auto inSize = static_cast<DWORD>(inputSize);
    const auto outSize = static_cast<DWORD>(outputSize);
    DWORD returned = 0;
    if (code == kIoctlKsProperty && inSize > 0) {
        if (!CallWithLocalBlock(device, code, input, inSize, output, outSize, returned)) return false;
    } else {
        // The generic driver reads its 24-byte block; the driver never writes to the input.
        if (!calls_.DeviceIoControl(device, code, const_cast<uint8_t*>(input), inSize, output,
                                    outSize, &returned, nullptr))
            return Fail(calls_.GetLastError());
    }
    lastIoError_ = 0;
    lastReturned_ = returned;
    return true;
}
