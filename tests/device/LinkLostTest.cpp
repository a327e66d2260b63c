// When the device link gives up on a device: time-outs in a row, a device gone, and what a
// stall, a new handle and the clean-up of a run change.

#include <gtest/gtest.h>

#include <vector>

#include "RecordingPlatform.h"
#include "device/QuorvelUsb.h"

namespace {

class LinkLostTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform.interfaces[kUsbDeviceInterfaceClass.Text()] = {"\\\\?\\usb#vid_0b7e&pid_6000#1"};
        // Each call answers with the next scripted outcome; past the script, success.
        platform.responder = [this](const RecordingPlatform::Call&, uint8_t*, size_t) {
            if (next_ >= script.size()) return true;
            const Outcome o = script[next_++];
            if (o == Ok) return true;
            platform.failure = o == Stall ? IoFailure::Refused
                               : o == Timeout ? IoFailure::TimedOut
                                              : IoFailure::Gone;
            return false;
        };
        ASSERT_TRUE(link.FindDevice());
        ASSERT_TRUE(link.OpenDevice());
        platform.calls.clear();
    }
    bool Request() {
        uint8_t value = 0;
        return link.ControlTransfer(0xC3, 0x91, 0, 1, &value, 1);
    }
    // Sends `n` requests; returns how many reached the driver.
    size_t Send(size_t n) {
        const size_t before = platform.calls.size();
        for (size_t i = 0; i < n; ++i) Request();
        return platform.calls.size() - before;
    }

    enum Outcome { Ok, Stall, Timeout, Gone };
    std::vector<Outcome> script;
    size_t next_ = 0;
    RecordingPlatform platform;
    QuorvelUsb link{&platform};
};

TEST_F(LinkLostTest, OutcomesThatLoseTheLinkAndThoseThatDoNot) {
    struct Case {
        const char* name;
        std::vector<Outcome> script;
        bool lost;
    } cases[] = {
        {"three time-outs in a row", {Timeout, Timeout, Timeout}, true},
        {"a success breaks the row", {Timeout, Timeout, Ok, Timeout, Timeout}, false},
        {"stalls do not count", {Stall, Stall, Stall, Stall, Timeout, Timeout}, false},
        {"a device gone at once", {Gone}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(link.OpenDevice());
        script = c.script;
        next_ = 0;
        EXPECT_EQ(Send(c.script.size()), c.script.size());
        EXPECT_EQ(link.LinkLost(), c.lost);
        // Once lost, further requests fail without a driver call.
        EXPECT_EQ(Send(5), c.lost ? 0u : 5u);
        EXPECT_EQ(Request(), !c.lost);
    }
}

TEST_F(LinkLostTest, ANewHandleStartsAfreshAndTheLossesAreCounted) {
    script = {Gone};
    Send(1);
    ASSERT_TRUE(link.LinkLost());
    EXPECT_TRUE(link.LastLossWasGone());
    EXPECT_EQ(link.LinkLosses(), 1u);
    ASSERT_TRUE(link.OpenDevice());
    EXPECT_FALSE(link.LinkLost());
    EXPECT_TRUE(Request());
    EXPECT_EQ(link.LinkLosses(), 1u);
}

TEST_F(LinkLostTest, CleanUpTriesEachRequestOnceOnALostLink) {
    script = {Timeout, Timeout, Timeout, Timeout, Ok};
    Send(3);
    ASSERT_TRUE(link.LinkLost());
    {
        LinkCleanupScope cleanup(link);
        EXPECT_EQ(Send(2), 2u) << "the protection write and the mode change still go out";
    }
    EXPECT_EQ(Send(2), 0u);
    EXPECT_EQ(link.LinkLosses(), 1u) << "a loss is counted once";
}

}  // namespace
