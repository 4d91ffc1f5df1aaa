#include "sx_fusex_editor.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>

#include "settings/settings_store.h"

namespace vek {

namespace {

const QStringList ENABLE_DISABLE = {"Enable", "Disable"};

// A list under its label; the label also names it for accessibility.
void AddLabelledList(QGridLayout* grid, int column, const QString& caption, QComboBox* list) {
    auto* label = new QLabel(caption);
    label->setBuddy(list);
    grid->addWidget(label, 3, column);
    grid->addWidget(list, 4, column);
}

}  // namespace

SxFuseXEditor::SxFuseXEditor(QWidget* mainWindow, WindowState& state, ShowInField showInField)
    : ConfigEditorWindow(mainWindow, state, std::move(showInField), "FuseX"),
      codec_(state.CurrentTarget) {
    auto* grid = new QGridLayout(this);
    pins_ = AddRadioGroup(grid, 0, 0, "Pins ", {"18/20 Pins", "28 Pins"}, "pins");
    sleepClock_ = AddRadioGroup(grid, 0, 1, "Sleep Clock ", ENABLE_DISABLE, "sleepClock");
    optionX_ = AddRadioGroup(grid, 1, 0, "OPTIONX / STACKX", {"Clear", "Set "}, "optionX");
    carryFlag_ = AddRadioGroup(grid, 1, 1, "Carry Flag ", ENABLE_DISABLE, "carryFlag");
    QStringList brownOutCaptions;
    for (const char* caption : codec_.BrownOutCaptions()) {
        brownOutCaptions << caption;
    }
    brownOutLevel_ =
        AddRadioGroup(grid, 2, 0, "Brown-Out Reset ", brownOutCaptions, "brownOutLevel", 1);
    delayResetTimer_ =
        AddRadioGroup(grid, 2, 1, "Delay Reset Timer ", {".25 msec", "18 msec", "60 msec", "1 sec"},
                      "delayResetTimer", 1);

    brownOutTrimList_ = NewList("brownOutTrimList", "Brown-Out Trim");
    brownOutTrimList_->addItems({"00", "01", "10", "11"});
    AddLabelledList(grid, 0, "Brown-Out Trim", brownOutTrimList_);
    pagesBanksList_ = NewList("pagesBanksList", "Pages / Banks");
    for (const char* line : codec_.PagesBanksLines()) {
        pagesBanksList_->addItem(line);
    }
    AddLabelledList(grid, 1, "Pages / Banks", pagesBanksList_);

    ShowEnabling();
    Refresh();
    ShowBesideMainWindow({183, -100});
}

void SxFuseXEditor::Refresh() {
    SxFuseXState state = ReadControls();
    codec_.Refresh(state_.CurrentFuseXText, state);
    ShowState(state);
}

void SxFuseXEditor::Apply() {
    Publish(state_.CurrentFuseXText, codec_.Apply(ReadControls()), {KEY_FUSEX_BITS});
}

SxFuseXState SxFuseXEditor::ReadControls() const {
    return {.pins = pins_->checkedId(),
            .sleepClock = sleepClock_->checkedId(),
            .optionX = optionX_->checkedId(),
            .carryFlag = carryFlag_->checkedId(),
            .brownOutLevel = brownOutLevel_->checkedId(),
            .delayResetTimer = delayResetTimer_->checkedId(),
            .brownOutTrim = brownOutTrimList_->currentIndex(),
            .pagesBanks = pagesBanksList_->currentIndex()};
}

void SxFuseXEditor::ShowState(const SxFuseXState& state) {
    CheckButton(pins_, state.pins);
    CheckButton(sleepClock_, state.sleepClock);
    CheckButton(optionX_, state.optionX);
    CheckButton(carryFlag_, state.carryFlag);
    CheckButton(brownOutLevel_, state.brownOutLevel);
    CheckButton(delayResetTimer_, state.delayResetTimer);
    brownOutTrimList_->setCurrentIndex(state.brownOutTrim);
    // The SX48's list is empty and stays without a line.
    pagesBanksList_->setCurrentIndex(state.pagesBanks);
}

void SxFuseXEditor::ShowEnabling() {
    const SxFuseXEnabling enabling = codec_.Enabling();
    EnableButtons(pins_, enabling.pins);
    EnableButtons(sleepClock_, enabling.sleepClock);
    EnableButtons(optionX_, enabling.optionX);
    EnableButtons(delayResetTimer_, enabling.delayResetTimer);
    pagesBanksList_->setEnabled(enabling.pagesBanks);
}

}  // namespace vek
