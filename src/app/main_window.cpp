#include "main_window.h"

#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QScreen>
#include <QTimer>
#include <QToolButton>
#include <algorithm>

#include "about_dialog.h"
#include "board_chooser_dialog.h"
#include "configuration_fields.h"
#include "device/device_table.h"
#include "device/hex_text.h"
#include "device/listing.h"
#include "device_list.h"
#include "driver_download_dialog.h"
#include "hex_data_window.h"
#include "hex_file_chooser.h"
#include "hex_file_drop.h"
#include "link/attached_boards.h"
#include "link/web_addresses.h"
#include "operations/blank_erase.h"
#include "operations/device_id.h"
#include "operations/job_chip.h"
#include "operations/operation_claim.h"
#include "operations/program.h"
#include "operations/read.h"
#include "operations/verify.h"
#include "painted_icons.h"
#include "pic_config_editor.h"
#include "read_data_saver.h"
#include "recent_files_menu.h"
#include "session/connection.h"
#include "session/hex_file_open.h"
#include "session/rebuild_watch.h"
#include "sx_fuse_editor.h"
#include "sx_fusex_editor.h"
#include "system_menu.h"
#include "usb_description_dialog.h"

namespace vek {

namespace {

constexpr const char* WINDOW_TITLE = "VEK-Flash V" VEK_VERSION " ";
constexpr int DEFAULT_POSITION = 100;

// A window wholly outside every screen, for example on a monitor unplugged since, cannot be
// reached by the person.
bool IsOnAnyScreen(const QRect& area) {
    const QList<QScreen*> screens = QGuiApplication::screens();
    return std::any_of(screens.begin(), screens.end(),
                       [&](const QScreen* screen) { return screen->geometry().intersects(area); });
}

// What tells one version of a file from the next: its size and time of writing; empty when
// there is no file.
QString FileStamp(const QString& path) {
    const QFileInfo file(path);
    return file.exists() ? QString::number(file.size()) + " " +
                               file.lastModified().toString(Qt::ISODateWithMs)
                         : QString();
}

QString ToQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

MainWindow::MainWindow(const std::filesystem::path& settingsPath, const UsbSetup& usb,
                       PauseFunction pause)
    : reporter_(this,
                {.setProgress = [this](int percent) { progressBar_->setValue(percent); },
                 .setOperationRunning = [this](bool running) { SetOperationRunning(running); },
                 .showTargetId = [this](int id) { ShowTargetId(id); }},
                std::move(pause)),
      settings_(settingsPath),
      programmer_(reporter_, usb),
      state_(settings_) {
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    BuildControls();
    configurationFields_ = new ConfigurationFields(
        state_, reporter_,
        {fuseField_, fuseXField_, fuseSetButton_, fuseXSetButton_, lastConfigButton_,
         blankCheckButton_, deviceList_},
        [this] { SelectedTarget(); },
        [this](EditorKind kind, ConfigEditor::ShowInField showInField) -> ConfigEditor* {
            switch (kind) {
                case EditorKind::SxFuse:
                    return new SxFuseEditor(this, state_, std::move(showInField));
                case EditorKind::SxFuseX:
                    return new SxFuseXEditor(this, state_, std::move(showInField));
                case EditorKind::PicConfig:
                    break;
            }
            return new PicConfigEditor(this, state_, std::move(showInField));
        });
    configurationFields_->setParent(this);
    new HexFileDrop(
        this, [this] { return !programmer_.BusyFlag && !HasEnded() && !job_; },
        [this](const QString& path) { OpenDroppedFile(path.toStdString()); });
    ConnectCommands();
    Initialise();
}

void MainWindow::ConnectCommands() {
    const auto blankCheck = [this] { RunCommand([this] { OnBlankCheck(); }); };
    const auto erase = [this] { RunCommand([this] { OnErase(); }); };
    connect(blankCheckButton_, &QToolButton::clicked, this, blankCheck);
    connect(blankCheckAction_, &QAction::triggered, this, blankCheck);
    connect(eraseButton_, &QToolButton::clicked, this, erase);
    connect(eraseAction_, &QAction::triggered, this, erase);
    const auto program = [this] { RunCommand([this] { OnProgram(); }); };
    connect(programButton_, &QToolButton::clicked, this, program);
    connect(programAction_, &QAction::triggered, this, program);
    const auto verify = [this] { RunCommand([this] { VerifyTarget(); }); };
    connect(verifyButton_, &QToolButton::clicked, this, verify);
    connect(verifyAction_, &QAction::triggered, this, verify);
    const auto read = [this] { RunCommand([this] { ReadTarget(); }); };
    connect(readButton_, &QToolButton::clicked, this, read);
    connect(readAction_, &QAction::triggered, this, read);
    connect(openHexFileAction_, &QAction::triggered, this, &MainWindow::OpenHexFile);
    connect(saveReadDataAction_, &QAction::triggered, this, &MainWindow::SaveReadData);
    connect(openJobAction_, &QAction::triggered, this, &MainWindow::OpenJob);
    connect(saveJobAction_, &QAction::triggered, this, &MainWindow::SaveJobAs);
    connect(closeJobAction_, &QAction::triggered, this, &MainWindow::CloseJob);
    connect(productionModeAction_, &QAction::triggered, this, &MainWindow::OpenProductionWindow);
    connect(connectAction_, &QAction::triggered, this,
            [this] { RunCommand([this] { Connect(programmer_); }); });
    connect(testCommunicationAction_, &QAction::triggered, this,
            [this] { RunCommand([this] { TestCommunication(programmer_); }); });
    connect(allowTargetPowerAction_, &QAction::triggered, this, &MainWindow::OnAllowTargetPower);
    connect(applyTargetPowerAction_, &QAction::triggered, this,
            [this] { RunCommand([this] { ApplyTargetPowerNow(programmer_); }); });
    connect(exitAction_, &QAction::triggered, this, &MainWindow::Exit);
    connect(usbDescriptionAction_, &QAction::triggered, this,
            [this] { RunCommand([this] { UsbDescriptionDialog(this).exec(); }); });
    connect(chooseProgrammerAction_, &QAction::triggered, this,
            [this] { RunCommand([this] { ChooseProgrammer(); }); });
    connect(downloadDriversAction_, &QAction::triggered, this,
            [this] { RunCommand([this] { DriverDownloadDialog(this, webOpener_).exec(); }); });
    connect(aboutAction_, &QAction::triggered, this, &MainWindow::ShowAbout);
    connect(gotoVekDesignAction_, &QAction::triggered, this, [this] {
        RunCommand([this] { OpenWebAddress(webOpener_, MAKER_WEB_ADDRESS, this); });
    });
    connect(gotoFtdiAction_, &QAction::triggered, this,
            [this] { RunCommand([this] { OpenWebAddress(webOpener_, FTDI_WEB_ADDRESS, this); }); });
    connect(pollTimer_, &QTimer::timeout, this, &MainWindow::OnPollTimer);

    fileWatcher_ = new QFileSystemWatcher(this);
    fileWatcher_->setObjectName("fileWatcher");
    rebuildTimer_ = new QTimer(this);
    rebuildTimer_->setObjectName("rebuildTimer");
    rebuildTimer_->setSingleShot(true);
    rebuildTimer_->setInterval(REBUILD_QUIET_MS);
    connect(programWhenFileChangesAction_, &QAction::triggered, this,
            &MainWindow::OnProgramWhenFileChanges);
    connect(fileWatcher_, &QFileSystemWatcher::fileChanged, this,
            &MainWindow::OnWatchedPathChanged);
    connect(fileWatcher_, &QFileSystemWatcher::directoryChanged, this,
            &MainWindow::OnWatchedPathChanged);
    connect(rebuildTimer_, &QTimer::timeout, this, &MainWindow::ProgramRebuiltFile);
}

void MainWindow::Initialise() {
    ShowFieldTexts(FieldTexts{});
    AddAboutToSystemMenu(this);
    setWindowIcon(ApplicationIcon());
    setWindowTitle(WINDOW_TITLE);
    programmer_.link.SetFastTransfers(
        settings_.ReadSettingInt(SETTINGS_SECTION, KEY_FAST_TRANSFERS, 1) != 0);
    // A value we do not know leaves the choice to the program.
    programmer_.link.ChooseDriver(
        ParseUsbDriverChoice(settings_.ReadSettingText(SETTINGS_SECTION, KEY_USB_DRIVER, "auto"))
            .value_or(AUTO_USB_DRIVER));
    programmer_.BoardSerial = settings_.ReadSettingText(SETTINGS_SECTION, KEY_BOARD_SERIAL, "");
    RestoreSavedCheck(preserveEepromAction_, KEY_PRESERVE_EEPROM);
    RestoreSavedCheck(verifyAfterProgramAction_, KEY_VERIFY_AFTER_PROGRAM);
    RunCommand([this] { StartupConnection(programmer_); });

    for (const DeviceInfo& device : DeviceTable) {
        deviceList_->addItem(ToQString(device.name));
    }
    const int row = SavedSelectionRow(state_);
    deviceList_->setCurrentIndex(row);
    FieldTexts fields = TakeFieldTexts();
    ApplyLayout(ApplyFamilyLayout(state_, fields, row));
    ShowFieldTexts(fields);
    // Connected only now: filling and restoring the list are no selection by the person.
    connect(deviceList_, &QComboBox::currentIndexChanged, this,
            &MainWindow::OnDeviceSelectionChanged);
    connect(deviceList_, &DeviceList::closedUp, this, &MainWindow::OnDeviceListClosedUp);
    OfferPreserveEeprom();
    // The configuration words count: whatever changes a field, the person or an editor.
    for (QLineEdit* field : {fuseField_, fuseXField_}) {
        connect(field, &QLineEdit::textChanged, this, &MainWindow::ShowFileChecksum);
    }

    SetOperationIcons();
    SetToolTips();
    SetTabOrder();
    setFixedSize(sizeHint());
    RestorePosition();
    if (!HasEnded()) {
        pollTimer_->start();
    }
}

// The saved position is the top-left corner of the window's own area, inside the frame that
// the window manager draws; setGeometry places exactly that corner.
void MainWindow::RestorePosition() {
    clientPosition_ =
        QPoint(settings_.ReadSettingInt(SETTINGS_SECTION, KEY_SCREEN_X, DEFAULT_POSITION),
               settings_.ReadSettingInt(SETTINGS_SECTION, KEY_SCREEN_Y, DEFAULT_POSITION));
    if (!IsOnAnyScreen(QRect(clientPosition_, size()))) {
        clientPosition_ = QPoint(DEFAULT_POSITION, DEFAULT_POSITION);
    }
    setGeometry(QRect(clientPosition_, size()));
}

bool MainWindow::nativeEvent(const QByteArray& eventType, void* message, qintptr* result) {
    if (IsAboutCommand(eventType, message)) {
        ShowAbout();
        *result = 0;
        return true;
    }
    return QDialog::nativeEvent(eventType, message, result);
}

void MainWindow::moveEvent(QMoveEvent* event) {
    QDialog::moveEvent(event);
    // The event's own position includes the frame on some platforms; the geometry never does.
    clientPosition_ = geometry().topLeft();
}

void MainWindow::RunCommand(const std::function<void()>& command) {
    if (HasEnded()) {
        return;
    }
    ++runningCommands_;
    command();
    --runningCommands_;
    UpdateConnectionLabel();
    if (programmer_.link.IsShutDown()) {
        done(QDialog::Accepted);
    } else if (runningCommands_ == 0 && HasEnded()) {
        QDialog::done(*endResult_);
    }
}

void MainWindow::done(int result) {
    if (!endResult_) {
        endResult_ = result;
    }
    pollTimer_->stop();
    if (runningCommands_ == 0) {
        QDialog::done(*endResult_);
    }
}

void MainWindow::ApplyLayout(const FamilyLayout& layout) {
    fuseLabel_->setText(QString::fromStdString(layout.fuseLabel));
    devWordLabel_->setText(QString::fromStdString(layout.devWordLabel));
    fuseXLabel_->setEnabled(layout.fuseXControlsEnabled);
    configurationFields_->SetSxControlsEnabled(layout.fuseXControlsEnabled);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    // The field never keeps the focus (the command moves it on), so a focus it gets is the
    // person's click or Tab.
    if (watched == hexFileField_ && event->type() == QEvent::FocusIn) {
        QTimer::singleShot(0, this, &MainWindow::OpenHexFile);
    }
    return QDialog::eventFilter(watched, event);
}

void MainWindow::ShowAbout() {
    RunCommand([this] { AboutDialog(this, DriverText()).exec(); });
}

void MainWindow::ChooseProgrammer() {
    BoardChooserDialog chooser(this, ListAttachedBoards(programmer_.link), programmer_.BoardSerial);
    if (chooser.exec() != QDialog::Accepted || chooser.ChosenSerial() == programmer_.BoardSerial) {
        return;
    }
    programmer_.BoardSerial = chooser.ChosenSerial();
    settings_.WriteSettingText(SETTINGS_SECTION, KEY_BOARD_SERIAL, programmer_.BoardSerial);
    // Without a connection the next tick opens the chosen board.
    if (programmer_.Connected) {
        Connect(programmer_);
    }
}

const DeviceInfo& MainWindow::SelectedTarget() {
    RefreshCurrentTarget(state_, deviceList_->currentIndex(), programmer_.BusyFlag);
    return state_.CurrentTarget;
}

void MainWindow::OnBlankCheck() {
    BlankCheck(programmer_, {SelectedTarget()});
}

void MainWindow::OnErase() {
    const DeviceInfo& target = SelectedTarget();
    OfferChipInSocket(Erase(programmer_, {target}), target);
}

void MainWindow::OnProgram() {
    if (job_ && !JobHexFileUnchanged(*job_, jobPath_)) {
        return;
    }
    const DeviceInfo& target = SelectedTarget();
    ProgramRequest request{target, workspace_.hexFile, WordsInFields(TakeFieldTexts()),
                           eraseBeforeProgramAction_->isChecked()};
    // A job that keeps the EEPROM or verifies its chips does so whatever the Setup menu says.
    request.preserveEeprom = preserveEepromAction_->isChecked() || (job_ && job_->preserveEeprom);
    request.verifyAfterProgram = verifyAfterProgramAction_->isChecked() || (job_ && job_->verify);
    // A job's chip is numbered and logged as in production mode, gets the very bytes the job
    // pins, and the job answers the question before code protection.
    if (!job_) {
        OfferChipInSocket(Program(programmer_, request), target);
        return;
    }
    request.pin = PinnedHexFile{job_->hexSha256, jobPath_};
    reporter_.HoldMessages(job_->allowCodeProtection);
    const std::optional<JobChip> chip = ProgramJobChip(programmer_, *job_, request);
    reporter_.ReleaseMessages();
    if (chip) {
        OfferChipInSocket(chip->result, target);
    }
}

void MainWindow::VerifyTarget() {
    const DeviceInfo& target = SelectedTarget();
    OfferChipInSocket(
        Verify(programmer_, {target, workspace_.hexFile, WordsInFields(TakeFieldTexts())}), target);
}

// Yes selects the chip's row as a choice in the Device list would; the command is not run
// again, so that the person starts it knowing which chip it is for.
void MainWindow::OfferChipInSocket(const OperationResult& result, const DeviceInfo& target) {
    const std::optional<ChipInSocket> chip = ChipInSocketAfter(result, target);
    if (!chip || !reporter_.AskYesNo(chip->statement + "\nSelect the " +
                                     std::string(chip->row->name) + " in the Device list?")) {
        return;
    }
    deviceList_->setCurrentIndex(chip->row->processorIndex);
    OnDeviceListClosedUp();
}

// What a Read took goes into the fields, the editors and the Hex Data window, and is kept for
// "Save Read Data As...".
void MainWindow::ReadTarget() {
    const ReadRequest request{SelectedTarget()};
    // A Read that will start takes the last one away and empties the Hex Data window first, or
    // opens it empty.
    const bool starts = WouldStart(programmer_, request.target);
    if (starts) {
        workspace_.lastRead.reset();
        PrepareHexDataWindow();
    }
    const OperationResult result = Read(programmer_, request);
    if (!starts) {
        return;
    }
    OfferChipInSocket(result, request.target);
    workspace_.lastRead = result.readBack;
    if (const std::optional<ReadContents>& read = result.readBack) {
        FieldTexts fields = TakeFieldTexts();
        ShowReadWords(state_, fields, *read);
        ShowFieldTexts(fields);
        configurationFields_->RefreshEditors();
        ShowHexDataLines(DeviceListingLines(read->image, read->target));
        ShowChecksum(ChecksumOfRead(*read), "Of the chip as read");
    }
    saveReadDataAction_->setEnabled(workspace_.lastRead.has_value());
}

FieldTexts MainWindow::TakeFieldTexts() const {
    return FieldTexts{
        .HexFileText = hexFileField_->text().toStdString(),
        .FuseText = fuseField_->text().toStdString(),
        .FuseXText = fuseXField_->text().toStdString(),
        .DevWordText = devWordField_->text().toStdString(),
    };
}

void MainWindow::ShowFieldTexts(const FieldTexts& texts) {
    hexFileField_->setText(QString::fromStdString(texts.HexFileText));
    fuseField_->setText(QString::fromStdString(texts.FuseText));
    fuseXField_->setText(QString::fromStdString(texts.FuseXText));
    devWordField_->setText(QString::fromStdString(texts.DevWordText));
    repaint();
}

void MainWindow::ShowTargetId(int id) {
    FieldTexts fields = TakeFieldTexts();
    fields.DevWordText = IdText(id);
    ShowFieldTexts(fields);
}

void MainWindow::OpenHexFile() {
    blankCheckButton_->setFocus();
    if (programmer_.BusyFlag) {
        return;  // the operation works from the file that is chosen now
    }
    RunCommand([this] {
        const QString initial = QString::fromStdString(
            settings_.ReadSettingText(SETTINGS_SECTION, KEY_FILE_NAME_PATH, ""));
        const std::optional<QString> chosen = ChooseHexFile(this, initial);
        if (!chosen || programmer_.BusyFlag) {
            return;
        }
        OpenFile(chosen->toStdString());
    });
}

// The file's name and its configuration words into the fields, and its listing; a file that
// cannot be used empties the listing and the field's name, and says why.
bool MainWindow::OpenFile(const std::string& chosen) {
    // File dialogs, drops and command lines give '/' or '\' on Windows; the settings and the
    // recent list keep the platform's own form, so that one file is one entry there.
    const std::string path = QDir::toNativeSeparators(QString::fromStdString(chosen)).toStdString();
    configurationFields_->CloseEditorsForHexOpen();
    const DeviceInfo& target = SelectedTarget();
    const OpenedHexFile opened = OpenChosenHexFile(settings_, target, path);
    workspace_.hexFile = opened.file;
    FieldTexts fields = TakeFieldTexts();
    fields.HexFileText = opened.file.name;
    ShowFileWords(state_, fields, target, opened.scan.words);
    if (opened.failure.empty()) {
        ShowFieldTexts(fields);
        if (opened.listing) {
            PrepareHexDataWindow();
            if (!opened.listing->empty()) {
                ShowHexDataLines(*opened.listing);
            }
        }
    } else {
        fields.HexFileText.clear();
        ShowFieldTexts(fields);
        if (hexDataWindow_ != nullptr) {
            hexDataWindow_->Clear();
        }
        reporter_.ShowMessage(opened.failure);
    }
    ShowFileChecksum();
    // A file that could not be read at all is not offered again.
    if (opened.scan.result != HexScanResult::OpenFailed) {
        recentFiles_->Remember(path);
    }
    UpdateFileWatch();
    return opened.failure.empty();
}

void MainWindow::OpenRecentFile(const std::string& path) {
    blankCheckButton_->setFocus();
    if (programmer_.BusyFlag) {
        return;
    }
    RunCommand([this, path] {
        if (recentFiles_->KeepIfPresent(reporter_, path)) {
            OpenFile(path);
        }
    });
}

void MainWindow::OpenDroppedFile(const std::string& path) {
    blankCheckButton_->setFocus();
    RunCommand([this, path] { OpenFile(path); });
}

void MainWindow::OpenCommandLineFile(const QStringList& arguments) {
    if (arguments.size() < 2) {
        return;
    }
    // Absolute, so that the recent list and the next dialog find it from any folder.
    const QFileInfo file(arguments.at(1));
    if (file.suffix().compare("vekjob", Qt::CaseInsensitive) == 0) {
        const std::string path = QDir::toNativeSeparators(file.absoluteFilePath()).toStdString();
        RunCommand([this, path] { OpenJobFile(path); });
        return;
    }
    OpenDroppedFile(file.absoluteFilePath().toStdString());
}

void MainWindow::SaveReadData() {
    if (!workspace_.lastRead) {
        return;
    }
    RunCommand([this] {
        const QString lastFile = QString::fromStdString(
            settings_.ReadSettingText(SETTINGS_SECTION, KEY_FILE_NAME_PATH, ""));
        SaveReadDataAs(this, reporter_, *workspace_.lastRead, QFileInfo(lastFile).absolutePath());
    });
}

void MainWindow::SetOperationRunning(bool running) {
    // A focused control that is greyed would hand the focus on to the next one, as a Tab
    // does, and so into a configuration field; the window itself holds it meanwhile.
    if (running) {
        focusBeforeOperation_ = focusWidget();
        setFocus();
    }
    // Presses during an operation are ignored; the greyed buttons and items say so.
    for (QWidget* button :
         {blankCheckButton_, eraseButton_, programButton_, verifyButton_, readButton_}) {
        button->setEnabled(!running);
    }
    for (QAction* item : {blankCheckAction_, eraseAction_, programAction_, verifyAction_,
                          readAction_, chooseProgrammerAction_}) {
        item->setEnabled(!running);
    }
    EnableFileAndTarget(!running && !job_);
    // What a Read has taken is there to be saved once it has ended.
    saveReadDataAction_->setEnabled(!running && workspace_.lastRead.has_value());
    configurationFields_->SetOperationRunning(running);
    if (!running && focusBeforeOperation_ != nullptr) {
        focusBeforeOperation_->setFocus();
    }
}

void MainWindow::ShowFileChecksum() {
    ShowChecksum(
        ProgramChecksum({SelectedTarget(), workspace_.hexFile, WordsInFields(TakeFieldTexts())}),
        "Of what Program writes from the HEX file and the configuration fields");
}

void MainWindow::ShowChecksum(std::optional<std::uint16_t> checksum, const QString& of) {
    checksumLabel_->setText(
        checksum ? "Checksum: " + QString::fromStdString(HexDigits(*checksum, 4)) : QString());
    checksumLabel_->setToolTip(checksum ? of : QString());
}

void MainWindow::OfferPreserveEeprom() {
    const int row = deviceList_->currentIndex();
    preserveEepromAction_->setEnabled(IsValidRow(row) && DeviceTable[row].eepromBytes > 0);
}

void MainWindow::RestoreSavedCheck(QAction* item, const char* key) {
    item->setChecked(settings_.ReadSettingInt(SETTINGS_SECTION, key, 0) != 0);
    // Each change on disk at once.
    connect(item, &QAction::toggled, this, [this, key](bool checked) {
        settings_.WriteSettingInt(SETTINGS_SECTION, key, checked ? 1 : 0);
    });
}

void MainWindow::PrepareHexDataWindow() {
    if (hexDataWindow_ == nullptr) {
        hexDataWindow_ = new HexDataWindow(this);
    }
    hexDataWindow_->Clear();
}

void MainWindow::ShowHexDataLines(const std::vector<std::string>& lines) {
    if (hexDataWindow_ == nullptr) {
        hexDataWindow_ = new HexDataWindow(this);
    }
    hexDataWindow_->SetLines(lines);
}

void MainWindow::UpdateConnectionLabel() {
    connectionLabel_->setText(programmer_.Connected ? "Programmer connected" : "No programmer");
    connectionLabel_->setToolTip(DriverText());
}

QString MainWindow::DriverText() const {
    return "USB driver: " + QString::fromStdString(UsbDriverName(programmer_.link.DriverInUse()));
}

void MainWindow::OnPollTimer() {
    RunCommand([this] {
        settings_.WriteSettingInt(SETTINGS_SECTION, KEY_SCREEN_X, clientPosition_.x());
        settings_.WriteSettingInt(SETTINGS_SECTION, KEY_SCREEN_Y, clientPosition_.y());
        // No second tick may run while the person reads what the poll says.
        pollTimer_->stop();
        ConnectionPoll(programmer_);
        // The window may have ended meanwhile; its timer stays stopped.
        if (!HasEnded()) {
            pollTimer_->start();
        }
    });
}

void MainWindow::OnDeviceSelectionChanged() {
    if (programmer_.BusyFlag) {
        return;  // the list is disabled meanwhile; the running operation keeps its target
    }
    RunCommand([this] {
        FieldTexts fields = TakeFieldTexts();
        OnSelectionChanged(state_, fields, deviceList_->currentIndex(), programmer_.BusyFlag);
        ShowFieldTexts(fields);
        configurationFields_->CloseAllEditors();
        OfferPreserveEeprom();
        ShowFileChecksum();
    });
}

void MainWindow::OnDeviceListClosedUp() {
    if (programmer_.BusyFlag) {
        return;
    }
    RunCommand([this] {
        FieldTexts fields = TakeFieldTexts();
        ApplyLayout(OnListClosedUp(state_, fields, deviceList_->currentIndex()));
        ShowFieldTexts(fields);
        OfferPreserveEeprom();
        ShowFileChecksum();
        blankCheckButton_->setFocus();
    });
}

void MainWindow::OnAllowTargetPower(bool checkedNow) {
    // The menu has already flipped the mark; the command flips it itself, before its exchange.
    const bool checkedBefore = !checkedNow;
    allowTargetPowerAction_->setChecked(checkedBefore);
    RunCommand([this, checkedBefore] {
        AllowTargetPower(programmer_, checkedBefore,
                         [this](bool checked) { allowTargetPowerAction_->setChecked(checked); });
    });
}

void MainWindow::OnProgramWhenFileChanges(bool checked) {
    if (checked && workspace_.hexFile.name.size() < 2) {
        programWhenFileChangesAction_->setChecked(false);
        RunCommand([this] { reporter_.ShowMessage("Error: No Hex datafile selected."); });
    }
    UpdateFileWatch();
}

// The watch follows the chosen file. Its folder is watched too: a file replaced by a new one
// (as many linkers write theirs) leaves the watch on the file.
void MainWindow::UpdateFileWatch() {
    rebuildTimer_->stop();
    for (const QStringList& paths : {fileWatcher_->files(), fileWatcher_->directories()}) {
        if (!paths.isEmpty()) {
            fileWatcher_->removePaths(paths);
        }
    }
    const bool watching =
        programWhenFileChangesAction_->isChecked() && workspace_.hexFile.name.size() >= 2;
    watchingLabel_->setVisible(watching);
    if (!watching) {
        return;
    }
    const QString path = QString::fromStdString(workspace_.hexFile.path);
    watchingLabel_->setText("watching " + QString::fromStdString(workspace_.hexFile.name));
    watchingLabel_->setToolTip(path);
    // Only a change from now on is programmed.
    watchedStamp_ = FileStamp(path);
    fileWatcher_->addPath(QFileInfo(path).absolutePath());
    if (QFileInfo::exists(path)) {
        fileWatcher_->addPath(path);
    }
}

// Any change of the file or its folder, where a build may still be writing, starts the quiet
// time afresh.
void MainWindow::OnWatchedPathChanged() {
    const QString path = QString::fromStdString(workspace_.hexFile.path);
    if (!fileWatcher_->files().contains(path) && QFileInfo::exists(path)) {
        fileWatcher_->addPath(path);
    }
    rebuildTimer_->start();
}

// As the Program button would, when the file has changed since it was last looked at and is
// not half written. While another command runs (the last run's message box among them) it
// waits for its end.
void MainWindow::ProgramRebuiltFile() {
    if (runningCommands_ > 0 || programmer_.BusyFlag) {
        rebuildTimer_->start();
        return;
    }
    const QString stamp = FileStamp(QString::fromStdString(workspace_.hexFile.path));
    if (stamp == watchedStamp_) {
        return;  // a change elsewhere in the folder, or one already handled
    }
    watchedStamp_ = stamp;
    if (stamp.isEmpty()) {
        return;  // removed; the build will write it again
    }
    RunCommand([this] {
        if (const std::string problem = HalfWrittenProblem(workspace_.hexFile); !problem.empty()) {
            reporter_.ShowMessage(problem);
            return;
        }
        OnProgram();
    });
}

void MainWindow::Exit() {
    RunCommand([this] {
        programmer_.link.Close();
        configurationFields_->CloseAllEditors();
        EndThroughOkPath();
    });
}

void MainWindow::EndThroughOkPath() {
    programmer_.link.Close();
    done(QDialog::Accepted);
}

}  // namespace vek
