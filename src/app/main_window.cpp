#include "main_window.h"

#include <QAction>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "about_dialog.h"
#include "configuration_fields.h"
#include "device/device_table.h"
#include "device_list.h"
#include "driver_download_dialog.h"
#include "hex_data_window.h"
#include "hex_file_chooser.h"
#include "link/connection.h"
#include "link/web_addresses.h"
#include "operation_button.h"
#include "operations/blank_erase.h"
#include "operations/program.h"
#include "painted_icons.h"
#include "pic_config_editor.h"
#include "session/hex_file_open.h"
#include "sx_fuse_editor.h"
#include "sx_fusex_editor.h"
#include "usb_description_dialog.h"

namespace vek {

namespace {

constexpr const char* WINDOW_TITLE = "VEK-Flash V1.4 ";
constexpr int POLL_PERIOD_MS = 200;
constexpr int DEFAULT_POSITION = 100;

QLineEdit* MakeField(const QString& objectName, int characters) {
    auto* field = new QLineEdit;
    field->setObjectName(objectName);
    field->setAlignment(Qt::AlignCenter);
    field->setFixedWidth(field->fontMetrics().horizontalAdvance(QString(characters, 'D')) + 16);
    return field;
}

QPushButton* MakeSmallButton(const QString& objectName, const QString& text) {
    auto* button = new QPushButton(text);
    button->setObjectName(objectName);
    // Enter in a field must never press a button of this window.
    button->setAutoDefault(false);
    button->setFixedWidth(button->fontMetrics().horizontalAdvance(QStringLiteral("Set")) + 20);
    return button;
}

QLabel* MakeLabel(const QString& objectName, const QString& text) {
    auto* label = new QLabel(text);
    label->setObjectName(objectName);
    return label;
}

QAction* AddAction(QMenu* menu, const QString& objectName, const QString& text) {
    QAction* action = menu->addAction(text);
    action->setObjectName(objectName);
    return action;
}

// Commands whose features are not part of this program yet: shown, but not available.
QAction* AddUnavailableAction(QMenu* menu, const QString& objectName, const QString& text) {
    QAction* action = AddAction(menu, objectName, text);
    action->setEnabled(false);
    return action;
}

// A window wholly outside every screen, for example on a monitor unplugged since, cannot be
// reached by the person.
bool IsOnAnyScreen(const QRect& area) {
    const QList<QScreen*> screens = QGuiApplication::screens();
    return std::any_of(screens.begin(), screens.end(),
                       [&](const QScreen* screen) { return screen->geometry().intersects(area); });
}

QString ToQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

MainWindow::MainWindow(const std::filesystem::path& settingsPath, std::string d2xxLibraryName,
                       PauseFunction pause)
    : ui_(
          controls_, hooks_, [this] { RequestFatalShutdown(); }, [this] { return HasEnded(); },
          std::move(pause)),
      settings_(settingsPath),
      session_(ui_, settings_, std::move(d2xxLibraryName)) {
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    hooks_.setOperationRunning = [this](bool running) { SetOperationRunning(running); };
    hooks_.refreshConfigEditors = [this] { configurationFields_->RefreshEditors(); };
    hooks_.prepareHexDataWindow = [this] { PrepareHexDataWindow(); };
    hooks_.showHexDataLines = [this](const std::vector<std::string>& lines) {
        ShowHexDataLines(lines);
    };
    BuildControls();
    configurationFields_ = new ConfigurationFields(
        session_,
        {controls_.fuseField, controls_.fuseXField, fuseSetButton_, fuseXSetButton_,
         lastConfigButton_, blankCheckButton_},
        [this](EditorKind kind, ConfigEditor::ShowInField showInField) -> ConfigEditor* {
            switch (kind) {
                case EditorKind::SxFuse:
                    return new SxFuseEditor(this, session_, std::move(showInField));
                case EditorKind::SxFuseX:
                    return new SxFuseXEditor(this, session_, std::move(showInField));
                case EditorKind::PicConfig:
                    break;
            }
            return new PicConfigEditor(this, session_, std::move(showInField));
        });
    configurationFields_->setParent(this);
    ConnectCommands();
    Initialise();
}

void MainWindow::BuildControls() {
    controls_.window = this;

    blankCheckButton_ = new OperationButton("blankCheckButton", "Blank \nCheck");
    eraseButton_ = new OperationButton("eraseButton", "Erase");
    programButton_ = new OperationButton("programButton", "Program");
    verifyButton_ = new OperationButton("verifyButton", "Verify");
    readButton_ = new OperationButton("readButton", "Read");
    for (QToolButton* unavailable : {verifyButton_, readButton_}) {
        unavailable->setEnabled(false);
    }
    auto* operations = new QHBoxLayout;
    operations->setSpacing(4);
    for (QToolButton* button :
         {blankCheckButton_, eraseButton_, programButton_, verifyButton_, readButton_}) {
        operations->addWidget(button);
    }

    controls_.progressBar = new QProgressBar;
    controls_.progressBar->setObjectName("progressBar");
    controls_.progressBar->setRange(0, 100);
    controls_.progressBar->setValue(0);
    controls_.progressBar->setTextVisible(false);
    controls_.progressBar->setFixedHeight(14);

    deviceList_ = new DeviceList;
    deviceList_->setObjectName("deviceList");
    controls_.deviceList = deviceList_;
    controls_.hexFileField = new QLineEdit;
    controls_.hexFileField->setObjectName("hexFileField");
    controls_.hexFileField->setReadOnly(true);
    // A click into the field opens the file dialog.
    controls_.hexFileField->installEventFilter(this);
    auto* source = new QHBoxLayout;
    source->addWidget(MakeLabel("deviceLabel", "Device: "));
    source->addWidget(deviceList_);
    source->addSpacing(10);
    source->addWidget(MakeLabel("hexFileLabel", "Hex File:"));
    source->addWidget(controls_.hexFileField, 1);

    controls_.fuseField = MakeField("fuseField", 4);
    controls_.fuseXField = MakeField("fuseXField", 3);
    controls_.devWordField = MakeField("devWordField", 4);
    controls_.devWordField->setReadOnly(true);
    fuseLabel_ = MakeLabel("fuseLabel", "    Fuse");
    fuseXLabel_ = MakeLabel("fuseXLabel", "FuseX");
    devWordLabel_ = MakeLabel("devWordLabel", "Dev Word");
    fuseSetButton_ = MakeSmallButton("fuseSetButton", "Set");
    fuseXSetButton_ = MakeSmallButton("fuseXSetButton", "Set");
    lastConfigButton_ = MakeSmallButton("lastConfigButton", "R");
    auto* configuration = new QGridLayout;
    configuration->setHorizontalSpacing(4);
    configuration->setVerticalSpacing(2);
    configuration->addWidget(fuseLabel_, 0, 0, 1, 2);
    configuration->addWidget(controls_.fuseField, 1, 0);
    configuration->addWidget(fuseSetButton_, 1, 1);
    configuration->setColumnMinimumWidth(2, 12);
    configuration->addWidget(fuseXLabel_, 0, 3, 1, 3);
    configuration->addWidget(controls_.fuseXField, 1, 3);
    configuration->addWidget(fuseXSetButton_, 1, 4);
    configuration->addWidget(lastConfigButton_, 1, 5);
    configuration->setColumnStretch(6, 1);
    configuration->addWidget(devWordLabel_, 0, 7);
    configuration->addWidget(controls_.devWordField, 1, 7);

    controls_.pollTimer = new QTimer(this);
    controls_.pollTimer->setObjectName("pollTimer");
    controls_.pollTimer->setInterval(POLL_PERIOD_MS);

    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(BuildMenus());
    layout->setContentsMargins(8, 6, 8, 8);
    layout->setSpacing(6);
    layout->addLayout(operations);
    layout->addWidget(controls_.progressBar);
    layout->addLayout(source);
    layout->addSpacing(2);
    layout->addLayout(configuration);

    connectionLabel_ = MakeLabel("connectionLabel", "");
    layout->addWidget(connectionLabel_);
}

QMenuBar* MainWindow::BuildMenus() {
    auto* menuBar = new QMenuBar(this);
    menuBar->setObjectName("menuBar");

    QMenu* file = menuBar->addMenu("&File");
    openHexFileAction_ = AddAction(file, "openHexFileAction", "&Open Hex File...");
    exitAction_ = AddAction(file, "exitAction", "&Exit");

    QMenu* setup = menuBar->addMenu("Se&tup");
    connectAction_ = AddAction(setup, "connectAction", "Connect to VEK Flash Programmer");
    usbDescriptionAction_ =
        AddAction(setup, "usbDescriptionAction", "Setup USB Description String...");
    eraseBeforeProgramAction_ =
        AddAction(setup, "eraseBeforeProgramAction", "Enable Erase Before Program");
    eraseBeforeProgramAction_->setCheckable(true);
    eraseBeforeProgramAction_->setChecked(session_.EraseBeforeProgram);
    testCommunicationAction_ = AddAction(setup, "testCommunicationAction", "Test Communication");
    allowTargetPowerAction_ =
        AddAction(setup, "allowTargetPowerAction", "Allow Target Power From VEK Flash");
    allowTargetPowerAction_->setCheckable(true);

    QMenu* commands = menuBar->addMenu("Co&mmands");
    blankCheckAction_ = AddAction(commands, "blankCheckAction", "Blan&k Check");
    eraseAction_ = AddAction(commands, "eraseAction", "E&rase");
    programAction_ = AddAction(commands, "programAction", "Pro&gram");
    AddUnavailableAction(commands, "verifyAction", "&Verify");
    AddUnavailableAction(commands, "readAction", "Rea&d");
    applyTargetPowerAction_ =
        AddAction(commands, "applyTargetPowerAction", "Apply Target Power Now");

    QMenu* internet = menuBar->addMenu("Internet");
    gotoVekDesignAction_ = AddAction(internet, "gotoVekDesignAction", "Goto VEK Design");
    gotoFtdiAction_ = AddAction(internet, "gotoFtdiAction", "Goto FTDI");
    downloadDriversAction_ = AddAction(internet, "downloadDriversAction", "Download Drivers");

    QMenu* about = menuBar->addMenu("About");
    aboutAction_ = AddAction(about, "aboutAction", "&About VEK-FLASH");
    return menuBar;
}

void MainWindow::ConnectCommands() {
    const auto blankCheck = [this] { RunCommand([this] { OnBlankCheck(session_); }); };
    const auto erase = [this] { RunCommand([this] { OnErase(session_); }); };
    connect(blankCheckButton_, &QToolButton::clicked, this, blankCheck);
    connect(blankCheckAction_, &QAction::triggered, this, blankCheck);
    connect(eraseButton_, &QToolButton::clicked, this, erase);
    connect(eraseAction_, &QAction::triggered, this, erase);
    const auto program = [this] { RunCommand([this] { OnProgram(session_); }); };
    connect(programButton_, &QToolButton::clicked, this, program);
    connect(programAction_, &QAction::triggered, this, program);
    connect(openHexFileAction_, &QAction::triggered, this, &MainWindow::OpenHexFile);
    connect(eraseBeforeProgramAction_, &QAction::toggled, this,
            [this](bool checked) { session_.EraseBeforeProgram = checked; });
    connect(connectAction_, &QAction::triggered, this,
            [this] { RunCommand([this] { Connect(session_); }); });
    connect(testCommunicationAction_, &QAction::triggered, this,
            [this] { RunCommand([this] { TestCommunication(session_); }); });
    connect(allowTargetPowerAction_, &QAction::triggered, this, &MainWindow::OnAllowTargetPower);
    connect(applyTargetPowerAction_, &QAction::triggered, this,
            [this] { RunCommand([this] { ApplyTargetPowerNow(session_); }); });
    connect(exitAction_, &QAction::triggered, this, &MainWindow::Exit);
    connect(usbDescriptionAction_, &QAction::triggered, this,
            [this] { RunCommand([this] { UsbDescriptionDialog(this).exec(); }); });
    connect(downloadDriversAction_, &QAction::triggered, this,
            [this] { RunCommand([this] { DriverDownloadDialog(this, webOpener_).exec(); }); });
    connect(aboutAction_, &QAction::triggered, this,
            [this] { RunCommand([this] { AboutDialog(this).exec(); }); });
    connect(gotoVekDesignAction_, &QAction::triggered, this, [this] {
        RunCommand([this] { OpenWebAddress(webOpener_, MAKER_WEB_ADDRESS, this); });
    });
    connect(gotoFtdiAction_, &QAction::triggered, this,
            [this] { RunCommand([this] { OpenWebAddress(webOpener_, FTDI_WEB_ADDRESS, this); }); });
    connect(controls_.pollTimer, &QTimer::timeout, this, &MainWindow::OnPollTimer);
}

void MainWindow::Initialise() {
    ui_.ShowFieldTexts(session_.fields);
    setWindowIcon(ApplicationIcon());
    setWindowTitle(WINDOW_TITLE);
    session_.link.SetFastTransfers(
        settings_.ReadSettingInt(SETTINGS_SECTION, KEY_FAST_TRANSFERS, 1) != 0);
    RunCommand([this] { StartupConnection(session_); });

    for (const DeviceInfo& device : DeviceTable) {
        deviceList_->addItem(ToQString(device.name));
    }
    const int row = SavedSelectionRow(session_);
    deviceList_->setCurrentIndex(row);
    ApplyLayout(ApplyFamilyLayout(session_, row));
    // Connected only now: filling and restoring the list are no selection by the person.
    connect(deviceList_, &QComboBox::currentIndexChanged, this,
            &MainWindow::OnDeviceSelectionChanged);
    connect(deviceList_, &DeviceList::closedUp, this, &MainWindow::OnDeviceListClosedUp);

    SetOperationIcons();
    SetToolTips();
    SetTabOrder();
    setFixedSize(sizeHint());
    RestorePosition();
    if (!HasEnded()) {
        controls_.pollTimer->start();
    }
}

void MainWindow::SetOperationIcons() {
    blankCheckButton_->setIcon(BlankCheckIcon());
    eraseButton_->setIcon(EraseIcon());
    programButton_->setIcon(ProgramIcon());
    verifyButton_->setIcon(VerifyIcon());
    readButton_->setIcon(ReadIcon());
    // Equal buttons, however many lines their captions take.
    QSize largest;
    for (QToolButton* button :
         {blankCheckButton_, eraseButton_, programButton_, verifyButton_, readButton_}) {
        largest = largest.expandedTo(button->sizeHint());
    }
    largest.rwidth() += 12;
    for (QToolButton* button :
         {blankCheckButton_, eraseButton_, programButton_, verifyButton_, readButton_}) {
        button->setFixedSize(largest);
    }
}

void MainWindow::SetToolTips() {
    blankCheckButton_->setToolTip("Blank Check");
    eraseButton_->setToolTip("Erase & Blank Check");
    programButton_->setToolTip("Program selected hex file");
    verifyButton_->setToolTip("Verify");
    readButton_->setToolTip("Read");
    fuseSetButton_->setToolTip("Set Configuration Bits");
    fuseXSetButton_->setToolTip("Set FuseX Configuration Bits");
    lastConfigButton_->setToolTip("Use Last Configuration");
}

// From top left to bottom right, as the person reads the window; the Device list, where work
// starts, has the focus first.
void MainWindow::SetTabOrder() {
    QWidget* const order[] = {blankCheckButton_,      eraseButton_,        programButton_,
                              verifyButton_,          readButton_,         deviceList_,
                              controls_.hexFileField, controls_.fuseField, fuseSetButton_,
                              controls_.fuseXField,   fuseXSetButton_,     lastConfigButton_,
                              controls_.devWordField};
    for (std::size_t next = 1; next < std::size(order); ++next) {
        QWidget::setTabOrder(order[next - 1], order[next]);
    }
    deviceList_->setFocus();
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
    if (runningCommands_ == 0 && HasEnded()) {
        QDialog::done(*endResult_);
    }
}

void MainWindow::done(int result) {
    if (!endResult_) {
        endResult_ = result;
    }
    controls_.pollTimer->stop();
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
    if (watched == controls_.hexFileField && event->type() == QEvent::FocusIn) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        // Not when the focus only comes back with the window.
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
            QTimer::singleShot(0, this, &MainWindow::OpenHexFile);
        }
    }
    return QDialog::eventFilter(watched, event);
}

