#pragma once
// Where the window keeps its four settings, and the layout of "ISPSetting".
//
// Windows: the key Software\Quorvel\VARIvor of the machine-wide hive. Elsewhere: the INI
// file $XDG_CONFIG_HOME/Quorvel/VARIvor.conf (~/.config/... when the variable is unset),
// written atomically. The value names, their types and the "ISPSetting" layout are the same
// in both stores. A location can name another INI file, so tests never touch a user's
// settings.

#include <array>
#include <cstdint>
#include <optional>
#include <string>

struct SettingsLocation {
    // Empty: the system's place (above).
    std::string iniFile;
};

// Text values are held to this many characters, read and written.
inline constexpr size_t kSettingsTextMax = 255;

// The four values as found; each one absent when missing or unreadable.
struct StoredSettings {
    std::optional<uint32_t> ispSetting;
    std::optional<std::string> ispFileName;
    std::optional<std::string> usbVidSet;
    std::optional<std::string> usbPidSet;
};

// Reads the key; nothing when the key cannot be opened.
std::optional<StoredSettings> ReadStoredSettings(const SettingsLocation& where);

struct SettingsToSave {
    uint32_t ispSetting = 0;
    std::string ispFileName;
    std::string usbVidSet;
    std::string usbPidSet;
};

// Creates or opens the key and writes the four values at once. False when the key could
// not be created or written; nothing is then changed.
bool WriteStoredSettings(const SettingsLocation& where, const SettingsToSave& values);

// The file or key the location names, for messages and tests.
std::string SettingsPlace(const SettingsLocation& where);

// The ISP page's options as "ISPSetting" holds them.
struct IspSetting {
    // chkISPMode, chkProtect, chkReadFile, chkErase, chkBlank, chkProgram, chkVerify.
    std::array<bool, 7> boxes{};
    bool rangeAll = true;      // rbnRange0 "All"; otherwise rbnRange1 "Assign Range"
    uint32_t startKb = 0;      // multiple of 8, 0 to 2040
    uint32_t sizeKb = 0;       // multiple of 8, 0 to 2040
};

// Bits 0-6 the boxes, bit 7 "All", bits 8-15 size / 8, bits 16-23 start / 8.
uint32_t ComposeIspSetting(const IspSetting& setting);
IspSetting DecodeIspSetting(uint32_t value);

// A start or size text as it is stored: digits only, held to 0..2040 KB and rounded down
// to a multiple of 8 so that it fits its 8-bit field. Nothing when the text is not digits.
std::optional<uint32_t> StoredRangeKb(const std::string& text);
