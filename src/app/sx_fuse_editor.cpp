#include "sx_fuse_editor.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QVBoxLayout>

#include "settings/settings_store.h"

namespace vek {

namespace {

const QStringList ENABLE_DISABLE = {"Enable", "Disable"};
const QString OSCILLATOR_CAPTION = "External Oscillator Configuration";

}  // namespace

SxFuseEditor::SxFuseEditor(QWidget* mainWindow, WindowState& state, ShowInField showInField)
    : ConfigEditorWindow(mainWindow, state, std::move(showInField), "Configuration Fuses"),
      codec_(state.CurrentTarget) {
    auto* grid = new QGridLayout(this);
    turbo_ =
        AddRadioGroup(grid, 0, 0, "Turbo ", {"Enabled  (Osc/1)", "Disabled (Osc/4) "}, "turbo", 1);
    syncInput_ = AddRadioGroup(grid, 0, 1, "Synchronous Input ", ENABLE_DISABLE, "syncInput");
    internalRc_ = AddRadioGroup(grid, 1, 0, "Internal RC Oscillator", ENABLE_DISABLE, "internalRc");
    rcDivider_ = AddRadioGroup(grid, 1, 1, "RC Oscillator Divider ",
                               {"4 MHz", "1 MHz", "128 KHz", "32 KHz"}, "rcDivider");
    feedbackResistor_ =
        AddRadioGroup(grid, 2, 0, "Osc Feedback Resistor ", ENABLE_DISABLE, "feedbackResistor");
    crystalBuffer_ = AddRadioGroup(grid, 2, 1, "Crystal Buffer", ENABLE_DISABLE, "crystalBuffer");
    codeProtection_ =
        AddRadioGroup(grid, 3, 0, "Code Protection ", ENABLE_DISABLE, "codeProtection");
    watchdog_ = AddRadioGroup(grid, 3, 1, "Watchdog Timer ", ENABLE_DISABLE, "watchdog");

    auto* oscillatorBox = new QGroupBox(OSCILLATOR_CAPTION);
    oscillatorBox->setObjectName("oscillatorModeGroup");
    oscillatorList_ = NewList("oscillatorModeList", OSCILLATOR_CAPTION);
    for (const char* line : codec_.OscillatorLines()) {
        oscillatorList_->addItem(line);
    }
    (new QVBoxLayout(oscillatorBox))->addWidget(oscillatorList_);
    grid->addWidget(oscillatorBox, 4, 0, 1, 2);

    Refresh();
    ShowBesideMainWindow({-150, -100});
}

void SxFuseEditor::Refresh() {
    SxFuseState state = ReadControls();
    codec_.Refresh(state_.CurrentFuseText, state);
    ShowState(state);
    ShowEnabling(state);
}

void SxFuseEditor::Apply() {
    const SxFuseState state = ReadControls();
    Publish(state_.CurrentFuseText, codec_.Apply(state), {KEY_FUSE_BITS, KEY_FUSE_BITS_SAVE});
    // Choosing the internal RC or an external oscillator brings its own settings to life.
    ShowEnabling(state);
}

SxFuseState SxFuseEditor::ReadControls() const {
    return {.turbo = turbo_->checkedId(),
            .syncInput = syncInput_->checkedId(),
            .internalRc = internalRc_->checkedId(),
            .rcDivider = rcDivider_->checkedId(),
            .feedbackResistor = feedbackResistor_->checkedId(),
            .crystalBuffer = crystalBuffer_->checkedId(),
            .codeProtection = codeProtection_->checkedId(),
            .watchdog = watchdog_->checkedId(),
            .oscillatorMode = oscillatorList_->currentIndex()};
}

void SxFuseEditor::ShowState(const SxFuseState& state) {
    CheckButton(turbo_, state.turbo);
    CheckButton(syncInput_, state.syncInput);
    CheckButton(internalRc_, state.internalRc);
    CheckButton(rcDivider_, state.rcDivider);
    CheckButton(feedbackResistor_, state.feedbackResistor);
    CheckButton(crystalBuffer_, state.crystalBuffer);
    CheckButton(codeProtection_, state.codeProtection);
    CheckButton(watchdog_, state.watchdog);
    oscillatorList_->setCurrentIndex(state.oscillatorMode);
}

void SxFuseEditor::ShowEnabling(const SxFuseState& state) {
    const SxFuseEnabling enabling = codec_.Enabling(state);
    EnableButtons(turbo_, enabling.turbo);
    EnableButtons(crystalBuffer_, enabling.crystalBuffer);
    EnableButtons(rcDivider_, enabling.rcDivider);
    EnableButtons(feedbackResistor_, enabling.externalOscillator);
    oscillatorList_->setEnabled(enabling.externalOscillator);
}

}  // namespace vek
