#include "settings_path.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStandardPaths>

#include "settings/settings_location.h"

namespace vek {

std::filesystem::path DefaultSettingsPath() {
    const QString fileName =
        QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName() + ".INI";
    if (const std::optional<std::filesystem::path> file =
            SystemSettingsFile(QFileInfo(fileName).filesystemFilePath())) {
        return *file;
    }
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return QFileInfo(folder + '/' + fileName).filesystemFilePath();
}

}  // namespace vek
