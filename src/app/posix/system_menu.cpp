#include "system_menu.h"

namespace vek {

// Elsewhere the window manager owns the title bar's menu: About stays in the Help menu only.
void AddAboutToSystemMenu(QWidget*) {}

bool IsAboutCommand(const QByteArray&, const void*) {
    return false;
}

}  // namespace vek
