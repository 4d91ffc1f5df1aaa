// The application's icons, drawn in code so that the program needs no image files.
#pragma once

#include <QIcon>

namespace vek {

QIcon ApplicationIcon();
QIcon BlankCheckIcon();
QIcon EraseIcon();
QIcon ProgramIcon();
QIcon VerifyIcon();
QIcon ReadIcon();

}  // namespace vek
