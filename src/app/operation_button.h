// A device operation's button: its icon at a fixed place on top and its caption below, so a
// row of them lines up whether a caption takes one line or two.
#pragma once

#include <QToolButton>

namespace vek {

class OperationButton : public QToolButton {
    Q_OBJECT
  public:
    OperationButton(const QString& objectName, const QString& caption);

  protected:
    void paintEvent(QPaintEvent* event) override;
    // Return and Enter press the focused button as Space does, as in a dialog window.
    void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace vek
