#include "qt_user_interface.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QProgressBar>
#include <chrono>
#include <thread>

#include "message_box.h"

namespace vek {

void SleepPause(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

QtUserInterface::QtUserInterface(const WindowControls& controls, const WindowHooks& hooks,
                                 PauseFunction pause)
    : controls_(controls), hooks_(hooks), pause_(std::move(pause)) {}

QtUserInterface::~QtUserInterface() {
    if (waitCursorShown_) {
        QApplication::restoreOverrideCursor();
    }
}

void QtUserInterface::ShowMessage(const std::string& text, MessageIcon icon) {
    const QMessageBox::Icon boxIcon =
        icon == MessageIcon::Exclamation ? QMessageBox::Warning : QMessageBox::NoIcon;
    CopyableMessageBox box(boxIcon, QString::fromStdString(text), controls_.window);
    ExecMessageBox(box);
}

bool QtUserInterface::AskYesNo(const std::string& question) {
    CopyableMessageBox box(QMessageBox::Warning, QString::fromStdString(question),
                           controls_.window);
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return ExecMessageBox(box) == QMessageBox::Yes;
}

int QtUserInterface::ExecMessageBox(QMessageBox& box) {
    ++openMessageBoxes_;
    UpdateWaitCursor();
    const int answer = box.exec();
    --openMessageBoxes_;
    UpdateWaitCursor();
    return answer;
}

void QtUserInterface::SetProgress(int percent) {
    controls_.progressBar->setValue(percent);
}

void QtUserInterface::PumpOneEvent() {
    QCoreApplication::processEvents();
}

void QtUserInterface::BeginWaitCursor() {
    ++waitRequests_;
    UpdateWaitCursor();
}

void QtUserInterface::EndWaitCursor() {
    if (waitRequests_ > 0) {
        --waitRequests_;
    }
    UpdateWaitCursor();
}

void QtUserInterface::Pause(int milliseconds) {
    pause_(milliseconds);
}

// The pause blocks the window, but a window that stops painting for seconds looks hung: it
// handles everything but input between short slices of the pause.
void QtUserInterface::PauseAfterWarning(int milliseconds) {
    constexpr int SLICE_MS = 50;
    for (int waited = 0; waited < milliseconds; waited += SLICE_MS) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        pause_(std::min(SLICE_MS, milliseconds - waited));
    }
}

FieldTexts QtUserInterface::TakeFieldTexts() {
    return FieldTexts{
        .HexFileText = controls_.hexFileField->text().toStdString(),
        .FuseText = controls_.fuseField->text().toStdString(),
        .FuseXText = controls_.fuseXField->text().toStdString(),
        .DevWordText = controls_.devWordField->text().toStdString(),
    };
}

void QtUserInterface::ShowFieldTexts(const FieldTexts& texts) {
    controls_.hexFileField->setText(QString::fromStdString(texts.HexFileText));
    controls_.fuseField->setText(QString::fromStdString(texts.FuseText));
    controls_.fuseXField->setText(QString::fromStdString(texts.FuseXText));
    controls_.devWordField->setText(QString::fromStdString(texts.DevWordText));
    controls_.window->repaint();
}

int QtUserInterface::SelectedDeviceRow() {
    return controls_.deviceList->currentIndex();
}

void QtUserInterface::SetOperationRunning(bool running) {
    hooks_.setOperationRunning(running);
}

void QtUserInterface::RefreshConfigEditors() {
    hooks_.refreshConfigEditors();
}

void QtUserInterface::PrepareHexDataWindow() {
    hooks_.prepareHexDataWindow();
}

void QtUserInterface::ShowHexDataLines(const std::vector<std::string>& lines) {
    hooks_.showHexDataLines(lines);
}

void QtUserInterface::EmptyHexDataWindow() {
    hooks_.emptyHexDataWindow();
}

void QtUserInterface::UpdateWaitCursor() {
    const bool wanted = waitRequests_ > 0 && openMessageBoxes_ == 0;
    if (wanted == waitCursorShown_) {
        return;
    }
    if (wanted) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
    waitCursorShown_ = wanted;
}

}  // namespace vek
