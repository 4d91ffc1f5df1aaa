#include "settings_path.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStandardPaths>

namespace vek {

std::filesystem::path DefaultSettingsPath() {
    const QString baseName = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return QFileInfo(folder + '/' + baseName + ".INI").filesystemFilePath();
}

}  // namespace vek
