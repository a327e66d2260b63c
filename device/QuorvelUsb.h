#pragma once
// The device link: finds the one device the tool works with, owns its single handle, and
// carries one USB control request at a time in the encoding of the driver in force.
//
// Two driver paths: the generic path (ksPath 0) for the firmware-update device, reached
// through the standard USB interface class, and the kernel-streaming path (ksPath non-zero)
// for the normal device, reached through the audio driver's interface class.

#include <cstddef>
#include <cstdint>

#include "device/DevicePlatform.h"

class QuorvelUsb {
public:
    static constexpr size_t kDevicePathSize = 512;   // 511 characters + NUL
    static constexpr size_t kMatchStringSize = 50;   // 49 characters + NUL

    // Uses `platform` for every system call; without one, a platform that lists nothing.
    explicit QuorvelUsb(DevicePlatform* platform = nullptr);
    QuorvelUsb(const QuorvelUsb&) = delete;
    QuorvelUsb& operator=(const QuorvelUsb&) = delete;

    // Closes a handle that is still open.
    virtual ~QuorvelUsb();

    // Searches the present interfaces of the current class for the match string. Every
    // match stores its path, sets the found flag and is probed; the last match wins.
    // Returns the result of the last probe, false when nothing matched (found unchanged).
    virtual bool FindDevice();
    // Searches without storing or probing; found := whether anything matched.
    virtual bool CheckPresence();
    virtual bool IsFound();

    // Opens the stored device path (closing a handle still held first).
    bool OpenDevice();
    // Closes the handle if one is held.
    void CloseDevice();

    // Sends one control request through the open handle in the encoding of the driver in
    // force. Returns whether the driver accepted it; false at once without a handle.
    // The bytes the driver reports as transferred are not examined.
    bool ControlTransfer(uint8_t bmRequestType, uint8_t bRequest, uint16_t wValue,
                         uint16_t wIndex, uint8_t* buffer, uint32_t length);

    void SetKsPath(uint8_t ks) { ksPath = ks; }
    uint8_t GetKsPath() const { return ksPath; }
    // Copies `text` into the match string. A text of 50 characters or more does not fit:
    // it is refused, the old match string stays, and the result is false.
    bool SetMatchString(const char* text);
    void ClearFound() { found = 0; }

    // Read-only views for the window, the command-line tool and tests.
    const char* DevicePath() const { return devicePath; }
    const char* MatchString() const { return matchString; }
    bool HasHandle() const { return handle != kNoDeviceHandle; }

    // Replaces the platform (only while no handle is open). Null selects the empty one.
    void SetPlatform(DevicePlatform* platform);
    DevicePlatform& Platform() const { return *platform_; }

private:
    // Opens a temporary handle on devicePath, sends the probe request of the current path
    // and closes the handle again. Returns whether the request succeeded.
    bool ProbeDevice();
    // Lists the current class; false when no list could be obtained.
    bool ListMatches(size_t& matches, bool storeAndProbe, bool& probeResult);
    bool Matches(const char* path) const;

    uint8_t found = 0;
    uint8_t ksPath = 0;
    char devicePath[kDevicePathSize] = {};
    char matchString[kMatchStringSize] = {};
    DeviceHandle handle = kNoDeviceHandle;

    DevicePlatform* platform_;
};

// The one device link of the process.
extern QuorvelUsb gDevice;
