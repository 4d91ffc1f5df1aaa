#include "device_list.h"

#include <QAbstractItemView>
#include <QEvent>
#include <QTimer>

namespace vek {

DeviceList::DeviceList(QWidget* parent) : QComboBox(parent) {
    // The drop-down part is a window of its own. Qt hides it without hidePopup() when a modal
    // box opens, so its hiding is the one sign of a close-up that every way of closing gives.
    popup_ = view()->window();
    popup_->installEventFilter(this);
}

bool DeviceList::eventFilter(QObject* watched, QEvent* event) {
    if (watched == popup_ && event->type() == QEvent::Hide) {
        // A click or Return hides the list first and applies the chosen row afterwards, so
        // the close-up is reported from the event loop, once the new row is in place.
        QTimer::singleShot(0, this, &DeviceList::closedUp);
    }
    return QComboBox::eventFilter(watched, event);
}

}  // namespace vek
