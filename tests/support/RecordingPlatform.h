#pragma once
// A scripted DevicePlatform for tests: it serves fixed interface lists, records every
// call, and answers I/O control calls through a replaceable responder.

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "device/DevicePlatform.h"

class RecordingPlatform : public DevicePlatform {
public:
    struct Call {
        DeviceHandle handle;
        uint32_t code;
        std::vector<uint8_t> input;
        size_t outputSize;
        std::vector<uint8_t> outputBefore;  // the caller's buffer as handed over
    };
    // Answers one call; may fill `output`. Returns the call's result.
    using Responder = std::function<bool(const Call&, uint8_t* output, size_t outputSize)>;

    // Interfaces per class; a class whose list is "unavailable" fails to list.
    std::map<std::string, std::vector<std::string>> interfaces;
    std::set<std::string> unavailableClasses;
    std::set<std::string> refusedPaths;
    Responder responder = [](const Call&, uint8_t*, size_t) { return true; };
    // What LastIoFailure reports; a responder sets it for the call it fails.
    IoFailure failure = IoFailure::Refused;

    std::vector<Call> calls;
    std::vector<std::string> opened;
    std::vector<DeviceHandle> closed;
    std::set<DeviceHandle> openHandles;

    bool ListInterfaces(const Guid& cls, std::vector<std::string>& paths) override {
        paths.clear();
        if (unavailableClasses.count(cls.Text())) return false;
        auto it = interfaces.find(cls.Text());
        if (it != interfaces.end()) paths = it->second;
        return true;
    }
    DeviceHandle Open(const std::string& path) override {
        opened.push_back(path);
        if (refusedPaths.count(path)) return kNoDeviceHandle;
        const DeviceHandle h = nextHandle_++;
        openHandles.insert(h);
        return h;
    }
    bool IoControl(DeviceHandle h, uint32_t code, const uint8_t* in, size_t inSize,
                   uint8_t* out, size_t outSize) override {
        Call c{h, code, std::vector<uint8_t>(in, in + inSize), outSize,
               out ? std::vector<uint8_t>(out, out + outSize) : std::vector<uint8_t>{}};
        calls.push_back(c);
        return responder(c, out, outSize);
    }
    IoFailure LastIoFailure() const override { return failure; }
    void Close(DeviceHandle h) override {
        closed.push_back(h);
        openHandles.erase(h);
    }

private:
    DeviceHandle nextHandle_ = 100;
};
