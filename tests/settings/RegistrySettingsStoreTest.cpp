// The registry store against the system's registry (under Wine: the throw-away prefix's).
// Each test works under a key of its own, named for the process and the test, and
// removes it from both hives afterwards, so runs never see each other's values.

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <random>
#include <string>

#include "settings/RegistrySettingsStore.h"

namespace {

class RegistryStore : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device seed;
        place.subkey = "Software\\Quorvel\\Tests\\VARIvor-" + std::to_string(GetCurrentProcessId()) + "-" +
                       std::to_string(seed());
    }
    void TearDown() override {
        for (const RegistryHive& hive : kHives) {
            HKEY software = nullptr;
            if (RegOpenKeyExA(hive.root, "Software", 0, KEY_ALL_ACCESS | hive.view, &software) != ERROR_SUCCESS)
                continue;
            RegDeleteTreeA(software, place.subkey.substr(std::strlen("Software\\")).c_str());
            RegCloseKey(software);
        }
    }
    inline static const RegistryHive kHives[] = {
        {HKEY_CURRENT_USER}, {HKEY_LOCAL_MACHINE}, {HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY}};
    inline static const RegistryHive kUser{HKEY_CURRENT_USER};
    inline static const RegistryHive kMachine{HKEY_LOCAL_MACHINE};
    inline static const RegistryHive kMachine32{HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY};

    // The type, size and bytes of one value as the registry holds it.
    struct Raw {
        DWORD type = 0;
        std::string bytes;
    };
    std::optional<Raw> RawValue(RegistryHive hive, const char* name) const {
        HKEY key = nullptr;
        if (RegOpenKeyExA(hive.root, place.subkey.c_str(), 0, KEY_READ | hive.view, &key) != ERROR_SUCCESS)
            return std::nullopt;
        Raw raw;
        DWORD size = 0;
        LONG result = RegQueryValueExA(key, name, nullptr, &raw.type, nullptr, &size);
        if (result == ERROR_SUCCESS) {
            raw.bytes.resize(size);
            result = RegQueryValueExA(key, name, nullptr, &raw.type, reinterpret_cast<BYTE*>(raw.bytes.data()), &size);
        }
        RegCloseKey(key);
        if (result != ERROR_SUCCESS) return std::nullopt;
        return raw;
    }
    void SetRaw(RegistryHive hive, const char* name, DWORD type, const std::string& bytes) const {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(hive.root, place.subkey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | hive.view, nullptr,
                                  &key, nullptr),
                  ERROR_SUCCESS);
        EXPECT_EQ(RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                                 static_cast<DWORD>(bytes.size())),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }
    static std::string Dword(uint32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); }
    static std::string Sz(const std::string& s) { return std::string(s.c_str(), s.size() + 1); }

    static SettingsToSave Values() {
        SettingsToSave v;
        v.ispSetting = 0x000804FF;
        v.ispFileName = "C:\\Firmware\\app, final.hex";
        v.usbVidSet = "0b7e";
        v.usbPidSet = "6000";
        return v;
    }

    RegistryPlace place;
};

TEST_F(RegistryStore, AbsentKeyInEitherHiveReadsAsNoKey) {
    EXPECT_FALSE(RegistrySettingsStore(place).Read());
}

