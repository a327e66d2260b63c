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

    // Opens the stored device path (closing a handle still held first). A new handle
    // starts with a healthy link; a failed open leaves the link lost (see LinkLost).
    bool OpenDevice();
    // Closes the handle if one is held.
    void CloseDevice();

    // Sends one control request through the open handle in the encoding of the driver in
    // force. Returns whether the driver accepted it; false at once without a handle, and
    // false at once without a driver call while the link is lost (see LinkLost). A
    // device-to-host reply shorter than `length` counts as a failed request.
    bool ControlTransfer(uint8_t bmRequestType, uint8_t bRequest, uint16_t wValue,
                         uint16_t wIndex, uint8_t* buffer, uint32_t length);

    // The link is lost after three time-outs in a row or one request that found the device
    // gone (or when the handle could not be opened); a refused request (a stall) does not
    // count. A lost link stays lost until the handle is opened again, so a wedged or unplugged device ends any operation quickly
    // instead of costing a time-out per request for hours of polls.
    bool LinkLost() const { return linkLost_; }
    // How often a link was lost since the process started (never reset), and whether the
    // last loss was a device that went away (rather than one that stopped answering).
    size_t LinkLosses() const { return linkLosses_; }
    bool LastLossWasGone() const { return lastLossGone_; }
    // During the clean-up at the end of a run (protecting the flash, leaving ISP mode)
    // each request still goes to the driver once, even on a lost link: the device may
    // have come back, and a chip left writable is worse than a few more time-outs.
    void SetCleanup(bool cleanup) { cleanup_ = cleanup; }
    bool InCleanup() const { return cleanup_; }

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
    bool Transfer(uint8_t bmRequestType, uint8_t bRequest, uint16_t wValue, uint16_t wIndex,
                  uint8_t* buffer, uint32_t length);
    // Counts the outcome of one driver call towards a lost link.
    void NoteOutcome(bool ok);
    void LoseLink(bool gone);

    uint8_t found = 0;
    uint8_t ksPath = 0;
    char devicePath[kDevicePathSize] = {};
    char matchString[kMatchStringSize] = {};
    DeviceHandle handle = kNoDeviceHandle;

    static constexpr int kTimeoutsForLostLink = 3;
    int timeoutsInARow_ = 0;
    bool linkLost_ = false;
    size_t linkLosses_ = 0;
    bool lastLossGone_ = false;
    bool cleanup_ = false;

    DevicePlatform* platform_;
};

// The one device link of the process.
extern QuorvelUsb gDevice;

// Marks the requests of its lifetime as the clean-up of a run (QuorvelUsb::SetCleanup).
class LinkCleanupScope {
public:
    explicit LinkCleanupScope(QuorvelUsb& device) : device_(device) { device_.SetCleanup(true); }
    ~LinkCleanupScope() { device_.SetCleanup(false); }
    LinkCleanupScope(const LinkCleanupScope&) = delete;
    LinkCleanupScope& operator=(const LinkCleanupScope&) = delete;

private:
    QuorvelUsb& device_;
};
