// The core's way to the person, on the Qt main window.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "link/user_interface.h"

class QComboBox;
class QLineEdit;
class QMessageBox;
class QProgressBar;
class QWidget;

namespace vek {

// The window's controls that the core reads and writes.
struct WindowControls {
    QWidget* window = nullptr;
    QProgressBar* progressBar = nullptr;
    QComboBox* deviceList = nullptr;
    QLineEdit* hexFileField = nullptr;
    QLineEdit* fuseField = nullptr;
    QLineEdit* fuseXField = nullptr;
    QLineEdit* devWordField = nullptr;
};

// What the window does for the core beyond its controls: the parts that live in windows of
// their own (editors, Hex Data) and the enabling around a running operation.
struct WindowHooks {
    std::function<void(bool running)> setOperationRunning;
    std::function<void()> refreshConfigEditors;
    std::function<void()> prepareHexDataWindow;
    std::function<void(const std::vector<std::string>& lines)> showHexDataLines;
    std::function<void()> emptyHexDataWindow;
};

// Blocks the thread for the given time; tests put a recorder in its place.
using PauseFunction = std::function<void(int milliseconds)>;
void SleepPause(int milliseconds);

class QtUserInterface : public UserInterface {
  public:
    // The controls are read at each call, so they may be created after this object.
    QtUserInterface(const WindowControls& controls, const WindowHooks& hooks, PauseFunction pause);
    ~QtUserInterface() override;

    void ShowMessage(const std::string& text, MessageIcon icon) override;
    bool AskYesNo(const std::string& question) override;
    void SetProgress(int percent) override;
    void PumpOneEvent() override;
    void BeginWaitCursor() override;
    void EndWaitCursor() override;
    void Pause(int milliseconds) override;
    void PauseAfterWarning(int milliseconds) override;
    FieldTexts TakeFieldTexts() override;
    void ShowFieldTexts(const FieldTexts& texts) override;
    int SelectedDeviceRow() override;
    void SetOperationRunning(bool running) override;
    void RefreshConfigEditors() override;
    void PrepareHexDataWindow() override;
    void ShowHexDataLines(const std::vector<std::string>& lines) override;
    void EmptyHexDataWindow() override;

  private:
    // The wait cursor shows while a wait is requested and no message box is open.
    void UpdateWaitCursor();
    int ExecMessageBox(QMessageBox& box);

    const WindowControls& controls_;
    const WindowHooks& hooks_;
    PauseFunction pause_;
    int waitRequests_ = 0;
    int openMessageBoxes_ = 0;
    bool waitCursorShown_ = false;
};

}  // namespace vek
