#pragma once
// The settings as an INI file in the format QSettings (IniFormat) reads and writes (see
// IniText.h), so that files written by earlier versions load unchanged.
//
// A save rewrites only the four values' lines and keeps every other line of the file as
// it was; the new file replaces the old one atomically (temporary file, flushed, renamed
// over it). A file that cannot be read is never replaced, so a save cannot lose lines it
// did not see.

#include <string>

#include "settings/SettingsStore.h"

class IniSettingsStore final : public SettingsStore {
public:
    explicit IniSettingsStore(std::string path);

    std::optional<StoredSettings> Read() override;
    bool Write(const SettingsToSave& values) override;
    std::string Place() const override { return path_; }

    // $XDG_CONFIG_HOME/Quorvel/VARIvor.conf, or $HOME/.config/... when the variable is
    // unset, empty or not an absolute path (which the base-directory rules say to ignore).
    static std::string DefaultPath();

private:
    std::string path_;
};
