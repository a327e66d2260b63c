#pragma once
// The settings in the Windows registry: four values under one key, "ISPSetting" as a
// REG_DWORD and the three texts as REG_SZ.
//
// - Read: the key is opened for reading in each hive of `readRoots` in turn, and the
//   first one that opens is read whole (the user's hive first, then the machine-wide one
//   where earlier installations kept the values). A value of another type than its own
//   counts as missing; a text is fetched in two steps (its size, then its bytes) and ends
//   at its first NUL or at its stored length, whichever comes first.
// - Write: the key is created (or opened) in `writeRoot`, non-volatile, with full access;
//   the four values are set, the key flushed and closed. Writing to the user's hive needs
//   no administrator rights, so a save is never lost.

#include <windows.h>

#include <string>
#include <vector>

#include "settings/SettingsStore.h"

struct RegistryPlace {
    HKEY writeRoot = HKEY_CURRENT_USER;
    std::vector<HKEY> readRoots = {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE};
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
