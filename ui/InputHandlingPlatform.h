#pragma once
// The device platform as the window uses it: every call goes to the platform it wraps,
// and after each driver call made inside a device action the window handles pending
// input when it is due (InputPump). A device that no longer answers costs a time-out per
// request (a second each) until its link counts as lost; without this the window would
// take no input for all the requests of a clean-up in a row. Every hook of the platform is
// passed on, so the link sees the wrapped platform's outcomes unchanged.

#include "device/DevicePlatform.h"
#include "device/QuorvelUsb.h"
#include "ui/InputPump.h"

class InputHandlingPlatform final : public DevicePlatform {
public:
    InputHandlingPlatform(DevicePlatform& inner, InputPump& pump) : inner_(inner), pump_(pump) {}

    bool ListInterfaces(const Guid& interfaceClass, std::vector<std::string>& paths) override {
        return inner_.ListInterfaces(interfaceClass, paths);
    }
    DeviceHandle Open(const std::string& path) override { return inner_.Open(path); }
    bool IoControl(DeviceHandle handle, uint32_t code, const uint8_t* input, size_t inputSize,
                   uint8_t* output, size_t outputSize) override;
    IoFailure LastIoFailure() const override { return inner_.LastIoFailure(); }
    size_t LastReturnedSize() const override { return inner_.LastReturnedSize(); }
    void Close(DeviceHandle handle) override { inner_.Close(handle); }
    bool LastOpenDenied() const override { return inner_.LastOpenDenied(); }

    DevicePlatform& Inner() const { return inner_; }

private:
    DevicePlatform& inner_;
    InputPump& pump_;
};

// Makes `platform` the device link's platform for its lifetime, and puts the one before
// back (unless another was installed meanwhile).
class ScopedDevicePlatform {
public:
    ScopedDevicePlatform(QuorvelUsb& device, InputHandlingPlatform& platform)
        : device_(device), platform_(platform) {
        device_.SetPlatform(&platform_);
    }
    ~ScopedDevicePlatform() {
        if (&device_.Platform() == &platform_) device_.SetPlatform(&platform_.Inner());
    }
    ScopedDevicePlatform(const ScopedDevicePlatform&) = delete;
    ScopedDevicePlatform& operator=(const ScopedDevicePlatform&) = delete;

private:
    QuorvelUsb& device_;
    InputHandlingPlatform& platform_;
};
