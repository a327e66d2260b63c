#pragma once
// A stand-in for SetupAPI and the kernel behind a Win32DeviceCalls table, for the tests of
// the Windows backend. It lists the interfaces it is given (or those of a backing
// platform such as the simulated chip), hands every DeviceIoControl to the backing
// platform, and records each call with its arguments.
//
// Table entries are plain functions; they reach the stand-in through a process-wide
// pointer, so only one stand-in may exist at a time.

#include <windows.h>
#include <setupapi.h>

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "device/DevicePlatform.h"
#include "device/windows/Win32DeviceCalls.h"

class StandInDrivers {
public:
    explicit StandInDrivers(DevicePlatform* backing = nullptr);
    ~StandInDrivers();
    StandInDrivers(const StandInDrivers&) = delete;
    StandInDrivers& operator=(const StandInDrivers&) = delete;

    Win32DeviceCalls Table() const;

    // --- What the stand-in serves ---
    // Interface paths per class (Guid::Text()); a class without an entry lists what the
    // backing platform lists.
    std::map<std::string, std::vector<std::string>> interfaces;
    bool refuseList = false;                  // SetupDiGetClassDevsA fails
    std::optional<DWORD> enumErrorAt;         // SetupDiEnumDeviceInterfaces fails there on...
    DWORD enumError = ERROR_INVALID_PARAMETER;  // ...with this error
    std::set<DWORD> detailFailsAt;            // the fetching detail call fails at these indices
    DWORD openError = 0;                      // CreateFileA fails with this error
    DWORD ioError = 0;                        // every DeviceIoControl fails with this error
    std::optional<DWORD> returnedBytes;       // DeviceIoControl reports this byte count
    bool refuseAlloc = false;                 // LocalAlloc fails

    // --- What the backend did ---
    // SetupAPI calls in order, e.g. "Enum 1", "Detail 0 size", "Detail 0 fetch".
    std::vector<std::string> setupCalls;
    struct CreateFileCall {
        std::string name;
        DWORD access, share, disposition, flags;
        bool security, templateFile;
    };
    std::vector<CreateFileCall> opens;
    struct IoCall {
        DWORD code;
        std::vector<uint8_t> input;
        DWORD outputSize;
        bool overlapped;
        bool inputInLiveLocalBlock;  // the input pointer was a LocalAlloc block not yet freed
    };
    std::vector<IoCall> ioCalls;
    struct Allocation {
        UINT flags;
        SIZE_T size;
        void* block;
    };
    std::vector<Allocation> allocations;
    std::vector<void*> frees;
    std::vector<HANDLE> closes;

private:
    friend struct StandInCalls;
    DevicePlatform* backing_;
    std::vector<std::string> listed_;  // the list of the last SetupDiGetClassDevsA
    std::map<HANDLE, DeviceHandle> handles_;
    uintptr_t nextHandle_ = 0x1000;
};
