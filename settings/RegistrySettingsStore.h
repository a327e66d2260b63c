#pragma once
// The settings in the Windows registry: four values under one key, "ISPSetting" as a
// REG_DWORD and the three texts as REG_SZ.
//
// - Read: the key is opened for reading in each place of `readFrom` in turn, and the
//   first one that opens is read whole: the user's hive first, then the machine-wide one
//   where earlier installations kept the values, in the 64-bit view and then in the
//   32-bit view (where Windows put the values of a 32-bit program). A value of another type than its own
//   counts as missing; a text is fetched in two steps (its size, then its bytes) and ends
//   at its first NUL or at its stored length, whichever comes first.
// - Write: the key is created (or opened) in `writeRoot`, non-volatile, with full access;
//   the four values are set, the key flushed and closed. Writing to the user's hive needs
//   no administrator rights, so a save is never lost.

#include <windows.h>

#include <string>
#include <vector>

#include "settings/SettingsStore.h"

// One hive in one registry view (0: the program's own; KEY_WOW64_32KEY: the 32-bit one).
struct RegistryHive {
    HKEY root;
    REGSAM view = 0;
};

struct RegistryPlace {
    HKEY writeRoot = HKEY_CURRENT_USER;
    std::vector<RegistryHive> readFrom = {
        {HKEY_CURRENT_USER}, {HKEY_LOCAL_MACHINE}, {HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY}};
    std::string subkey = "Software\\Quorvel\\VARIvor";
};

class RegistrySettingsStore final : public SettingsStore {
public:
    explicit RegistrySettingsStore(RegistryPlace place = {});

    std::optional<StoredSettings> Read() override;
    bool Write(const SettingsToSave& values) override;
    // e.g. "HKEY_CURRENT_USER\Software\Quorvel\VARIvor", the key a save writes.
    std::string Place() const override;

private:
    RegistryPlace place_;
};
