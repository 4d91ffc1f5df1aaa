#include "recent_files_menu.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMenu>

#include "session/recent_files.h"

namespace vek {

namespace {

// "&1 /path/to/file.hex"; an ampersand in the path is shown, not taken as a mnemonic.
QString ItemText(int number, const std::string& path) {
    QString shown = QDir::toNativeSeparators(QString::fromStdString(path));
    shown.replace('&', "&&");
    return QString("&%1 %2").arg(number).arg(shown);
}

}  // namespace

RecentFilesMenu::RecentFilesMenu(QMenu* menu, QAction* before, SettingsStore& settings,
                                 Choose choose)
    : QObject(menu), menu_(menu), before_(before), settings_(settings), choose_(std::move(choose)) {
    menu_->insertSeparator(before_);
    connect(menu_, &QMenu::aboutToShow, this, &RecentFilesMenu::Rebuild);
    Rebuild();
}

void RecentFilesMenu::Remember(const std::string& path) {
    RememberHexFile(settings_, path);
    Rebuild();
}

void RecentFilesMenu::SetEnabled(bool enabled) {
    enabled_ = enabled;
    for (QAction* item : items_) {
        item->setEnabled(enabled);
    }
}

void RecentFilesMenu::Rebuild() {
    for (QAction* item : items_) {
        menu_->removeAction(item);
        item->deleteLater();
    }
    items_.clear();
    const std::vector<std::string> files = RecentHexFiles(settings_);
    for (std::size_t i = 0; i < files.size(); ++i) {
        const int number = static_cast<int>(i) + 1;
        auto* item = new QAction(ItemText(number, files[i]), menu_);
        item->setObjectName(QString("recentFileAction%1").arg(number));
        item->setEnabled(enabled_);
        const std::string path = files[i];
        connect(item, &QAction::triggered, this, [this, path] { choose_(path); });
        menu_->insertAction(before_, item);
        items_.push_back(item);
    }
    // A separator after the list too, so that "&Exit" stands apart from the files.
    if (!items_.empty()) {
        auto* closing = new QAction(menu_);
        closing->setSeparator(true);
        menu_->insertAction(before_, closing);
        items_.push_back(closing);
    }
}

bool RecentFilesMenu::KeepIfPresent(Reporter& reporter, const std::string& path) {
    if (QFileInfo::exists(QString::fromStdString(path))) {
        return true;
    }
    ForgetHexFile(settings_, path);
    Rebuild();
    reporter.ShowMessage("The file " + path +
                         " no longer exists.\nIt has been taken off the list of recent files.");
    return false;
}

}  // namespace vek
