#include "settings/IniSettingsStore.h"
#include "settings/SettingsStore.h"

std::unique_ptr<SettingsStore> MakeSettingsStore(const SettingsLocation& where) {
    return std::make_unique<IniSettingsStore>(where.iniFile.empty() ? IniSettingsStore::DefaultPath()
                                                                    : where.iniFile);
}
