#include "qt_reporter.h"

#include <QApplication>
#include <chrono>
#include <thread>

#include "message_box.h"

namespace vek {

void SleepPause(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

QtReporter::QtReporter(QWidget* window, WindowHooks hooks, PauseFunction pause)
    : window_(window), hooks_(std::move(hooks)), pause_(std::move(pause)) {}

QtReporter::~QtReporter() {
    if (waitCursorShown_) {
        QApplication::restoreOverrideCursor();
    }
}

void QtReporter::ReleaseMessages() {
    holding_ = false;
    std::vector<std::pair<std::string, MessageIcon>> held;
    held.swap(held_);
    for (const auto& [text, icon] : held) {
        ShowMessage(text, icon);
    }
}

void QtReporter::ShowMessage(const std::string& text, MessageIcon icon) {
    if (divertTo_) {
        divertTo_(text);
        return;
    }
    if (holding_) {
        held_.emplace_back(text, icon);
        return;
    }
    const QMessageBox::Icon boxIcon =
        icon == MessageIcon::Exclamation ? QMessageBox::Warning : QMessageBox::NoIcon;
    CopyableMessageBox box(boxIcon, QString::fromStdString(text), window_);
    ExecMessageBox(box);
}

bool QtReporter::AskYesNo(const std::string& question) {
    if (divertTo_) {
        return divertedAnswer_;
    }
    if (holding_) {
        return heldAnswer_;
    }
    CopyableMessageBox box(QMessageBox::Warning, QString::fromStdString(question), window_);
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return ExecMessageBox(box) == QMessageBox::Yes;
}

int QtReporter::ExecMessageBox(QMessageBox& box) {
    ++openMessageBoxes_;
    UpdateWaitCursor();
    const int answer = box.exec();
    --openMessageBoxes_;
    UpdateWaitCursor();
    return answer;
}

void QtReporter::SetProgress(int percent) {
    hooks_.setProgress(percent);
}

void QtReporter::PumpOneEvent() {
    QCoreApplication::processEvents();
}

void QtReporter::BeginWaitCursor() {
    ++waitRequests_;
    UpdateWaitCursor();
}

void QtReporter::EndWaitCursor() {
    if (waitRequests_ > 0) {
        --waitRequests_;
    }
    UpdateWaitCursor();
}

void QtReporter::Pause(int milliseconds) {
    pause_(milliseconds);
}

// The pause blocks the window, but a window that stops painting for seconds looks hung: it
// handles everything but input between short slices of the pause.
void QtReporter::PauseAfterWarning(int milliseconds) {
    constexpr int SLICE_MS = 50;
    for (int waited = 0; waited < milliseconds; waited += SLICE_MS) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        pause_(std::min(SLICE_MS, milliseconds - waited));
    }
}

void QtReporter::SetOperationRunning(bool running) {
    hooks_.setOperationRunning(running);
}

void QtReporter::ShowTargetId(int id) {
    hooks_.showTargetId(id);
}

void QtReporter::UpdateWaitCursor() {
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
