#include "web_links.h"

#include <QDesktopServices>

#include "message_box.h"

namespace vek {

bool OpenWithDesktop(const QUrl& address) {
    return QDesktopServices::openUrl(address);
}

void OpenWebAddress(const WebOpener& opener, const QString& address, QWidget* parent) {
    if (opener(QUrl(address))) {
        return;
    }
    CopyableMessageBox box(QMessageBox::Warning, "Internet access not available.", parent);
    box.exec();
}

}  // namespace vek
