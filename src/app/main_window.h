// The application's one window: menus, operation buttons, progress bar, Device list and the
// configuration fields. It owns the programmer, the workspace and its own state, and turns
// its controls into the core's requests and the results into its controls.
#pragma once

#include <QDialog>
#include <QPoint>
#include <QPointer>
#include <QStringList>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "operations/operation_result.h"
#include "operations/production_loop.h"
#include "production_window.h"
#include "qt_reporter.h"
#include "session/job_file.h"
#include "session/processor_selection.h"
#include "session/programmer.h"
#include "session/window_state.h"
#include "session/workspace.h"
#include "settings/ini_settings_store.h"
#include "web_links.h"

class QAction;
class QFileSystemWatcher;
class QLabel;
class QLineEdit;
class QMenuBar;
class QProgressBar;
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
    bool HasEnded() const { return endResult_.has_value() || programmer_.link.IsShutDown(); }

    // The web links open their addresses through this; the desktop's browser by default.
    void SetWebOpener(WebOpener opener) { webOpener_ = std::move(opener); }

    // `vekflash FILE`: opens FILE as the file dialog would, or as File > "Open Job..." would
    // when it ends in ".vekjob"; `arguments` starts with the program name, as
    // QCoreApplication::arguments() does. Without a file nothing happens.
    void OpenCommandLineFile(const QStringList& arguments);

    // Every way of ending arrives here; while a command runs, the end waits for its return.
    void done(int result) override;

  protected:
    void moveEvent(QMoveEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    // The system menu's About item, where the platform has one.
    bool nativeEvent(const QByteArray& eventType, void* message, qintptr* result) override;

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
    // The device operations, from their buttons and menu items.
    void OnBlankCheck();
    void OnErase();
    void OnProgram();
    void VerifyTarget();
    void ReadTarget();
    // After an operation that stopped on the chip's ID: names the chip in the socket when it is
    // another of the target's family, and offers to select it.
    void OfferChipInSocket(const OperationResult& result, const DeviceInfo& target);
    // The Device list's row into CurrentTarget, unless an operation runs, which keeps its own.
    const DeviceInfo& SelectedTarget();
    // The texts of the fields, and showing new ones (with a repaint).
    FieldTexts TakeFieldTexts() const;
    void ShowFieldTexts(const FieldTexts& texts);
    void ApplyLayout(const FamilyLayout& layout);
    void UpdateConnectionLabel();
    // "USB driver: libftdi1": the driver the link is bound to, for the tooltip and About.
    QString DriverText() const;
    void OnPollTimer();
    void OnDeviceSelectionChanged();
    void OnDeviceListClosedUp();
    void OnAllowTargetPower(bool checkedNow);
    // "Program When File Changes": while the item is checked the chosen file is watched, and
    // programmed once it has been left alone for a while after each change.
    void OnProgramWhenFileChanges(bool checked);
    void UpdateFileWatch();
    void OnWatchedPathChanged();
    void ProgramRebuiltFile();
    // From the About menu and, on Windows, the system menu.
    void ShowAbout();
    // Saves the board picked among the attached ones and connects to it.
    void ChooseProgrammer();
    void OpenHexFile();
    // The one way a file is opened, whether the dialog, the recent list or a drop chose it.
    // False when the file could not be used.
    bool OpenFile(const std::string& chosen);
    void OpenRecentFile(const std::string& path);
    void OpenDroppedFile(const std::string& path);
    void SaveReadData();
    // File > "Open Job...", "Save Job As...", "Close Job": a job fills the window and pins its
    // device, file and words until it is closed.
    void OpenJob();
    void OpenJobFile(const std::string& path);
    void SaveJobAs();
    void CloseJob();
    void ApplyJobLock();
    void EnableFileAndTarget(bool enabled);
    // The job's HEX file is still the one it pins; else says so.
    bool JobHexFileUnchanged(const ProductionJob& job, const std::string& jobPath);
    // Commands > "Production Mode...": the open job's chips one after another.
    void OpenProductionWindow();
    ChipWork ProgramProductionChip();
    void SetOperationRunning(bool running);
    // "Checksum: XXXX" of what Program would write from the file and the fields as they
    // stand, or of the chip after a Read; empty when there is none.
    void ShowFileChecksum();
    void ShowChecksum(std::optional<std::uint16_t> checksum, const QString& of);
    // "Preserve Device EEPROM" is offered for a chip with EEPROM only.
    void OfferPreserveEeprom();
    // A Setup item whose check mark is saved under `key`.
    void RestoreSavedCheck(QAction* item, const char* key);
    void ShowTargetId(int id);
    void PrepareHexDataWindow();
    void ShowHexDataLines(const std::vector<std::string>& lines);
    void Exit();
    void EndThroughOkPath();

    QtReporter reporter_;
    IniSettingsStore settings_;
    Programmer programmer_;
    Workspace workspace_;
    WindowState state_;

    DeviceList* deviceList_ = nullptr;
    QProgressBar* progressBar_ = nullptr;
    QLineEdit* hexFileField_ = nullptr;
    QLineEdit* fuseField_ = nullptr;
    QLineEdit* fuseXField_ = nullptr;
    QLineEdit* devWordField_ = nullptr;
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
    QLabel* checksumLabel_ = nullptr;
    QTimer* pollTimer_ = nullptr;
    QLabel* watchingLabel_ = nullptr;
    QFileSystemWatcher* fileWatcher_ = nullptr;
    QTimer* rebuildTimer_ = nullptr;  // runs out once the watched file has been left alone
    QString watchedStamp_;            // of the watched file as last looked at

    ConfigurationFields* configurationFields_ = nullptr;
    RecentFilesMenu* recentFiles_ = nullptr;
    QPointer<HexDataWindow> hexDataWindow_;
    // The control that had the focus when the running operation started.
    QPointer<QWidget> focusBeforeOperation_;

    QAction* openHexFileAction_ = nullptr;
    QAction* saveReadDataAction_ = nullptr;
    QAction* exitAction_ = nullptr;
    QAction* openJobAction_ = nullptr;
    QAction* saveJobAction_ = nullptr;
    QAction* closeJobAction_ = nullptr;
    QAction* eraseBeforeProgramAction_ = nullptr;
    QAction* programWhenFileChangesAction_ = nullptr;
    QAction* preserveEepromAction_ = nullptr;
    QAction* verifyAfterProgramAction_ = nullptr;
    QAction* programAction_ = nullptr;
    QAction* verifyAction_ = nullptr;
    QAction* readAction_ = nullptr;
    QAction* connectAction_ = nullptr;
    QAction* testCommunicationAction_ = nullptr;
    QAction* allowTargetPowerAction_ = nullptr;
    QAction* blankCheckAction_ = nullptr;
    QAction* eraseAction_ = nullptr;
    QAction* applyTargetPowerAction_ = nullptr;
    QAction* productionModeAction_ = nullptr;
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
    std::optional<ProductionJob> job_;
    std::string jobPath_;
};

}  // namespace vek
