// The Device list: a drop-down list that also reports when its drop-down part closes.
#pragma once

#include <QComboBox>

namespace vek {

class DeviceList : public QComboBox {
    Q_OBJECT
  public:
    explicit DeviceList(QWidget* parent = nullptr);

  signals:
    // The drop-down part closed, whether a row was chosen or not. Emitted after the chosen
    // row has been applied and its selection change reported.
    void closedUp();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QWidget* popup_ = nullptr;
};

}  // namespace vek
