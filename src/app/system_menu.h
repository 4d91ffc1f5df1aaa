// The window's system menu on Windows, which Qt does not reach: the About item below a
// separator, and the command it sends.
#pragma once

#include <QByteArray>

class QWidget;

namespace vek {

// Appends the separator and the item to the system menu of `window`, creating its native
// window. Without one (Qt's offscreen platform) there is no system menu and nothing happens.
void AddAboutToSystemMenu(QWidget* window);

// Whether a native message of the window (QWidget::nativeEvent) is the About item's command,
// whichever way it arrives: posted by the menu or sent by another program.
bool IsAboutCommand(const QByteArray& eventType, const void* message);

}  // namespace vek
