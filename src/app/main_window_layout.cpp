// How the main window is built: its controls, menus, icons, tool tips and tab order.
#include <QAction>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "device_list.h"
#include "main_window.h"
#include "operation_button.h"
#include "painted_icons.h"
#include "recent_files_menu.h"

namespace vek {

namespace {

constexpr int POLL_PERIOD_MS = 200;

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

}  // namespace

void MainWindow::BuildControls() {
    blankCheckButton_ = new OperationButton("blankCheckButton", "Blank \nCheck");
    eraseButton_ = new OperationButton("eraseButton", "Erase");
    programButton_ = new OperationButton("programButton", "Program");
    verifyButton_ = new OperationButton("verifyButton", "Verify");
    readButton_ = new OperationButton("readButton", "Read");
    auto* operations = new QHBoxLayout;
    operations->setSpacing(4);
    for (QToolButton* button :
         {blankCheckButton_, eraseButton_, programButton_, verifyButton_, readButton_}) {
        operations->addWidget(button);
    }

    progressBar_ = new QProgressBar;
    progressBar_->setObjectName("progressBar");
    progressBar_->setRange(0, 100);
    progressBar_->setValue(0);
    progressBar_->setTextVisible(false);
    progressBar_->setFixedHeight(14);

    deviceList_ = new DeviceList;
    deviceList_->setObjectName("deviceList");
    hexFileField_ = new QLineEdit;
    hexFileField_->setObjectName("hexFileField");
    hexFileField_->setReadOnly(true);
    // A click into the field opens the file dialog.
    hexFileField_->installEventFilter(this);
    auto* source = new QHBoxLayout;
    source->addWidget(MakeLabel("deviceLabel", "Device: "));
    source->addWidget(deviceList_);
    source->addSpacing(10);
    source->addWidget(MakeLabel("hexFileLabel", "Hex File:"));
    source->addWidget(hexFileField_, 1);

    fuseField_ = MakeField("fuseField", 4);
    fuseXField_ = MakeField("fuseXField", 3);
    devWordField_ = MakeField("devWordField", 4);
    devWordField_->setReadOnly(true);
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
    configuration->addWidget(fuseField_, 1, 0);
    configuration->addWidget(fuseSetButton_, 1, 1);
    configuration->setColumnMinimumWidth(2, 12);
    configuration->addWidget(fuseXLabel_, 0, 3, 1, 3);
    configuration->addWidget(fuseXField_, 1, 3);
    configuration->addWidget(fuseXSetButton_, 1, 4);
    configuration->addWidget(lastConfigButton_, 1, 5);
    configuration->setColumnStretch(6, 1);
    configuration->addWidget(devWordLabel_, 0, 7);
    configuration->addWidget(devWordField_, 1, 7);

    pollTimer_ = new QTimer(this);
    pollTimer_->setObjectName("pollTimer");
    pollTimer_->setInterval(POLL_PERIOD_MS);

    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(BuildMenus());
    layout->setContentsMargins(8, 6, 8, 8);
    layout->setSpacing(6);
    layout->addLayout(operations);
    layout->addWidget(progressBar_);
    layout->addLayout(source);
    layout->addSpacing(2);
    layout->addLayout(configuration);

    connectionLabel_ = MakeLabel("connectionLabel", "");
    watchingLabel_ = MakeLabel("watchingLabel", "");
    watchingLabel_->hide();
    checksumLabel_ = MakeLabel("checksumLabel", "");
    auto* status = new QHBoxLayout;
    status->addWidget(connectionLabel_, 1);
    status->addWidget(watchingLabel_);
    status->addWidget(checksumLabel_);
    layout->addLayout(status);
}

QMenuBar* MainWindow::BuildMenus() {
    auto* menuBar = new QMenuBar(this);
    menuBar->setObjectName("menuBar");

    QMenu* file = menuBar->addMenu("&File");
    openHexFileAction_ = AddAction(file, "openHexFileAction", "&Open Hex File...");
    // Offered once a Read has succeeded (SetOperationRunning).
    saveReadDataAction_ = AddAction(file, "saveReadDataAction", "Save Read Data &As...");
    saveReadDataAction_->setEnabled(false);
    openJobAction_ = AddAction(file, "openJobAction", "Open &Job...");
    saveJobAction_ = AddAction(file, "saveJobAction", "Save Job As...");
    closeJobAction_ = AddAction(file, "closeJobAction", "&Close Job");
    closeJobAction_->setEnabled(false);
    exitAction_ = AddAction(file, "exitAction", "&Exit");
    recentFiles_ = new RecentFilesMenu(file, exitAction_, settings_,
                                       [this](const std::string& path) { OpenRecentFile(path); });

    QMenu* setup = menuBar->addMenu("Se&tup");
    connectAction_ = AddAction(setup, "connectAction", "Connect to VEK Flash Programmer");
    usbDescriptionAction_ =
        AddAction(setup, "usbDescriptionAction", "Setup USB Description String...");
    chooseProgrammerAction_ = AddAction(setup, "chooseProgrammerAction", "Choose &Programmer...");
    eraseBeforeProgramAction_ =
        AddAction(setup, "eraseBeforeProgramAction", "Enable Erase Before Program");
    eraseBeforeProgramAction_->setCheckable(true);
    // Checked at every start, never saved.
    eraseBeforeProgramAction_->setChecked(true);
    // Saved; restored in Initialise.
    preserveEepromAction_ = AddAction(setup, "preserveEepromAction", "Preserve Device EEPROM");
    preserveEepromAction_->setCheckable(true);
    verifyAfterProgramAction_ =
        AddAction(setup, "verifyAfterProgramAction", "Verify After Program");
    verifyAfterProgramAction_->setCheckable(true);
    programWhenFileChangesAction_ =
        AddAction(setup, "programWhenFileChangesAction", "Program When File Changes");
    programWhenFileChangesAction_->setCheckable(true);  // off at every start, never saved
    testCommunicationAction_ = AddAction(setup, "testCommunicationAction", "Test Communication");
    allowTargetPowerAction_ =
        AddAction(setup, "allowTargetPowerAction", "Allow Target Power From VEK Flash");
    allowTargetPowerAction_->setCheckable(true);

    QMenu* commands = menuBar->addMenu("Co&mmands");
    blankCheckAction_ = AddAction(commands, "blankCheckAction", "Blan&k Check");
    eraseAction_ = AddAction(commands, "eraseAction", "E&rase");
    programAction_ = AddAction(commands, "programAction", "Pro&gram");
    verifyAction_ = AddAction(commands, "verifyAction", "&Verify");
    readAction_ = AddAction(commands, "readAction", "Rea&d");
    productionModeAction_ = AddAction(commands, "productionModeAction", "Production &Mode...");
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
    QWidget* const order[] = {blankCheckButton_, eraseButton_, programButton_,  verifyButton_,
                              readButton_,       deviceList_,  hexFileField_,   fuseField_,
                              fuseSetButton_,    fuseXField_,  fuseXSetButton_, lastConfigButton_,
                              devWordField_};
    for (std::size_t next = 1; next < std::size(order); ++next) {
        QWidget::setTabOrder(order[next - 1], order[next]);
    }
    deviceList_->setFocus();
}

}  // namespace vek
