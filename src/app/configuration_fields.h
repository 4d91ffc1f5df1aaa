// The configuration words on the main window: the Fuse and FuseX fields with their Set
// buttons, the "R" button, and the three editor windows they open and close.
#pragma once

#include <QObject>
#include <QPointer>
#include <functional>

#include "config_editor.h"
#include "link/reporter.h"
#include "session/window_state.h"

class QComboBox;
class QLineEdit;
class QPushButton;

namespace vek {

enum class EditorKind { SxFuse, SxFuseX, PicConfig };
// Makes an editor window of the kind, writing its word to the field through showInField.
using EditorFactory = std::function<ConfigEditor*(EditorKind kind, ConfigEditor::ShowInField)>;

struct ConfigurationControls {
    QLineEdit* fuseField = nullptr;
    QLineEdit* fuseXField = nullptr;
    QPushButton* fuseSetButton = nullptr;
    QPushButton* fuseXSetButton = nullptr;
    QPushButton* lastConfigButton = nullptr;
    // Where the focus goes once a field has opened or closed its editor.
    QWidget* focusAfterField = nullptr;
    // Whose selection decides which editor the Set button opens.
    QComboBox* deviceList = nullptr;
};

class ConfigurationFields : public QObject {
    Q_OBJECT
  public:
    // refreshTarget: the Device list's row into the state's CurrentTarget, whose words the
    // editors then edit.
    ConfigurationFields(WindowState& state, Reporter& reporter,
                        const ConfigurationControls& controls, std::function<void()> refreshTarget,
                        EditorFactory makeEditor);

    void ToggleFuseEditor();
    void ToggleFuseXEditor();
    void UseLastConfiguration();

    // A change of target and the window's exit: both captions "Set", every editor closed.
    void CloseAllEditors();
    // Opening a HEX file closes the FuseX editor first, then the Fuse editors.
    void CloseEditorsForHexOpen();
    // The open editors re-read the shared texts.
    void RefreshEditors();
    // The FuseX field, its Set button and "R" exist for SX targets only.
    void SetSxControlsEnabled(bool enabled);
    // While a device operation runs nothing here may change the words it works from.
    void SetOperationRunning(bool running);
    // An open job pins the words: the fields and their buttons stay greyed until it closes.
    void SetJobLocked(bool locked);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void MoveFocusOn();
    void CloseFuseEditors();
    void CloseFuseXEditor();
    // The editor closed itself (close box or Escape).
    void EditorClosedMessage();
    void FuseXEditorClosed();
    void OpenFuseWordEditor();
    ConfigEditor* Open(EditorKind kind);
    void ShowFuseText(const QString& word);
    void ShowFuseXText(const QString& word);

    WindowState& state_;
    Reporter& reporter_;
    ConfigurationControls controls_;
    std::function<void()> refreshTarget_;
    EditorFactory makeEditor_;
    QPointer<ConfigEditor> sxFuseEditor_;
    QPointer<ConfigEditor> sxFuseXEditor_;
    QPointer<ConfigEditor> picConfigEditor_;
    bool sxControlsEnabled_ = false;
    bool operationRunning_ = false;
    bool jobLocked_ = false;
};

}  // namespace vek
