// The File menu's list of the HEX files opened last, numbered, between the save item's
// separator and "&Exit".
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <string>
#include <vector>

#include "link/reporter.h"
#include "settings/settings_store.h"

class QAction;
class QMenu;

namespace vek {

class RecentFilesMenu : public QObject {
    Q_OBJECT
  public:
    using Choose = std::function<void(const std::string& path)>;
    // The items go into menu before `before`; choosing one calls choose with its path.
    RecentFilesMenu(QMenu* menu, QAction* before, SettingsStore& settings, Choose choose);

    // A file has been opened: it comes first.
    void Remember(const std::string& path);
    // A chosen file that no longer exists is reported and taken off the list; true when the
    // file is there to be opened.
    bool KeepIfPresent(Reporter& reporter, const std::string& path);
    // While an operation runs no other file may be opened.
    void SetEnabled(bool enabled);

  private:
    // The items as the settings hold the list now; another window may have changed it.
    void Rebuild();

    QMenu* menu_;
    QAction* before_;
    SettingsStore& settings_;
    Choose choose_;
    std::vector<QAction*> items_;
    bool enabled_ = true;
};

}  // namespace vek
