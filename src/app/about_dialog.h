// The About dialog, which is also the way back for a window that a saved position has put
// off the screen.
#pragma once

#include <QDialog>

namespace vek {

class AboutDialog : public QDialog {
    Q_OBJECT
  public:
    // Restore Window Position moves `mainWindow` as well; driverText names the USB driver.
    AboutDialog(QWidget* mainWindow, const QString& driverText);

  private:
    void RestoreWindowPosition();

    QWidget* mainWindow_;
};

}  // namespace vek
