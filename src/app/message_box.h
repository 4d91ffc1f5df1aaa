// The application's message box: title "VEK Flash", only an OK button.
#pragma once

#include <QMessageBox>

namespace vek {

inline constexpr const char* MESSAGE_TITLE = "VEK Flash";

// Ctrl+C copies the box as plain text on every platform, in the layout that Windows users
// know: dashed lines around the title, the text and the buttons.
class CopyableMessageBox : public QMessageBox {
    Q_OBJECT
  public:
    CopyableMessageBox(QMessageBox::Icon icon, const QString& text, QWidget* parent);

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    QString PlainTextCopy() const;
};

}  // namespace vek
