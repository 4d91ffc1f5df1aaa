// Opening a web address in the person's browser.
#pragma once

#include <QUrl>
#include <functional>

class QString;
class QWidget;

namespace vek {

// Hands an address to the desktop, which opens it in the browser; false when it could not.
// Tests put a recorder in its place, so that no browser starts.
using WebOpener = std::function<bool(const QUrl& address)>;
bool OpenWithDesktop(const QUrl& address);

// Opens the address; when that fails, says so in a message box over `parent`, which stays
// as it was.
void OpenWebAddress(const WebOpener& opener, const QString& address, QWidget* parent);

}  // namespace vek
