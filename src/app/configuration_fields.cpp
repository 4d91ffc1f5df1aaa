#include "configuration_fields.h"

#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "device/device_table.h"

namespace vek {

namespace {

constexpr const char* CAPTION_CLOSED = "Set";
constexpr const char* CAPTION_OPEN = "X";
constexpr const char* MSG_SELECT_DEVICE = "First select a device to be programmed.";

void CloseQuietly(QPointer<ConfigEditor>& editor) {
    if (editor) {
        editor->CloseQuietly();
    }
    editor = nullptr;
}

// A click or Tab; not a window's activation giving the focus back, nor a greyed control
// handing it on.
bool IsFocusOfThePerson(const QEvent* event) {
    const Qt::FocusReason reason = static_cast<const QFocusEvent*>(event)->reason();
    return reason == Qt::MouseFocusReason || reason == Qt::TabFocusReason ||
           reason == Qt::BacktabFocusReason;
}

}  // namespace

ConfigurationFields::ConfigurationFields(WindowState& state, Reporter& reporter,
                                         const ConfigurationControls& controls,
                                         std::function<void()> refreshTarget,
                                         EditorFactory makeEditor)
    : state_(state),
      reporter_(reporter),
      controls_(controls),
      refreshTarget_(std::move(refreshTarget)),
      makeEditor_(std::move(makeEditor)) {
    for (QLineEdit* field : {controls_.fuseField, controls_.fuseXField}) {
        field->installEventFilter(this);
        // Only the editors, HEX files, Read and the settings put words here.
        field->setAcceptDrops(false);
    }
    connect(controls_.fuseSetButton, &QPushButton::clicked, this,
            &ConfigurationFields::ToggleFuseEditor);
    connect(controls_.fuseXSetButton, &QPushButton::clicked, this,
            &ConfigurationFields::ToggleFuseXEditor);
    connect(controls_.lastConfigButton, &QPushButton::clicked, this,
            &ConfigurationFields::UseLastConfiguration);
}

// The fields never keep the focus: it moves on at once, before an editor window takes the
// activation, so that a field is not what the window gives the focus back to later.
bool ConfigurationFields::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn &&
        (watched == controls_.fuseField || watched == controls_.fuseXField)) {
        MoveFocusOn();
        if (IsFocusOfThePerson(event)) {
            const bool fuseX = watched == controls_.fuseXField;
            QTimer::singleShot(0, this, [this, fuseX] {
                fuseX ? ToggleFuseXEditor() : ToggleFuseEditor();
                MoveFocusOn();
            });
        }
    }
    return QObject::eventFilter(watched, event);
}

// To Blank Check, or to the window itself while an operation greys the button.
void ConfigurationFields::MoveFocusOn() {
    if (controls_.focusAfterField->isEnabled()) {
        controls_.focusAfterField->setFocus();
    } else {
        controls_.focusAfterField->window()->setFocus();
    }
}

void ConfigurationFields::ToggleFuseEditor() {
    if (operationRunning_) {
        return;
    }
    if (sxFuseEditor_ || picConfigEditor_) {
        CloseFuseEditors();
        return;
    }
    controls_.fuseSetButton->setText(CAPTION_OPEN);
    controls_.fuseSetButton->setFocus();
    controls_.fuseField->setReadOnly(true);
    state_.CurrentFuseText = controls_.fuseField->text().toStdString();
    OpenFuseWordEditor();
}

void ConfigurationFields::ToggleFuseXEditor() {
    if (operationRunning_) {
        return;
    }
    if (sxFuseXEditor_) {
        CloseFuseXEditor();
        return;
    }
    controls_.fuseXSetButton->setText(CAPTION_OPEN);
    controls_.fuseXSetButton->setFocus();
    controls_.fuseXField->setReadOnly(true);
    state_.CurrentFuseXText = controls_.fuseXField->text().toStdString();
    refreshTarget_();
    if (!sxFuseXEditor_) {
        sxFuseXEditor_ = Open(EditorKind::SxFuseX);
    }
}

void ConfigurationFields::UseLastConfiguration() {
    if (operationRunning_) {
        return;
    }
    CloseQuietly(sxFuseEditor_);
    CloseQuietly(picConfigEditor_);
    state_.CurrentFuseText =
        state_.settings.ReadSettingText(SETTINGS_SECTION, KEY_FUSE_BITS_SAVE, "---");
    controls_.fuseField->setText(QString::fromStdString(state_.CurrentFuseText));
    controls_.fuseField->window()->repaint();
    OpenFuseWordEditor();
}

