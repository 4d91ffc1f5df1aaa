// The "Configuration Fuses" window: the SX FUSE word bit by bit.
#pragma once

#include "config/sx_fuse.h"
#include "config_editor_window.h"

namespace vek {

class SxFuseEditor : public ConfigEditorWindow {
    Q_OBJECT
  public:
    // Opens visible on the window state's CurrentFuseText, for its CurrentTarget.
    SxFuseEditor(QWidget* mainWindow, WindowState& state, ShowInField showInField);

    void Refresh() override;

  protected:
    void Apply() override;

  private:
    SxFuseState ReadControls() const;
    void ShowState(const SxFuseState& state);
    void ShowEnabling(const SxFuseState& state);

    SxFuseCodec codec_;
    QButtonGroup* turbo_ = nullptr;
    QButtonGroup* syncInput_ = nullptr;
    QButtonGroup* internalRc_ = nullptr;
    QButtonGroup* rcDivider_ = nullptr;
    QButtonGroup* feedbackResistor_ = nullptr;
    QButtonGroup* crystalBuffer_ = nullptr;
    QButtonGroup* codeProtection_ = nullptr;
    QButtonGroup* watchdog_ = nullptr;
    QComboBox* oscillatorList_ = nullptr;
};

}  // namespace vek
