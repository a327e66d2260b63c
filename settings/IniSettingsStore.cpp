#include "settings/IniSettingsStore.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "files/FileBytes.h"
#include "files/ReplaceFile.h"
#include "settings/IniText.h"

namespace fs = std::filesystem;

namespace {

// A settings file is a few hundred bytes; anything far larger is not one of ours.
constexpr size_t kLargestSettingsFile = 1 << 20;

std::optional<IniValue> ReadValue(const IniDocument& ini, const char* name) {
    const std::optional<std::string> raw = ini.RawValue(name);
    if (!raw) return std::nullopt;
    return ParseIniValue(*raw);
}

std::optional<std::string> ReadText(const IniDocument& ini, const char* name) {
    const std::optional<IniValue> value = ReadValue(ini, name);
    if (!value) return std::nullopt;
    return CutSettingsText(value->text);
}

// A decimal number, as QSettings converts a text to an integer: blanks around it and a
// sign allowed, 64 bits at most; the low four bytes are the value.
std::optional<uint32_t> ReadNumber(const IniDocument& ini, const char* name) {
    const std::optional<IniValue> value = ReadValue(ini, name);
    if (!value || value->list) return std::nullopt;
    const std::string& t = value->text;
    size_t i = 0;
    while (i < t.size() && (t[i] == ' ' || t[i] == '\t')) ++i;
    bool negative = false;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) negative = t[i++] == '-';
    const size_t digits = i;
    uint64_t number = 0;
    for (; i < t.size() && t[i] >= '0' && t[i] <= '9'; ++i) {
        const auto d = static_cast<uint64_t>(t[i] - '0');
        if (number > (UINT64_C(9223372036854775808) - d) / 10) return std::nullopt;  // beyond 64 bits
        number = number * 10 + d;
    }
    if (i == digits) return std::nullopt;
    while (i < t.size() && (t[i] == ' ' || t[i] == '\t')) ++i;
    if (i != t.size()) return std::nullopt;
    if (!negative && number > UINT64_C(9223372036854775807)) return std::nullopt;
    return static_cast<uint32_t>(negative ? 0 - number : number);
}

enum class FileState { Missing, Read, Unreadable };

FileState Load(const std::string& path, std::string& text) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return errno == ENOENT || errno == ENOTDIR ? FileState::Missing : FileState::Unreadable;
    FileBytes file = ReadFileBytes(path, kLargestSettingsFile, BeyondLimit::Refuse);
    if (file.status != FileBytes::Ok) return FileState::Unreadable;
    text = std::move(file.bytes);
    return FileState::Read;
}

}  // namespace

IniSettingsStore::IniSettingsStore(std::string path) : path_(std::move(path)) {}

std::string IniSettingsStore::DefaultPath() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    fs::path base;
    if (xdg != nullptr && fs::path(xdg).is_absolute()) {
        base = xdg;
    } else {
        // Without a home the root folder stands in, as it did for QSettings.
        const char* home = std::getenv("HOME");
        base = fs::path(home != nullptr && *home != '\0' ? home : "/") / ".config";
    }
    return (base / "Quorvel" / "VARIvor.conf").lexically_normal().generic_string();
}

std::optional<StoredSettings> IniSettingsStore::Read() {
    std::string text;
    if (Load(path_, text) != FileState::Read) return std::nullopt;
    const IniDocument ini(text);
    StoredSettings found;
    found.ispSetting = ReadNumber(ini, "ISPSetting");
    found.ispFileName = ReadText(ini, "ISPFileName");
    found.usbVidSet = ReadText(ini, "UsbVIDSet");
    found.usbPidSet = ReadText(ini, "UsbPIDSet");
    return found;
}

bool IniSettingsStore::Write(const SettingsToSave& values) {
    std::string text;
    const FileState state = Load(path_, text);
    if (state == FileState::Unreadable) return false;
    std::error_code ec;
    // A file its owner made read-only stays as it is.
    constexpr auto kWrite = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    if (state == FileState::Read && (fs::status(path_, ec).permissions() & kWrite) == fs::perms::none) return false;
    const fs::path folder = fs::path(path_).parent_path();
    if (!folder.empty()) {
        fs::create_directories(folder, ec);
        if (ec) return false;
    }
    IniDocument ini(text);
    ini.SetRawValue("ISPFileName", FormatIniText(CutSettingsText(values.ispFileName)));
    ini.SetRawValue("ISPSetting", std::to_string(values.ispSetting));
    ini.SetRawValue("UsbPIDSet", FormatIniText(CutSettingsText(values.usbPidSet)));
    ini.SetRawValue("UsbVIDSet", FormatIniText(CutSettingsText(values.usbVidSet)));
    const std::string out = ini.Text();
    std::string error;
    return WriteFileReplacing(path_, reinterpret_cast<const uint8_t*>(out.data()), out.size(), error);
}
