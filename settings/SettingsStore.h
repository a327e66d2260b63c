#pragma once
// Where the window keeps its four settings, and the layout of "ISPSetting".
//
// Two stores behind one interface, neither needing Qt:
// - the registry (Windows): the key Software\Quorvel\VARIvor, written to the user's hive
//   and read from the user's hive first, then from the machine-wide one where earlier
//   installations kept it (RegistrySettingsStore.h);
// - an INI file (elsewhere): $XDG_CONFIG_HOME/Quorvel/VARIvor.conf (~/.config/... when
//   the variable is unset), in the format QSettings reads and writes, replaced atomically
//   on every save (IniSettingsStore.h).
// The value names, their types and the "ISPSetting" layout are the same in both. A
// location can name an INI file instead, so tests never touch a user's settings.

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

struct SettingsLocation {
    // Empty: the system's store (above).
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

struct SettingsToSave {
    uint32_t ispSetting = 0;
    std::string ispFileName;
    std::string usbVidSet;
    std::string usbPidSet;
};

class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    // Reads the key; nothing when the key cannot be opened. Texts come cut to
    // kSettingsTextMax characters.
    virtual std::optional<StoredSettings> Read() = 0;
    // Creates or opens the key and writes the four values (texts cut to kSettingsTextMax).
    // False when the key could not be created or written.
    virtual bool Write(const SettingsToSave& values) = 0;
    // The file or key, for messages and tests.
    virtual std::string Place() const = 0;
};

// The store a location names: its INI file, or (empty) the system's store.
std::unique_ptr<SettingsStore> MakeSettingsStore(const SettingsLocation& where);

// The file or key the location names.
inline std::string SettingsPlace(const SettingsLocation& where) { return MakeSettingsStore(where)->Place(); }

// A text as it is stored: at most kSettingsTextMax characters. Cuts at a character
// boundary of UTF-8 text.
std::string CutSettingsText(const std::string& text);

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
