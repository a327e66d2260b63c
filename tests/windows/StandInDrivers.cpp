#include "StandInDrivers.h"

#include <cstddef>
#include <cstdio>
#include <cstring>

#include "device/Guid.h"

namespace {

StandInDrivers* gActive = nullptr;
DWORD gLastError = 0;
// The one list handle the stand-in hands out.
const HDEVINFO kList = reinterpret_cast<HDEVINFO>(static_cast<uintptr_t>(0x5E7));

Guid FromWin32(const GUID& g) {
    Guid out;
    out.data1 = g.Data1;
    out.data2 = g.Data2;
    out.data3 = g.Data3;
    std::memcpy(out.data4.data(), g.Data4, 8);
    return out;
}

BOOL FailWith(DWORD error) {
    gLastError = error;
    return FALSE;
}

}  // namespace

struct StandInCalls {
    static HDEVINFO WINAPI GetClassDevs(const GUID* cls, PCSTR enumerator, HWND parent, DWORD flags) {
        StandInDrivers& s = *gActive;
        const Guid guid = FromWin32(*cls);
        char line[160];
        std::snprintf(line, sizeof line, "GetClassDevs %s %s %s 0x%lx", guid.Text().c_str(),
                      enumerator ? "enumerator" : "null", parent ? "window" : "null",
                      static_cast<unsigned long>(flags));
        s.setupCalls.push_back(line);
        if (s.refuseList) {
            gLastError = ERROR_INVALID_PARAMETER;
            return INVALID_HANDLE_VALUE;
        }
        s.listed_.clear();
        const auto it = s.interfaces.find(guid.Text());
        if (it != s.interfaces.end())
            s.listed_ = it->second;
        else if (s.backing_ != nullptr)
            s.backing_->ListInterfaces(guid, s.listed_);
        return kList;
    }

    static BOOL WINAPI Enum(HDEVINFO list, PSP_DEVINFO_DATA device, const GUID*, DWORD index,
                            PSP_DEVICE_INTERFACE_DATA data) {
        StandInDrivers& s = *gActive;
        s.setupCalls.push_back("Enum " + std::to_string(index));
        if (list != kList || device != nullptr || data->cbSize != sizeof *data)
            return FailWith(ERROR_INVALID_PARAMETER);
        if (s.enumErrorAt && index >= *s.enumErrorAt) return FailWith(s.enumError);
        if (index >= s.listed_.size()) return FailWith(ERROR_NO_MORE_ITEMS);
        data->Reserved = index;
        return TRUE;
    }

