// The "Configuration Window": the PIC16 configuration word bit by bit.
#pragma once

#include "config/pic_config.h"
#include "config_editor_window.h"

namespace vek {

class PicConfigEditor : public ConfigEditorWindow {
    Q_OBJECT
  public:
    // Opens visible on the window state's CurrentFuseText, for its CurrentTarget.
    PicConfigEditor(QWidget* mainWindow, WindowState& state, ShowInField showInField);

    void Refresh() override;

  protected:
    void Apply() override;

  private:
    PicConfigState ReadControls() const;
    void ShowState(const PicConfigState& state);
    void ShowEnabling();

    PicConfigCodec codec_;
    QCheckBox* watchdogBox_ = nullptr;
    QCheckBox* powerUpTimerBox_ = nullptr;
    QCheckBox* brownOutResetBox_ = nullptr;
    QCheckBox* programMemWriteBox_ = nullptr;
    QCheckBox* inCircuitDebuggerBox_ = nullptr;
    QCheckBox* eepromProtectBox_ = nullptr;
    QButtonGroup* codeProtection_ = nullptr;
    QButtonGroup* oscillatorMode_ = nullptr;
};

}  // namespace vek
