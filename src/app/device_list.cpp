#include "device_list.h"

#include <QAbstractItemView>
#include <QTimer>

namespace vek {

DeviceList::DeviceList(QWidget* parent) : QComboBox(parent) {}

void DeviceList::hidePopup() {
    const bool wasOpen = view()->isVisible();
    QComboBox::hidePopup();
    if (!wasOpen) {
        return;
    }
    // A click or Return hides the list first and applies the chosen row afterwards, so the
    // close-up is reported from the event loop, once the new row is in place.
    QTimer::singleShot(0, this, &DeviceList::closedUp);
}

}  // namespace vek
