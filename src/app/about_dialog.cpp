#include "about_dialog.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "painted_icons.h"

namespace vek {

namespace {

// Outer top-left corners, near the primary screen's corner, where a window is always seen.
constexpr QPoint DIALOG_CORNER(200, 200);
constexpr QPoint MAIN_WINDOW_CORNER(100, 100);
constexpr int ICON_SIZE = 32;

}  // namespace

AboutDialog::AboutDialog(QWidget* mainWindow, const QString& driverText)
    : QDialog(mainWindow), mainWindow_(mainWindow) {
    setWindowTitle("About vekflash");

    auto* icon = new QLabel;
    icon->setObjectName("applicationIcon");
    icon->setPixmap(ApplicationIcon().pixmap(ICON_SIZE, ICON_SIZE));
    icon->setAlignment(Qt::AlignTop);
    auto* version = new QLabel("VEK Flash Version " VEK_VERSION);
    auto* notice = new QLabel("Copyright (C) VEK Design");
    auto* driver = new QLabel(driverText);
    driver->setObjectName("driverLabel");
    auto* ok = new QPushButton("OK");
    ok->setObjectName("okButton");
    ok->setDefault(true);
    auto* restore = new QPushButton("Restore Window Position");
    restore->setObjectName("restorePositionButton");
    restore->setAutoDefault(false);

    auto* layout = new QGridLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->setHorizontalSpacing(14);
    layout->addWidget(icon, 0, 0, 3, 1);
    layout->addWidget(version, 0, 1);
    layout->addWidget(notice, 1, 1);
    layout->addWidget(driver, 2, 1);
    layout->addWidget(ok, 0, 2);
    layout->addWidget(restore, 1, 2);

    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(restore, &QPushButton::clicked, this, &AboutDialog::RestoreWindowPosition);
}

// move() places a window's outer corner; the main window's own tracking sees its move and
// saves the position at the next tick.
void AboutDialog::RestoreWindowPosition() {
    move(DIALOG_CORNER);
    mainWindow_->move(MAIN_WINDOW_CORNER);
}

}  // namespace vek
