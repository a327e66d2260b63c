// The window's wrapper of the device platform: every hook reaches the wrapped platform
// and its answers come back unchanged; input is handled after a request only inside a
// device action, and then at most every 100 ms of the clock.

#include <gtest/gtest.h>

#include "ScriptedUiServices.h"
#include "device/Clock.h"
#include "ui/DeviceAction.h"
#include "ui/InputHandlingPlatform.h"

namespace {

// Answers every hook with a value of its own, and spends a request's time on the clock.
class DistinctPlatform final : public DevicePlatform {
public:
    explicit DistinctPlatform(VirtualClock& clock) : clock_(clock) {}
    bool ListInterfaces(const Guid&, std::vector<std::string>& paths) override {
        paths = {"path-a", "path-b"};
        return true;
    }
    DeviceHandle Open(const std::string& path) override { return path == "path-b" ? 7 : kNoDeviceHandle; }
    bool IoControl(DeviceHandle handle, uint32_t code, const uint8_t* input, size_t inputSize, uint8_t* output,
                   size_t outputSize) override {
        clock_.Spend(30'000);
        if (outputSize > 0) output[0] = uint8_t(input[0] + 1);
        return handle == 7 && code == 0x1234 && inputSize == 1;
    }
    IoFailure LastIoFailure() const override { return IoFailure::TimedOut; }
    size_t LastReturnedSize() const override { return 3; }
    void Close(DeviceHandle handle) override { closed = handle; }
    bool LastOpenDenied() const override { return true; }
    DeviceHandle closed = kNoDeviceHandle;

private:
    VirtualClock& clock_;
};

class InputHandlingPlatformTest : public ::testing::Test {
protected:
    void SetUp() override { SetCurrentClock(&clock); }
    void TearDown() override { SetCurrentClock(nullptr); }
    bool Call() {
        const uint8_t in = 0x41;
        uint8_t out = 0;
        const bool ok = wrapped.IoControl(7, 0x1234, &in, 1, &out, 1);
        EXPECT_EQ(out, 0x42);
        return ok;
    }

    VirtualClock clock;
    ScriptedUiServices services;
    InputPump pump{services};
    DistinctPlatform inner{clock};
    InputHandlingPlatform wrapped{inner, pump};
};

TEST_F(InputHandlingPlatformTest, PassesEveryHookOn) {
    std::vector<std::string> paths;
    EXPECT_TRUE(wrapped.ListInterfaces(Guid{}, paths));
    EXPECT_EQ(paths, (std::vector<std::string>{"path-a", "path-b"}));
    EXPECT_EQ(wrapped.Open("path-b"), 7u);
    EXPECT_EQ(wrapped.Open("path-a"), kNoDeviceHandle);
    EXPECT_TRUE(Call());
    EXPECT_EQ(wrapped.LastIoFailure(), IoFailure::TimedOut);
    EXPECT_EQ(wrapped.LastReturnedSize(), 3u);
    EXPECT_TRUE(wrapped.LastOpenDenied());
    wrapped.Close(7);
    EXPECT_EQ(inner.closed, 7u);
}

TEST_F(InputHandlingPlatformTest, HandlesInputInsideADeviceActionWhenDue) {
    Call();
    EXPECT_EQ(services.pumps, 0) << "no device action: nothing of the window waits";
    const DeviceAction action;
    // Requests of 30 ms: the first one pumps, then every fourth (100 ms passed).
    for (int i = 0; i < 9; ++i) Call();
    EXPECT_EQ(services.pumps, 3);
}

}  // namespace