TEST_F(RegistryStore, AllFourValuesRoundTripWithTheirTypesInTheUsersHive) {
    RegistrySettingsStore store(place);
    ASSERT_TRUE(store.Write(Values()));
    const std::optional<StoredSettings> back = store.Read();
    ASSERT_TRUE(back);
    EXPECT_EQ(back->ispSetting, 0x000804FFu);
    EXPECT_EQ(back->ispFileName, "C:\\Firmware\\app, final.hex");
    EXPECT_EQ(back->usbVidSet, "0b7e");
    EXPECT_EQ(back->usbPidSet, "6000");

    const auto setting = RawValue(kUser, "ISPSetting");
    ASSERT_TRUE(setting);
    EXPECT_EQ(setting->type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(setting->bytes, Dword(0x000804FF));
    for (const auto& [name, text] : {std::pair<const char*, std::string>{"ISPFileName", Values().ispFileName},
                                     {"UsbVIDSet", "0b7e"}, {"UsbPIDSet", "6000"}}) {
        SCOPED_TRACE(name);
        const auto raw = RawValue(kUser, name);
        ASSERT_TRUE(raw);
        EXPECT_EQ(raw->type, static_cast<DWORD>(REG_SZ));
        EXPECT_EQ(raw->bytes, Sz(text));  // with its terminating NUL
    }
    // Nothing went to the machine-wide hive.
    EXPECT_FALSE(RawValue(kMachine, "ISPSetting"));
}

TEST_F(RegistryStore, MachineWideValuesOfEarlierInstallationsAreReadAndTheSaveGoesToTheUser) {
    SetRaw(kMachine, "ISPSetting", REG_DWORD, Dword(0x00080445));
    SetRaw(kMachine, "UsbVIDSet", REG_SZ, Sz("1234"));
    RegistrySettingsStore store(place);
    std::optional<StoredSettings> found = store.Read();
    ASSERT_TRUE(found);
    EXPECT_EQ(found->ispSetting, 0x00080445u);
    EXPECT_EQ(found->usbVidSet, "1234");
    EXPECT_EQ(found->usbPidSet, std::nullopt);

    ASSERT_TRUE(store.Write(Values()));
    EXPECT_EQ(RawValue(kMachine, "ISPSetting")->bytes, Dword(0x00080445));
    EXPECT_EQ(RawValue(kMachine, "UsbVIDSet")->bytes, Sz("1234"));
    found = store.Read();  // the user's key now comes first
    EXPECT_EQ(found->ispSetting, 0x000804FFu);
    EXPECT_EQ(found->usbVidSet, "0b7e");
}

TEST_F(RegistryStore, ValuesAThirtyTwoBitProgramLeftInTheMachineWideHiveAreFound) {
    SetRaw(kMachine32, "UsbPIDSet", REG_SZ, Sz("6000"));
    // Not in the program's own view: Windows keeps the two apart.
    EXPECT_FALSE(RawValue(kMachine, "UsbPIDSet"));
    const std::optional<StoredSettings> found = RegistrySettingsStore(place).Read();
    ASSERT_TRUE(found);
    EXPECT_EQ(found->usbPidSet, "6000");
}

TEST_F(RegistryStore, ValuesOfTheWrongTypeOrShapeAreMissingAndTextsEndAtTheirEnd) {
    SetRaw(kUser, "ISPSetting", REG_SZ, Sz("525567"));  // a text, not a number
    SetRaw(kUser, "ISPFileName", REG_DWORD, Dword(7));   // a number, not a text
    SetRaw(kUser, "UsbVIDSet", REG_SZ, "0b7e");          // stored without its NUL
    SetRaw(kUser, "UsbPIDSet", REG_SZ, Sz(std::string(300, 'p')));
    const std::optional<StoredSettings> found = RegistrySettingsStore(place).Read();
    ASSERT_TRUE(found);
    EXPECT_EQ(found->ispSetting, std::nullopt);
    EXPECT_EQ(found->ispFileName, std::nullopt);
    EXPECT_EQ(found->usbVidSet, "0b7e");
    EXPECT_EQ(found->usbPidSet, std::string(255, 'p'));
}

TEST_F(RegistryStore, TheToolsOwnPlaceIsTheUsersKeyOfTheTool) {
    EXPECT_EQ(RegistrySettingsStore().Place(), "HKEY_CURRENT_USER\\Software\\Quorvel\\VARIvor");
    EXPECT_EQ(SettingsPlace({}), "HKEY_CURRENT_USER\\Software\\Quorvel\\VARIvor");
}

}  // namespace
