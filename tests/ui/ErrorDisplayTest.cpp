// The standard error display: a text that does not convert ends its handler with a message
// box, and the window goes on working.

#include "WindowFixture.h"
#include "ui/ConvertError.h"

namespace {

class ErrorDisplayTest : public WindowFixture {};

TEST_F(ErrorDisplayTest, BadHexadecimalTextIsShownAndTheWindowStaysUsable) {
    TForm1& w = StartWindow();
    bool ranOn = false;
    w.RunHandler([&] {
        HexEditValue("1G");
        ranOn = true;
    });
    EXPECT_FALSE(ranOn);
    ASSERT_EQ(services.errors.size(), 1u);
    EXPECT_EQ(services.errors[0], "'0x1G' is not a valid integer value");
    EXPECT_TRUE(services.messages.empty());

    // The window still detects and still handles its controls.
    w.Timer1Timer();
    EXPECT_TRUE(gDevice.IsFound());
    EXPECT_EQ(w.ui.lblDetectDevice->text(), "Device 6012 is exist");
    EXPECT_FALSE(w.isHidden() && w.testAttribute(Qt::WA_DeleteOnClose));
}

TEST_F(ErrorDisplayTest, RangeClickWithBadStartKeepsWhatWasAssigned) {
    TForm1& w = StartWindow();
    w.ui.lbledISPStart->setText(QStringLiteral("16"));
    w.ui.lbledISPRange->setText(QStringLiteral("4k"));  // typed text is digits only; code can set any
    w.ui.rbnRange1->click();
    ASSERT_EQ(services.errors.size(), 1u);
    EXPECT_EQ(services.errors[0], "'4k' is not a valid integer value");
    EXPECT_EQ(gRangeStart, 16u * 1024);  // assigned before the size failed
    EXPECT_EQ(gRangeSize, 0u);
    EXPECT_TRUE(w.ui.lbledISPStart->isEnabled());

    w.ui.lbledISPRange->setText(QStringLiteral("8"));
    w.ui.rbnRange1->click();
    EXPECT_EQ(services.errors.size(), 1u);
    EXPECT_EQ(gRangeSize, 8u * 1024);
    w.ui.rbnRange0->click();
    EXPECT_EQ(gRangeStart, 0u);
    EXPECT_EQ(gRangeSize, 0x8000u);
    EXPECT_FALSE(w.ui.Label20->isEnabled());
}

TEST_F(ErrorDisplayTest, HexEditValueTable) {
    struct Case {
        const char* text;
        int64_t value;  // -1: raises
    };
    for (const Case& c : {Case{"1f", 0x1F}, Case{"1FF", 0x1FF}, Case{"FFFFFFFF", 0xFFFFFFFF}, Case{"", -1},
                          Case{" 1", -1}, Case{"100000000", -1}, Case{"0x1", -1}}) {
        SCOPED_TRACE(c.text);
        if (c.value < 0) {
            EXPECT_THROW(HexEditValue(c.text), EConvertError);
        } else {
            EXPECT_EQ(HexEditValue(c.text), c.value);
        }
    }
}

}  // namespace
