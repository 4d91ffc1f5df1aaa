// The "FuseX" window: the SX FUSEX word bit by bit.
#pragma once

#include "config/sx_fusex.h"
#include "config_editor_window.h"

namespace vek {

class SxFuseXEditor : public ConfigEditorWindow {
    Q_OBJECT
  public:
    // Opens visible on the window state's CurrentFuseXText, for its CurrentTarget.
    SxFuseXEditor(QWidget* mainWindow, WindowState& state, ShowInField showInField);

    void Refresh() override;

  protected:
    void Apply() override;

  private:
    SxFuseXState ReadControls() const;
    void ShowState(const SxFuseXState& state);
    void ShowEnabling();

    SxFuseXCodec codec_;
    QButtonGroup* pins_ = nullptr;
    QButtonGroup* sleepClock_ = nullptr;
    QButtonGroup* optionX_ = nullptr;
    QButtonGroup* carryFlag_ = nullptr;
    QButtonGroup* brownOutLevel_ = nullptr;
    QButtonGroup* delayResetTimer_ = nullptr;
    QComboBox* brownOutTrimList_ = nullptr;
    QComboBox* pagesBanksList_ = nullptr;
};

}  // namespace vek
