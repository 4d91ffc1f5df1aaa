// Answers the application's modal message boxes as a person would, without real waiting:
// a zero-interval timer finds the box that is open, records its text and presses OK.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <functional>
#include <string>
#include <vector>

namespace vek::test {

class MessageBoxAnswerer {
  public:
    MessageBoxAnswerer() {
        QObject::connect(&timer_, &QTimer::timeout, [this] { AnswerOpenBox(); });
        timer_.start(0);
    }

    std::vector<std::string> messages;
    // Runs while the box is still open, before OK is pressed.
    std::function<void(QMessageBox& box)> whileOpen;

  private:
    void AnswerOpenBox() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        // A box stays the active one while its own whileOpen runs; answer it only once.
        if (box == nullptr || box->property("answered").toBool()) {
            return;
        }
        box->setProperty("answered", true);
        messages.push_back(box->text().toStdString());
        if (whileOpen) {
            whileOpen(*box);
        }
        box->button(QMessageBox::Ok)->click();
    }

    QTimer timer_;
};

}  // namespace vek::test
