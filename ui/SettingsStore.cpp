#include "ui/SettingsStore.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStringList>
#include <QVariant>
#include <algorithm>
#include <memory>

namespace {

constexpr uint32_t kRangeMaxKb = 2040;

#ifdef _WIN32
// The machine-wide key; QSettings reaches the registry in its native format.
constexpr const char* kRegistryParent = "HKEY_LOCAL_MACHINE\\Software\\Quorvel";
constexpr const char* kRegistryKey = "HKEY_LOCAL_MACHINE\\Software\\Quorvel\\VARIvor";
#endif

// $XDG_CONFIG_HOME/Quorvel/VARIvor.conf, or ~/.config/... when the variable is unset,
// empty or not an absolute path (which the base-directory rules say to ignore).
QString DefaultIniPath() {
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base)) base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/Quorvel/VARIvor.conf");
}

QString IniPath(const SettingsLocation& where) {
    if (!where.iniFile.empty()) return QString::fromStdString(where.iniFile);
    return DefaultIniPath();
}

bool UsesRegistry(const SettingsLocation& where) {
#ifdef _WIN32
    return where.iniFile.empty();
#else
    (void)where;
    return false;
#endif
}

std::unique_ptr<QSettings> OpenStore(const SettingsLocation& where) {
#ifdef _WIN32
    if (UsesRegistry(where))
        return std::make_unique<QSettings>(QString::fromLatin1(kRegistryKey), QSettings::NativeFormat);
#endif
    return std::make_unique<QSettings>(IniPath(where), QSettings::IniFormat);
}

bool KeyExists(const SettingsLocation& where) {
#ifdef _WIN32
    if (UsesRegistry(where)) {
        QSettings parent(QString::fromLatin1(kRegistryParent), QSettings::NativeFormat);
        return parent.childGroups().contains(QStringLiteral("VARIvor"), Qt::CaseInsensitive);
    }
#endif
    const QFileInfo file(IniPath(where));
    return file.isFile() && file.isReadable();
}

QString CutText(const QString& text) { return text.left(static_cast<qsizetype>(kSettingsTextMax)); }

std::optional<std::string> ReadText(const QSettings& store, const char* name) {
    const QVariant value = store.value(QString::fromLatin1(name));
    if (!value.isValid()) return std::nullopt;
    // An INI value with commas reads back as a list; it is still one text.
    const QString text = value.metaType().id() == QMetaType::QStringList
                             ? value.toStringList().join(QLatin1Char(','))
                             : value.toString();
    return CutText(text).toStdString();
}

std::optional<uint32_t> ReadNumber(const QSettings& store, const char* name) {
    const QVariant value = store.value(QString::fromLatin1(name));
    if (!value.isValid()) return std::nullopt;
    bool ok = false;
    const qlonglong number = value.toLongLong(&ok);
    if (!ok) return std::nullopt;
    // Four bytes as stored, whatever the sign the store gives them.
    return static_cast<uint32_t>(number);
}

}  // namespace

std::string SettingsPlace(const SettingsLocation& where) {
#ifdef _WIN32
    if (UsesRegistry(where)) return kRegistryKey;
#endif
    return IniPath(where).toStdString();
}

std::optional<StoredSettings> ReadStoredSettings(const SettingsLocation& where) {
    if (!KeyExists(where)) return std::nullopt;
    const auto store = OpenStore(where);
    if (store->status() != QSettings::NoError) return std::nullopt;
    StoredSettings found;
    found.ispSetting = ReadNumber(*store, "ISPSetting");
    found.ispFileName = ReadText(*store, "ISPFileName");
    found.usbVidSet = ReadText(*store, "UsbVIDSet");
    found.usbPidSet = ReadText(*store, "UsbPIDSet");
    return found;
}

bool WriteStoredSettings(const SettingsLocation& where, const SettingsToSave& values) {
    if (!UsesRegistry(where)) {
        const QFileInfo file(IniPath(where));
        if (!QDir().mkpath(file.absolutePath())) return false;
        if (file.exists() && !file.isWritable()) return false;
    }
    const auto store = OpenStore(where);
    if (store->status() != QSettings::NoError) return false;
    store->setValue(QStringLiteral("ISPSetting"), values.ispSetting);
    store->setValue(QStringLiteral("ISPFileName"), CutText(QString::fromStdString(values.ispFileName)));
    store->setValue(QStringLiteral("UsbVIDSet"), CutText(QString::fromStdString(values.usbVidSet)));
    store->setValue(QStringLiteral("UsbPIDSet"), CutText(QString::fromStdString(values.usbPidSet)));
    store->sync();
    return store->status() == QSettings::NoError;
}

uint32_t ComposeIspSetting(const IspSetting& setting) {
    uint32_t bits = 0;
    for (size_t i = 0; i < setting.boxes.size(); ++i)
        if (setting.boxes[i]) bits |= 1u << i;
    if (setting.rangeAll) bits |= 0x80;
    const uint32_t start = std::min(setting.startKb, kRangeMaxKb) / 8;
    const uint32_t size = std::min(setting.sizeKb, kRangeMaxKb) / 8;
    return ((start * 256 + size) * 256) | bits;
}

IspSetting DecodeIspSetting(uint32_t value) {
    IspSetting setting;
    for (size_t i = 0; i < setting.boxes.size(); ++i) setting.boxes[i] = (value >> i) & 1;
    setting.rangeAll = (value & 0x80) != 0;
    setting.sizeKb = ((value >> 8) & 0xFF) * 8;
    setting.startKb = ((value >> 16) & 0xFF) * 8;
    return setting;
}

std::optional<uint32_t> StoredRangeKb(const std::string& text) {
    if (text.empty()) return std::nullopt;
    uint32_t kb = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        // Past the limit the value stays at it, however many digits follow.
        kb = std::min<uint32_t>(kb * 10 + static_cast<uint32_t>(c - '0'), kRangeMaxKb + 1);
    }
    return std::min(kb, kRangeMaxKb) / 8 * 8;
}
