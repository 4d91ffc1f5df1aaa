#include "pic_config_editor.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QVBoxLayout>

#include "settings/settings_store.h"

namespace vek {

namespace {

int CheckedOf(const QCheckBox* box) {
    return box->isChecked() ? 1 : 0;
}

}  // namespace

PicConfigEditor::PicConfigEditor(QWidget* mainWindow, WindowState& state, ShowInField showInField)
    : ConfigEditorWindow(mainWindow, state, std::move(showInField), "Configuration Window"),
      codec_(state.CurrentTarget) {
    auto* grid = new QGridLayout(this);

    auto* optionsBox = new QGroupBox("Configuration Options:  ");
    optionsBox->setObjectName("optionsGroup");
    auto* options = new QVBoxLayout(optionsBox);
    watchdogBox_ = NewCheckBox("Watchdog Timer", "watchdogBox");
    powerUpTimerBox_ = NewCheckBox("Power-up Timer", "powerUpTimerBox");
    brownOutResetBox_ = NewCheckBox("Brown-out Reset", "brownOutResetBox");
    programMemWriteBox_ = NewCheckBox("Program Mem Write", "programMemWriteBox");
    inCircuitDebuggerBox_ = NewCheckBox("In-Circuit Debugger", "inCircuitDebuggerBox");
    for (QCheckBox* box : {watchdogBox_, powerUpTimerBox_, brownOutResetBox_, programMemWriteBox_,
                           inCircuitDebuggerBox_}) {
        options->addWidget(box);
    }
    grid->addWidget(optionsBox, 0, 0);

    auto* protectionBox = new QGroupBox("Code Protection: ");
    protectionBox->setObjectName("codeProtectionGroup");
    auto* protection = new QGridLayout(protectionBox);
    eepromProtectBox_ = NewCheckBox("EEPROM", "eepromProtectBox");
    protection->addWidget(eepromProtectBox_, 0, 0);
    codeProtection_ = AddRadioButtons(
        protection, 1, {"Off (11)", "ALL (00)", "3/4 (10)", "1/2 (01)"}, "codeProtection", 1);
    grid->addWidget(protectionBox, 0, 1);

    oscillatorMode_ = AddRadioGroup(grid, 1, 0, "Oscillator Selection ", {"RC", "HS", "XT", "LP"},
                                    "oscillatorMode", 4);

    Refresh();
    ShowEnabling();
    ShowBesideMainWindow({200, -50});
}

void PicConfigEditor::Refresh() {
    PicConfigState state = ReadControls();
    codec_.Refresh(state_.CurrentFuseText, state);
    ShowState(state);
}

void PicConfigEditor::Apply() {
    Publish(state_.CurrentFuseText, codec_.Apply(ReadControls()), {KEY_MICROCHIP_BITS});
}

PicConfigState PicConfigEditor::ReadControls() const {
    return {.watchdog = CheckedOf(watchdogBox_),
            .powerUpTimer = CheckedOf(powerUpTimerBox_),
            .brownOutReset = CheckedOf(brownOutResetBox_),
            .programMemWrite = CheckedOf(programMemWriteBox_),
            .inCircuitDebugger = CheckedOf(inCircuitDebuggerBox_),
            .eepromProtect = CheckedOf(eepromProtectBox_),
            .codeProtection = codeProtection_->checkedId(),
            .oscillatorMode = oscillatorMode_->checkedId()};
}

void PicConfigEditor::ShowState(const PicConfigState& state) {
    watchdogBox_->setChecked(state.watchdog == 1);
    powerUpTimerBox_->setChecked(state.powerUpTimer == 1);
    brownOutResetBox_->setChecked(state.brownOutReset == 1);
    programMemWriteBox_->setChecked(state.programMemWrite == 1);
    inCircuitDebuggerBox_->setChecked(state.inCircuitDebugger == 1);
    eepromProtectBox_->setChecked(state.eepromProtect == 1);
    CheckButton(codeProtection_, state.codeProtection);
    CheckButton(oscillatorMode_, state.oscillatorMode);
}

void PicConfigEditor::ShowEnabling() {
    const PicConfigEnabling enabling = codec_.Enabling();
    for (QCheckBox* box :
         {brownOutResetBox_, programMemWriteBox_, inCircuitDebuggerBox_, eepromProtectBox_}) {
        box->setEnabled(enabling.extendedOptions);
    }
    // "3/4 (10)" and "1/2 (01)".
    for (const int partial : {2, 3}) {
        codeProtection_->button(partial)->setEnabled(enabling.partialProtection);
    }
}

}  // namespace vek
