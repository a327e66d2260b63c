#include "settings/IniSettingsStore.h"
#include "settings/RegistrySettingsStore.h"
#include "settings/SettingsStore.h"

// The registry, unless the location names an INI file.
std::unique_ptr<SettingsStore> MakeSettingsStore(const SettingsLocation& where) {
    if (where.iniFile.empty()) return std::make_unique<RegistrySettingsStore>();
    return std::make_unique<IniSettingsStore>(where.iniFile);
}
