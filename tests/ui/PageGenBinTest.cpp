// The Gen. Bin File page: loading and searching an image, choosing the new file, and the
// bytes the save writes; the enabling of the page's controls along the way.

#include <QFile>
#include <cstring>
#include <filesystem>

#include "WindowFixture.h"
#include "files/ParameterTable.h"

namespace {

constexpr size_t kTableAt = 0x1234;

class PageGenBinTest : public WindowFixture {
protected:
    void SetUp() override {
        WindowFixture::SetUp();
        StartWindow();
    }
    std::vector<uint8_t> Image(size_t size, bool table) const {
        std::vector<uint8_t> image(size);
        uint32_t seed = 7;
        for (auto& b : image) b = uint8_t(((seed = seed * 1664525u + 1013904223u) >> 24) | 0x80);
        if (table) std::memcpy(image.data() + kTableAt, kTableSignature, 13);
        return image;
    }
    std::string Write(const char* name, const std::vector<uint8_t>& bytes) const {
        const QString path = dir.filePath(QString::fromLatin1(name));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
        return path.toStdString();
    }
    std::vector<uint8_t> Read(const std::string& path) const {
        QFile file(QString::fromStdString(path));
        if (!file.open(QIODevice::ReadOnly)) return {};
        const QByteArray all = file.readAll();
        return std::vector<uint8_t>(all.begin(), all.end());
    }
    void Open(std::optional<std::string> answer) {
        services.openAnswers.push_back(std::move(answer));
        form->ui.CurrentFileBitBtn->click();
    }
    void ChooseSave(std::optional<std::string> answer) {
        services.saveAnswers.push_back(std::move(answer));
        form->ui.btnSaveBitBin->click();
    }
    void Save() { form->ui.btnSaveBin->click(); }
    std::string Status() const { return form->ui.lblStatusReport->text().toStdString(); }
    std::string SaveDone() const { return form->ui.lblSaveDone->text().toStdString(); }
    // Check, group, New File, Save.
    std::vector<bool> Enabled() const {
        return {form->ui.btnCheck->isEnabled(), form->ui.GroupBox9->isEnabled(),
                form->ui.btnSaveBitBin->isEnabled(), form->ui.btnSaveBin->isEnabled()};
    }
    std::string SaveName() const { return dir.filePath(QStringLiteral("new.bin")).toStdString(); }
};

TEST_F(PageGenBinTest, ImageWithTableIsPatchedAndSaved) {
    EXPECT_EQ(Enabled(), (std::vector<bool>{false, false, false, false}));
    const auto image = Image(0x4000, true);
    const std::string source = Write("fw.bin", image);
    Open(source);
    EXPECT_EQ(Status(), "Load file ready");
    EXPECT_EQ(form->ui.lblCurrentFilePath->text().toStdString(), source);
    EXPECT_EQ(Enabled(), (std::vector<bool>{true, true, true, false}));
    EXPECT_EQ(services.dialogFilters.back(), "Hex File|*.hex;*.h00|Binary File|*.bin");

    ChooseSave(SaveName());
    EXPECT_EQ(services.dialogFilters.back(), "Binary File|*.bin");
    EXPECT_EQ(form->ui.lblSaveBinPath->text().toStdString(), SaveName());
    EXPECT_EQ(Enabled(), (std::vector<bool>{true, true, true, true}));
    EXPECT_FALSE(std::filesystem::exists(SaveName())) << "choosing the file does not create it";

    Save();
    const auto saved = Read(SaveName());
    ASSERT_EQ(saved.size(), image.size());
    auto expected = image;
    const uint8_t ids[] = {0x7C, 0x3D, 0x60, 0x12};
    std::memcpy(expected.data() + kTableAt + 13, ids, 4);
    const char* texts[] = {"Quorvel-inc", "Quorvel-inc DUR22", "QVUA170405", "Primary Play Interface",
                           "Record Interface"};
    for (int i = 0; i < 5; ++i) {
        uint8_t* field = expected.data() + kTableAt + 17 + 32 * i;
        std::memset(field, ' ', 32);
        std::memcpy(field, texts[i], std::strlen(texts[i]));
    }
    EXPECT_EQ(saved, expected);
    EXPECT_EQ(std::string(saved.begin() + kTableAt + 17, saved.begin() + kTableAt + 49),
              "Quorvel-inc" + std::string(21, ' '));
    uint16_t sum = 0;
    for (uint8_t b : expected) sum = uint16_t(sum + b);
    char text[8];
    std::snprintf(text, sizeof text, "%04X", sum);
    EXPECT_EQ(SaveDone(), text);

    // A second save with the same texts writes the same file and shows the same sum.
    Save();
    EXPECT_EQ(Read(SaveName()), saved);
    EXPECT_EQ(SaveDone(), text);

    // Typed texts go into the table; "Check" clears the sum.
    form->ui.edtNewStr4->setText(QStringLiteral("Mic"));
    form->ui.labedtNewPID->setText(QStringLiteral("abcd"));
    Save();
    const auto changed = Read(SaveName());
    EXPECT_EQ(changed[kTableAt + 15], 0xAB);
    EXPECT_EQ(changed[kTableAt + 16], 0xCD);
    EXPECT_EQ(std::string(changed.begin() + kTableAt + 17 + 128, changed.begin() + kTableAt + 17 + 131), "Mic");
    form->ui.btnCheck->click();
    EXPECT_EQ(SaveDone(), "");
}

TEST_F(PageGenBinTest, ImageWithoutTableEnablesOnlyCheck) {
    Open(Write("plain.bin", Image(0x4000, false)));
    EXPECT_EQ(Status(), "Load file is invalid for modify");
    EXPECT_EQ(Enabled(), (std::vector<bool>{true, false, false, false}));
    form->ui.lblSaveDone->setText(QStringLiteral("1234"));
    form->ui.btnCheck->click();
    EXPECT_EQ(SaveDone(), "");
    EXPECT_EQ(Enabled(), (std::vector<bool>{true, false, false, false}));
}

TEST_F(PageGenBinTest, CancelledDialogsChangeNothing) {
    Open(std::nullopt);
    EXPECT_EQ(Enabled(), (std::vector<bool>{false, false, false, false}));
    EXPECT_EQ(form->ui.lblCurrentFilePath->text().toStdString(), "...");
    EXPECT_TRUE(gModifyFileName.empty());
    Open(Write("fw.bin", Image(0x4000, true)));
    ChooseSave(std::nullopt);
    EXPECT_EQ(form->ui.lblSaveBinPath->text().toStdString(), "...");
    EXPECT_TRUE(gSaveFileName.empty());
    EXPECT_EQ(Enabled(), (std::vector<bool>{true, true, true, false}));
}

TEST_F(PageGenBinTest, SaveAfterAFailedSearchOrLoadWritesNothing) {
    Open(Write("fw.bin", Image(0x4000, true)));
    ChooseSave(SaveName());
    // A later image without a table: the controls stay enabled, the save is refused.
    Open(Write("plain.bin", Image(0x4000, false)));
    Save();
    EXPECT_FALSE(std::filesystem::exists(SaveName()));
    EXPECT_EQ(SaveDone(), "");

    // A file that cannot be loaded is named in a message box and leaves the working copy
    // and its name; until a search finds a table again nothing is saved.
    Open(Write("fw.bin", Image(0x4000, true)));
    const std::string good = gModifyFileName;
    Open(dir.filePath(QStringLiteral("missing.bin")).toStdString());
    EXPECT_EQ(Status(), "Load file is invalid for modify");
    ASSERT_EQ(services.messages.size(), 1u);
    EXPECT_NE(services.messages[0].find("missing.bin"), std::string::npos);
    EXPECT_EQ(gModifyFileName, good);
    EXPECT_EQ(form->ui.lblCurrentFilePath->text().toStdString(), good);
    Save();
    EXPECT_FALSE(std::filesystem::exists(SaveName()));
    form->ui.btnCheck->click();
    Save();
    EXPECT_EQ(Read(SaveName()).size(), 0x4000u);
}

TEST_F(PageGenBinTest, BadIdTextOrUnwritableTargetWritesNoFile) {
    Open(Write("fw.bin", Image(0x4000, true)));
    ChooseSave(SaveName());
    Save();
    const auto first = Read(SaveName());
    const std::string sum = SaveDone();
    form->ui.labedtNewVID->setText(QStringLiteral("7G3D"));
    form->ui.edtNewStr0->setText(QStringLiteral("Other"));
    Save();
    EXPECT_EQ(services.errors, (std::vector<std::string>{"'0x7G3D' is not a valid integer value"}));
    EXPECT_EQ(Read(SaveName()), first);
    EXPECT_EQ(SaveDone(), sum);

    form->ui.labedtNewVID->setText(QStringLiteral("7C3D"));
    const std::string target = dir.filePath(QStringLiteral("no-such-folder/new.bin")).toStdString();
    ChooseSave(target);
    Save();
    EXPECT_EQ(SaveDone(), "Save failed");
    EXPECT_FALSE(std::filesystem::exists(target));
}

}  // namespace