// The PIC16 editor or the SX FUSE editor, by the selected target.
void ConfigurationFields::OpenFuseWordEditor() {
    refreshTarget_();
    const int row = controls_.deviceList->currentIndex();
    if (!IsValidRow(row)) {
        reporter_.ShowMessage(MSG_SELECT_DEVICE);
        return;
    }
    if (DeviceTable[row].family == TargetFamily::PIC16) {
        if (!picConfigEditor_) {
            picConfigEditor_ = Open(EditorKind::PicConfig);
        }
    } else if (!sxFuseEditor_) {
        sxFuseEditor_ = Open(EditorKind::SxFuse);
    }
}

ConfigEditor* ConfigurationFields::Open(EditorKind kind) {
    const bool fuseX = kind == EditorKind::SxFuseX;
    ConfigEditor* editor = makeEditor_(kind, [this, fuseX](const QString& word) {
        fuseX ? ShowFuseXText(word) : ShowFuseText(word);
    });
    if (editor != nullptr) {
        connect(editor, &ConfigEditor::closedByUser, this,
                fuseX ? &ConfigurationFields::FuseXEditorClosed
                      : &ConfigurationFields::EditorClosedMessage);
    }
    return editor;
}

void ConfigurationFields::ShowFuseText(const QString& word) {
    controls_.fuseField->setText(word);
}

void ConfigurationFields::ShowFuseXText(const QString& word) {
    controls_.fuseXField->setText(word);
}

void ConfigurationFields::CloseFuseEditors() {
    controls_.fuseField->setReadOnly(false);
    controls_.fuseSetButton->setText(CAPTION_CLOSED);
    CloseQuietly(sxFuseEditor_);
    CloseQuietly(picConfigEditor_);
}

void ConfigurationFields::CloseFuseXEditor() {
    controls_.fuseXField->setReadOnly(false);
    controls_.fuseXSetButton->setText(CAPTION_CLOSED);
    CloseQuietly(sxFuseXEditor_);
}

void ConfigurationFields::EditorClosedMessage() {
    controls_.fuseField->setReadOnly(false);
    controls_.fuseSetButton->setText(CAPTION_CLOSED);
}

void ConfigurationFields::FuseXEditorClosed() {
    controls_.fuseXField->setReadOnly(false);
    controls_.fuseXSetButton->setText(CAPTION_CLOSED);
}

void ConfigurationFields::CloseAllEditors() {
    controls_.fuseSetButton->setText(CAPTION_CLOSED);
    controls_.fuseXSetButton->setText(CAPTION_CLOSED);
    controls_.fuseField->setReadOnly(false);
    CloseQuietly(sxFuseEditor_);
    CloseQuietly(picConfigEditor_);
    controls_.fuseXField->setReadOnly(false);
    CloseQuietly(sxFuseXEditor_);
}

void ConfigurationFields::CloseEditorsForHexOpen() {
    CloseFuseXEditor();
    CloseFuseEditors();
}

void ConfigurationFields::RefreshEditors() {
    for (ConfigEditor* editor :
         {sxFuseEditor_.data(), sxFuseXEditor_.data(), picConfigEditor_.data()}) {
        if (editor != nullptr) {
            editor->Refresh();
        }
    }
}

void ConfigurationFields::SetSxControlsEnabled(bool enabled) {
    sxControlsEnabled_ = enabled;
    SetOperationRunning(operationRunning_);
}

void ConfigurationFields::SetOperationRunning(bool running) {
    operationRunning_ = running;
    const bool fixed = running || jobLocked_;
    controls_.fuseField->setEnabled(!jobLocked_);
    controls_.fuseSetButton->setEnabled(!fixed);
    controls_.fuseXField->setEnabled(sxControlsEnabled_ && !jobLocked_);
    controls_.fuseXSetButton->setEnabled(sxControlsEnabled_ && !fixed);
    controls_.lastConfigButton->setEnabled(sxControlsEnabled_ && !fixed);
    for (ConfigEditor* editor :
         {sxFuseEditor_.data(), sxFuseXEditor_.data(), picConfigEditor_.data()}) {
        if (editor != nullptr) {
            editor->setEnabled(!running);
        }
    }
}

void ConfigurationFields::SetJobLocked(bool locked) {
    jobLocked_ = locked;
    if (locked) {
        CloseAllEditors();
    }
    SetOperationRunning(operationRunning_);
}

}  // namespace vek
