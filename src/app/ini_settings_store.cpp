#include "ini_settings_store.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>

namespace vek {

namespace {

// The longest text a read returns, as the private-profile functions' 4096-character buffer.
constexpr qsizetype MAX_TEXT_LENGTH = 4095;

// Names match without regard to case, as in the private-profile functions; the first match
// is the one in use.
QStringList Matching(const QStringList& names, const QString& wanted) {
    QStringList found;
    for (const QString& name : names) {
        if (name.compare(wanted, Qt::CaseInsensitive) == 0) {
            found.append(name);
        }
    }
    return found;
}

void EnterSection(QSettings& settings, const std::string& section) {
    const QString wanted = QString::fromStdString(section);
    const QStringList existing = Matching(settings.childGroups(), wanted);
    settings.beginGroup(existing.isEmpty() ? wanted : existing.first());
}

}  // namespace

QString DefaultSettingsPath() {
    const QString baseName = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + '/' +
           baseName + ".INI";
}

IniSettingsStore::IniSettingsStore(QString filePath) : filePath_(std::move(filePath)) {}

int IniSettingsStore::ReadSettingInt(const std::string& section, const std::string& key,
                                     int defaultValue) {
    const std::optional<QString> stored = ReadValue(section, key);
    if (!stored) {
        return defaultValue;
    }
    bool isNumber = false;
    const int value = stored->toInt(&isNumber, 10);
    return isNumber ? value : defaultValue;
}

std::string IniSettingsStore::ReadSettingText(const std::string& section, const std::string& key,
                                              const std::string& defaultText) {
    const QString text = ReadValue(section, key).value_or(QString::fromStdString(defaultText));
    return text.left(MAX_TEXT_LENGTH).toStdString();
}

bool IniSettingsStore::WriteSettingInt(const std::string& section, const std::string& key,
                                       int value) {
    return WriteValue(section, key, QString::number(value));
}

bool IniSettingsStore::WriteSettingText(const std::string& section, const std::string& key,
                                        const std::string& text) {
    return WriteValue(section, key, QString::fromStdString(text));
}

std::optional<QString> IniSettingsStore::ReadValue(const std::string& section,
                                                   const std::string& key) const {
    // Qt parses a malformed file leniently and reports that only to the first reader of it
    // (later ones get its cached parse), so the status is no guide: what parses is read.
    QSettings settings(filePath_, QSettings::IniFormat);
    EnterSection(settings, section);
    const QStringList keys = Matching(settings.childKeys(), QString::fromStdString(key));
    if (keys.isEmpty()) {
        return std::nullopt;
    }
    return settings.value(keys.first()).toString();
}

bool IniSettingsStore::WriteValue(const std::string& section, const std::string& key,
                                  const QString& value) {
    QSettings settings(filePath_, QSettings::IniFormat);
    // The status keeps its first error, so a malformed file's parse error would hide a failed
    // write: writability is checked on its own.
    if (!settings.isWritable()) {
        return false;
    }
    EnterSection(settings, section);
    // One entry per key: the first spelling stays, other spellings of it go.
    QStringList keys = Matching(settings.childKeys(), QString::fromStdString(key));
    const QString storedKey = keys.isEmpty() ? QString::fromStdString(key) : keys.takeFirst();
    for (const QString& duplicate : keys) {
        settings.remove(duplicate);
    }
    settings.setValue(storedKey, value);
    settings.endGroup();
    settings.sync();
    return settings.status() != QSettings::AccessError;
}

}  // namespace vek
