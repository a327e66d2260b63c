#pragma once
// One device action at a time.
//
// The long operations let the window handle pending messages, so a click can run another
// handler in the middle of one that holds the device handle. Every handler that opens the
// device takes a DeviceAction first and does nothing when it is refused; detection ticks
// do nothing while one is held. Stop clicks take none, so they still reach a running action.
//
//     DeviceAction action;
//     if (!action) return;        // another action holds the device
//     gDevice.OpenDevice(); ... gDevice.CloseDevice();

class DeviceAction {
public:
    DeviceAction();
    ~DeviceAction();
    DeviceAction(const DeviceAction&) = delete;
    DeviceAction& operator=(const DeviceAction&) = delete;

    // Whether this guard holds the device.
    explicit operator bool() const { return held_; }

    // Whether any guard holds the device now.
    static bool Held();

private:
    bool held_;
};