    static BOOL WINAPI Detail(HDEVINFO list, PSP_DEVICE_INTERFACE_DATA data,
                              PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail, DWORD size,
                              PDWORD required, PSP_DEVINFO_DATA device) {
        StandInDrivers& s = *gActive;
        const auto index = static_cast<DWORD>(data->Reserved);
        s.setupCalls.push_back("Detail " + std::to_string(index) + (detail ? " fetch" : " size"));
        if (list != kList || device != nullptr || index >= s.listed_.size())
            return FailWith(ERROR_INVALID_PARAMETER);
        const std::string& path = s.listed_[index];
        const DWORD needed = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath) + path.size() + 1;
        if (required != nullptr) *required = needed;
        if (detail == nullptr) return FailWith(ERROR_INSUFFICIENT_BUFFER);
        // The system checks the size of the fixed part, as it would on Windows.
        if (detail->cbSize != sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) return FailWith(ERROR_INVALID_USER_BUFFER);
        if (size < needed) return FailWith(ERROR_INSUFFICIENT_BUFFER);
        if (s.detailFailsAt.count(index)) return FailWith(ERROR_GEN_FAILURE);
        std::memcpy(detail->DevicePath, path.c_str(), path.size() + 1);
        return TRUE;
    }

    static BOOL WINAPI Destroy(HDEVINFO list) {
        gActive->setupCalls.push_back(list == kList ? "Destroy" : "Destroy unknown list");
        return TRUE;
    }

    static DWORD WINAPI LastError() { return gLastError; }

    static HANDLE WINAPI CreateFile(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                    DWORD disposition, DWORD flags, HANDLE templateFile) {
        StandInDrivers& s = *gActive;
        s.opens.push_back({name, access, share, disposition, flags, security != nullptr, templateFile != nullptr});
        if (s.openError != 0) {
            gLastError = s.openError;
            return INVALID_HANDLE_VALUE;
        }
        const DeviceHandle backing = s.backing_ ? s.backing_->Open(name) : kNoDeviceHandle;
        if (backing == kNoDeviceHandle) {
            gLastError = ERROR_FILE_NOT_FOUND;
            return INVALID_HANDLE_VALUE;
        }
        const auto handle = reinterpret_cast<HANDLE>(s.nextHandle_++);
        s.handles_[handle] = backing;
        return handle;
    }

    static BOOL WINAPI IoControl(HANDLE device, DWORD code, LPVOID input, DWORD inputSize, LPVOID output,
                                 DWORD outputSize, LPDWORD returned, LPOVERLAPPED overlapped) {
        StandInDrivers& s = *gActive;
        const auto* in = static_cast<const uint8_t*>(input);
        // Live: allocated more often than freed (the allocator may hand an address out again).
        long balance = 0;
        for (const auto& a : s.allocations)
            if (a.block == input) ++balance;
        for (void* f : s.frees)
            if (f == input) --balance;
        const bool live = input != nullptr && balance > 0;
        s.ioCalls.push_back({code, std::vector<uint8_t>(in, in + inputSize), outputSize, overlapped != nullptr, live});
        if (returned == nullptr) return FailWith(ERROR_INVALID_PARAMETER);  // required without overlapped I/O
        *returned = 0;
        if (s.ioError != 0) return FailWith(s.ioError);
        const auto it = s.handles_.find(device);
        if (it == s.handles_.end()) return FailWith(ERROR_INVALID_HANDLE);
        if (!s.backing_->IoControl(it->second, code, in, inputSize, static_cast<uint8_t*>(output), outputSize)) {
            switch (s.backing_->LastIoFailure()) {
                case IoFailure::Refused: return FailWith(ERROR_GEN_FAILURE);
                case IoFailure::TimedOut: return FailWith(ERROR_SEM_TIMEOUT);
                case IoFailure::Gone: return FailWith(ERROR_DEVICE_NOT_CONNECTED);
            }
        }
        const size_t got = s.backing_->LastReturnedSize();
        *returned = s.returnedBytes ? *s.returnedBytes : static_cast<DWORD>(got < outputSize ? got : outputSize);
        return TRUE;
    }

    static BOOL WINAPI Close(HANDLE handle) {
        StandInDrivers& s = *gActive;
        s.closes.push_back(handle);
        const auto it = s.handles_.find(handle);
        if (it == s.handles_.end()) return FailWith(ERROR_INVALID_HANDLE);
        s.backing_->Close(it->second);
        s.handles_.erase(it);
        return TRUE;
    }

    static HLOCAL WINAPI Alloc(UINT flags, SIZE_T bytes) {
        StandInDrivers& s = *gActive;
        HLOCAL block = s.refuseAlloc ? nullptr : ::LocalAlloc(flags, bytes);
        if (block == nullptr) gLastError = ERROR_NOT_ENOUGH_MEMORY;
        s.allocations.push_back({flags, bytes, block});
        return block;
    }

    static HLOCAL WINAPI Free(HLOCAL block) {
        gActive->frees.push_back(block);
        return ::LocalFree(block);
    }
};

StandInDrivers::StandInDrivers(DevicePlatform* backing) : backing_(backing) { gActive = this; }

StandInDrivers::~StandInDrivers() { gActive = nullptr; }

Win32DeviceCalls StandInDrivers::Table() const {
    Win32DeviceCalls t;
    t.SetupDiGetClassDevsA = &StandInCalls::GetClassDevs;
    t.SetupDiEnumDeviceInterfaces = &StandInCalls::Enum;
    t.SetupDiGetDeviceInterfaceDetailA = &StandInCalls::Detail;
    t.SetupDiDestroyDeviceInfoList = &StandInCalls::Destroy;
    t.GetLastError = &StandInCalls::LastError;
    t.CreateFileA = &StandInCalls::CreateFile;
    t.DeviceIoControl = &StandInCalls::IoControl;
    t.CloseHandle = &StandInCalls::Close;
    t.LocalAlloc = &StandInCalls::Alloc;
    t.LocalFree = &StandInCalls::Free;
    return t;
}
