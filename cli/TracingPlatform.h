#pragma once
// Decorators for the platform under gDevice: one prints every driver call (--trace), the
// other hides every interface but one chosen path (--device).

#include <functional>
#include <string>
#include <vector>

#include "device/DevicePlatform.h"

// Writes "ioctl 0x%06X in=<hex> out=<hex> ok|fail" for every I/O control call, the output
// bytes as they stand after the call.
class TracingPlatform final : public DevicePlatform {
public:
    using Sink = std::function<void(const std::string& line)>;
    TracingPlatform(DevicePlatform& inner, Sink sink) : inner_(inner), sink_(std::move(sink)) {}

    bool ListInterfaces(const Guid& cls, std::vector<std::string>& paths) override {
        return inner_.ListInterfaces(cls, paths);
    }
    DeviceHandle Open(const std::string& path) override { return inner_.Open(path); }
    bool IoControl(DeviceHandle handle, uint32_t code, const uint8_t* input, size_t inputSize,
                   uint8_t* output, size_t outputSize) override;
    void Close(DeviceHandle handle) override { inner_.Close(handle); }
    IoFailure LastIoFailure() const override { return inner_.LastIoFailure(); }
    size_t LastReturnedSize() const override { return inner_.LastReturnedSize(); }
    bool LastOpenDenied() const override { return inner_.LastOpenDenied(); }

private:
    DevicePlatform& inner_;
    Sink sink_;
};

// The trace line of one call.
std::string TraceLine(uint32_t code, const uint8_t* input, size_t inputSize, const uint8_t* output,
                      size_t outputSize, bool ok);

// Lists only `path` (when the inner platform lists it), so the device link can only find it.
class SinglePathPlatform final : public DevicePlatform {
public:
    SinglePathPlatform(DevicePlatform& inner, std::string path)
        : inner_(inner), path_(std::move(path)) {}

    bool ListInterfaces(const Guid& cls, std::vector<std::string>& paths) override;
    DeviceHandle Open(const std::string& path) override { return inner_.Open(path); }
    bool IoControl(DeviceHandle handle, uint32_t code, const uint8_t* input, size_t inputSize,
                   uint8_t* output, size_t outputSize) override {
        return inner_.IoControl(handle, code, input, inputSize, output, outputSize);
    }
    void Close(DeviceHandle handle) override { inner_.Close(handle); }
    IoFailure LastIoFailure() const override { return inner_.LastIoFailure(); }
    size_t LastReturnedSize() const override { return inner_.LastReturnedSize(); }
    bool LastOpenDenied() const override { return inner_.LastOpenDenied(); }

private:
    DevicePlatform& inner_;
    std::string path_;
};
