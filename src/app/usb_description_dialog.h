// Explains how the programmer is found: by the USB description string in its board's EEPROM.
#pragma once

#include <QDialog>

namespace vek {

// The field only shows the string: what is typed there is dropped, because the string is
// the board's, not this program's to choose.
class UsbDescriptionDialog : public QDialog {
    Q_OBJECT
  public:
    explicit UsbDescriptionDialog(QWidget* parent);
};

}  // namespace vek