void MainWindow::OpenHexFile() {
    blankCheckButton_->setFocus();
    if (session_.BusyFlag) {
        return;  // the operation works from the file that is chosen now
    }
    RunCommand([this] {
        const QString initial = QString::fromStdString(
            settings_.ReadSettingText(SETTINGS_SECTION, KEY_FILE_NAME_PATH, ""));
        const std::optional<QString> chosen = ChooseHexFile(this, initial);
        if (!chosen || session_.BusyFlag) {
            return;
        }
        configurationFields_->CloseEditorsForHexOpen();
        OpenChosenHexFile(session_, chosen->toStdString());
    });
}

void MainWindow::SetOperationRunning(bool running) {
    deviceList_->setEnabled(!running);
    controls_.hexFileField->setEnabled(!running);
    openHexFileAction_->setEnabled(!running);
    configurationFields_->SetOperationRunning(running);
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
    connectionLabel_->setText(session_.Connected ? "Programmer connected" : "No programmer");
}

void MainWindow::OnPollTimer() {
    RunCommand([this] {
        settings_.WriteSettingInt(SETTINGS_SECTION, KEY_SCREEN_X, clientPosition_.x());
        settings_.WriteSettingInt(SETTINGS_SECTION, KEY_SCREEN_Y, clientPosition_.y());
        ConnectionPoll(session_);
    });
}

