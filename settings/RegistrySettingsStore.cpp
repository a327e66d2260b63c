#include "settings/RegistrySettingsStore.h"

#include <cstring>

namespace {

// Closes an open key when it goes out of scope.
class OpenKey {
public:
    OpenKey() = default;
    ~OpenKey() {
        if (key_ != nullptr) RegCloseKey(key_);
    }
    OpenKey(const OpenKey&) = delete;
    OpenKey& operator=(const OpenKey&) = delete;
    HKEY* Out() { return &key_; }
    HKEY get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

std::optional<uint32_t> ReadNumber(HKEY key, const char* name) {
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof value;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof value)
        return std::nullopt;
    return value;
}

std::optional<std::string> ReadText(HKEY key, const char* name) {
    // The first call learns the size, the second fetches the bytes.
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return std::nullopt;
    if (type != REG_SZ && type != REG_EXPAND_SZ) return std::nullopt;
    // One byte more than stored, so the text ends in a NUL even when it was stored without.
    std::string text(size + 1, '\0');
    DWORD fetched = size;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &fetched) !=
            ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return std::nullopt;
    text.resize(strnlen(text.data(), fetched));
    return CutSettingsText(text);
}

bool WriteText(HKEY key, const char* name, const std::string& value) {
    const std::string text = CutSettingsText(value);
    return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>(text.size() + 1)) == ERROR_SUCCESS;
}

std::string RootName(HKEY root) {
    if (root == HKEY_CURRENT_USER) return "HKEY_CURRENT_USER";
    if (root == HKEY_LOCAL_MACHINE) return "HKEY_LOCAL_MACHINE";
    return "HKEY";
}

}  // namespace

RegistrySettingsStore::RegistrySettingsStore(RegistryPlace place) : place_(std::move(place)) {}

std::string RegistrySettingsStore::Place() const { return RootName(place_.writeRoot) + "\\" + place_.subkey; }

std::optional<StoredSettings> RegistrySettingsStore::Read() {
    for (const RegistryHive& hive : place_.readFrom) {
        OpenKey key;
        if (RegOpenKeyExA(hive.root, place_.subkey.c_str(), 0, KEY_READ | hive.view, key.Out()) != ERROR_SUCCESS)
            continue;
        StoredSettings found;
        found.ispSetting = ReadNumber(key.get(), "ISPSetting");
        found.ispFileName = ReadText(key.get(), "ISPFileName");
        found.usbVidSet = ReadText(key.get(), "UsbVIDSet");
        found.usbPidSet = ReadText(key.get(), "UsbPIDSet");
        return found;
    }
    return std::nullopt;
}

bool RegistrySettingsStore::Write(const SettingsToSave& values) {
    OpenKey key;
    if (RegCreateKeyExA(place_.writeRoot, place_.subkey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, key.Out(), nullptr) != ERROR_SUCCESS)
        return false;
    const DWORD setting = values.ispSetting;
    bool ok = RegSetValueExA(key.get(), "ISPSetting", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&setting),
                             sizeof setting) == ERROR_SUCCESS;
    ok = WriteText(key.get(), "ISPFileName", values.ispFileName) && ok;
    ok = WriteText(key.get(), "UsbVIDSet", values.usbVidSet) && ok;
    ok = WriteText(key.get(), "UsbPIDSet", values.usbPidSet) && ok;
    ok = RegFlushKey(key.get()) == ERROR_SUCCESS && ok;
    return ok;
}
