#include "settings_path.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStandardPaths>

#include "settings/settings_location.h"

namespace vek {

std::filesystem::path DefaultSettingsPath() {
    const QString fileName =
        QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName() + ".INI";
#if defined(_WIN32)
    return WindowsSettingsFile(QFileInfo(fileName).filesystemFilePath());
#else
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return QFileInfo(folder + '/' + fileName).filesystemFilePath();
#endif
}

}  // namespace vek
