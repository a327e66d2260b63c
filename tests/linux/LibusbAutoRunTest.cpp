// A whole Auto run through libusb, and a device unplugged in the middle of one.

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "LibusbChipFixture.h"
#include "files/FileGlobals.h"
#include "files/FlashImage.h"
#include "isp/IspOperations.h"
#include "isp/IspState.h"

namespace {

using Bytes = std::vector<uint8_t>;

class LibusbAutoRun : public LibusbChipTest, public ::testing::WithParamInterface<uint8_t> {
protected:
    void SetUp() override {
        ResetFileGlobals();
        ResetIspGlobals();
        LibusbChipTest::SetUp();
        // Not a whole number of pages, so the last page is a partial one.
        image.resize(1000);
        std::mt19937 random(7);
        for (uint8_t& b : image) b = static_cast<uint8_t>(random());
        Bytes full(kFlashImageSize, 0xFF);
        std::copy(image.begin(), image.end(), full.begin());
        ReplaceImage(full.data(), static_cast<uint32_t>(image.size()));
        ASSERT_NO_FATAL_FAILURE(Attach(GetParam()));
    }
    void TearDown() override {
        LibusbChipTest::TearDown();
        ResetIspGlobals();
        ResetFileGlobals();
    }
    Bytes FlashStart(size_t n) const {
        const Bytes& flash = chip->Flash().Contents();
        return Bytes(flash.begin(), flash.begin() + static_cast<long>(n));
    }

    Bytes image;
    SilentReporter report;
};

TEST_P(LibusbAutoRun, ProgramsAndProtectsTheImage) {
    const AutoResult result = RunAutoSequence(AutoOptions{}, report);

    EXPECT_TRUE(result.success) << result.failedStep;
    EXPECT_EQ(FlashStart(image.size()), image);
    EXPECT_EQ(chip->Flash().Contents()[image.size()], 0xFF);
    EXPECT_EQ(chip->Flash().Status() & SimFlash::kStatusProtectMask, SimFlash::kStatusProtectMask);
    EXPECT_FALSE(chip->InIspMode());
    EXPECT_FALSE(gDevice.HasHandle());
    EXPECT_EQ(device->InterfaceClaims(), 0u);
}

TEST_P(LibusbAutoRun, UnpluggedWhileProgrammingEndsInFailure) {
    // Gone from the first page-program request on (0x80 with the command kept open).
    device->InjectFault(EmulatedUsbDevice::Fault::Gone,
                        [](const auto& setup) { return setup[1] == 0x80 && setup[4] == 0; });

    const AutoResult result = RunAutoSequence(AutoOptions{}, report);

    EXPECT_FALSE(result.success);
    EXPECT_EQ(result.failedStep, "program");
    EXPECT_EQ(FlashStart(image.size()), Bytes(image.size(), 0xFF));  // erased, nothing written
    EXPECT_FALSE(gDevice.HasHandle());
    for (const BusRequest& r : device->Requests())
        EXPECT_FALSE(r.setup[1] == 0x80 && r.setup[4] == 0) << "a page program reached the chip";
}

INSTANTIATE_TEST_SUITE_P(Encodings, LibusbAutoRun, ::testing::Values(uint8_t{0}, uint8_t{1}),
                         EncodingName);

}  // namespace
