// The application's one window: menus, operation buttons, progress bar, Device list and the
// configuration fields. It owns the session and routes every command to the core.
#pragma once

#include <QDialog>
#include <QPoint>
#include <QPointer>
#include <QStringList>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "qt_user_interface.h"
#include "session/processor_selection.h"
#include "session/session.h"
#include "settings/ini_settings_store.h"
#include "web_links.h"

class QAction;
class QLabel;
class QMenuBar;
class QPushButton;
class QTimer;
class QToolButton;

namespace vek {

class ConfigurationFields;
class DeviceList;
class HexDataWindow;
class RecentFilesMenu;

class MainWindow : public QDialog {
    Q_OBJECT
  public:
    // Initialises completely, including the start-up connection and its messages.
    MainWindow(const std::filesystem::path& settingsPath, const UsbSetup& usb = {},
               PauseFunction pause = SleepPause);

    // True once the window is ending or has ended; a link that failed for good ends it, already
    // during start-up, and then it must not be shown.
    bool HasEnded() const { return endResult_.has_value() || session_.link.IsShutDown(); }

    // The web links open their addresses through this; the desktop's browser by default.
    void SetWebOpener(WebOpener opener) { webOpener_ = std::move(opener); }

    // `vekflash FILE`: opens FILE as the file dialog would; `arguments` starts with the program
    // name, as QCoreApplication::arguments() does. Without a file nothing happens.
    void OpenCommandLineFile(const QStringList& arguments);

    // Every way of ending arrives here; while a command runs, the end waits for its return.
    void done(int result) override;

  protected:
    void moveEvent(QMoveEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void BuildControls();
    QMenuBar* BuildMenus();
    void ConnectCommands();
    void Initialise();
    void SetOperationIcons();
    void SetToolTips();
    void SetTabOrder();
    void RestorePosition();

    // Runs a command handler, counting it as running so that the window outlives it. A link
    // that failed for good ends the window once the command in progress has returned.
    void RunCommand(const std::function<void()>& command);
    void ApplyLayout(const FamilyLayout& layout);
    void UpdateConnectionLabel();
    // "USB driver: libftdi1": the driver the link is bound to, for the tooltip and About.
    QString DriverText() const;
    void OnPollTimer();
    void OnDeviceSelectionChanged();
    void OnDeviceListClosedUp();
    void OnAllowTargetPower(bool checkedNow);
    // Saves the board picked among the attached ones and connects to it.
    void ChooseProgrammer();
    void OpenHexFile();
    // The one way a file is opened, whether the dialog, the recent list or a drop chose it.
    void OpenFile(const std::string& path);
    void OpenRecentFile(const std::string& path);
    void OpenDroppedFile(const std::string& path);
    void SaveReadData();
    void SetOperationRunning(bool running);
    void PrepareHexDataWindow();
    void ShowHexDataLines(const std::vector<std::string>& lines);
    void Exit();
    void EndThroughOkPath();

    WindowControls controls_;
    WindowHooks hooks_;
    QtUserInterface ui_;
    IniSettingsStore settings_;
    Session session_;

    DeviceList* deviceList_ = nullptr;
    QToolButton* blankCheckButton_ = nullptr;
    QToolButton* eraseButton_ = nullptr;
    QToolButton* programButton_ = nullptr;
    QToolButton* verifyButton_ = nullptr;
    QToolButton* readButton_ = nullptr;
    QLabel* fuseLabel_ = nullptr;
    QLabel* fuseXLabel_ = nullptr;
    QLabel* devWordLabel_ = nullptr;
    QPushButton* fuseSetButton_ = nullptr;
    QPushButton* fuseXSetButton_ = nullptr;
    QPushButton* lastConfigButton_ = nullptr;
    QLabel* connectionLabel_ = nullptr;
    QTimer* pollTimer_ = nullptr;

    ConfigurationFields* configurationFields_ = nullptr;
    RecentFilesMenu* recentFiles_ = nullptr;
    QPointer<HexDataWindow> hexDataWindow_;
    // The control that had the focus when the running operation started.
    QPointer<QWidget> focusBeforeOperation_;

    QAction* openHexFileAction_ = nullptr;
    QAction* saveReadDataAction_ = nullptr;
    QAction* exitAction_ = nullptr;
    QAction* eraseBeforeProgramAction_ = nullptr;
    QAction* programAction_ = nullptr;
    QAction* verifyAction_ = nullptr;
    QAction* readAction_ = nullptr;
    QAction* connectAction_ = nullptr;
    QAction* testCommunicationAction_ = nullptr;
    QAction* allowTargetPowerAction_ = nullptr;
    QAction* blankCheckAction_ = nullptr;
    QAction* eraseAction_ = nullptr;
    QAction* applyTargetPowerAction_ = nullptr;
    QAction* usbDescriptionAction_ = nullptr;
    QAction* chooseProgrammerAction_ = nullptr;
    QAction* gotoVekDesignAction_ = nullptr;
    QAction* gotoFtdiAction_ = nullptr;
    QAction* downloadDriversAction_ = nullptr;
    QAction* aboutAction_ = nullptr;
    WebOpener webOpener_ = OpenWithDesktop;

    // Client-area position as last reported by a move; saved on every timer tick.
    QPoint clientPosition_;
    int runningCommands_ = 0;
    std::optional<int> endResult_;
};

}  // namespace vek
