// The Device list: a drop-down list that also reports when its drop-down part closes.
#pragma once

#include <QComboBox>

namespace vek {

class DeviceList : public QComboBox {
    Q_OBJECT
  public:
    explicit DeviceList(QWidget* parent = nullptr);

    void hidePopup() override;

  signals:
    // The drop-down part closed, whether a row was chosen or not. Emitted after the chosen
    // row has been applied and its selection change reported.
    void closedUp();
};

}  // namespace vek