void MainWindow::OnDeviceSelectionChanged() {
    if (session_.BusyFlag) {
        return;  // the list is disabled meanwhile; the running operation keeps its target
    }
    RunCommand([this] {
        OnSelectionChanged(session_);
        configurationFields_->CloseAllEditors();
    });
}

void MainWindow::OnDeviceListClosedUp() {
    if (session_.BusyFlag) {
        return;
    }
    RunCommand([this] {
        ApplyLayout(OnListClosedUp(session_));
        blankCheckButton_->setFocus();
    });
}

void MainWindow::OnAllowTargetPower(bool checkedNow) {
    // The menu has already flipped the mark; the command flips it itself, before its exchange.
    const bool checkedBefore = !checkedNow;
    allowTargetPowerAction_->setChecked(checkedBefore);
    RunCommand([this, checkedBefore] {
        AllowTargetPower(session_, checkedBefore,
                         [this](bool checked) { allowTargetPowerAction_->setChecked(checked); });
    });
}

void MainWindow::Exit() {
    RunCommand([this] {
        session_.link.Close();
        configurationFields_->CloseAllEditors();
        EndThroughOkPath();
    });
}

void MainWindow::EndThroughOkPath() {
    session_.link.Close();
    session_.fields = ui_.TakeFieldTexts();
    done(QDialog::Accepted);
}

void MainWindow::RequestFatalShutdown() {
    session_.fields = ui_.TakeFieldTexts();
    done(QDialog::Accepted);
}

}  // namespace vek
