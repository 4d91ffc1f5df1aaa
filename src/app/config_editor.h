// A modeless window that edits one configuration word bit by bit. It reads the word from the
// window state's shared text when it opens and whenever Refresh is called, and on every click
// writes the whole word back at once: to the shared text, to the settings and, through
// showInField, to the main window's field. It has no OK button; closing keeps what was
// written last.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>

namespace vek {

class ConfigEditor : public QDialog {
    Q_OBJECT
  public:
    using ShowInField = std::function<void(const QString& word)>;

    explicit ConfigEditor(QWidget* mainWindow) : QDialog(mainWindow) {}

    // Re-reads the shared text into the controls.
    virtual void Refresh() = 0;

    // The main window closes the editor (Set button, field focus, "R", HEX open, target
    // change, exit): the window goes without reporting closedByUser.
    virtual void CloseQuietly() = 0;

  signals:
    // The person closed the window (close box or Escape); it deletes itself afterwards.
    void closedByUser();
};

}  // namespace vek
