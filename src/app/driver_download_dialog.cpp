#include "driver_download_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "link/web_addresses.h"
#include "platform/operating_system.h"

namespace vek {

DriverDownloadDialog::DriverDownloadDialog(QWidget* parent, WebOpener opener)
    : QDialog(parent), opener_(std::move(opener)) {
    setWindowTitle("Driver Download Dialog");

    auto* text = new QVBoxLayout;
    text->setSpacing(0);
    for (const char* line :
         {"This dialog will download the most recent version of FTDI's drivers.  ",
          "This feature assumes your computer is currently connected to the internet. ",
          "Select the driver set to download by clicking one of these buttons :"}) {
        text->addWidget(new QLabel(line));
    }

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(MakeDownloadButton("programmerDllDriversButton",
                                          "DLL drivers for VEK Flash programmer",
                                          PROGRAMMER_DLL_DRIVERS_PATH));
    buttons->addWidget(MakeDownloadButton("standardDllDriversButton", "Standard DLL Drivers",
                                          STANDARD_DLL_DRIVERS_PATH));
    buttons->addWidget(MakeDownloadButton("standardVcpDriversButton", "Standard VCP drivers",
                                          STANDARD_VCP_DRIVERS_PATH));
    auto* downloads = new QHBoxLayout;
    downloads->addStretch(1);
    downloads->addLayout(buttons);
    downloads->addStretch(1);

    auto* ok = new QPushButton("OK");
    ok->setObjectName("okButton");
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto* closing = new QHBoxLayout;
    closing->addStretch(1);
    closing->addWidget(ok);

    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->setSpacing(12);
    layout->addLayout(text);
    layout->addLayout(downloads);
    if (ThisOperatingSystem() == OperatingSystem::Linux) {
        // The open libftdi1 driver serves the programmer as well; the downloads are optional here.
        layout->addWidget(
            new QLabel("On Linux no download is needed when libftdi1 is installed (sudo apt "
                       "install libftdi1-2)."));
    }
    layout->addLayout(closing);
}

QPushButton* DriverDownloadDialog::MakeDownloadButton(const QString& objectName,
                                                      const QString& caption,
                                                      const char* packagePath) {
    auto* button = new QPushButton(caption);
    button->setObjectName(objectName);
    // Enter closes the dialog through OK; a download needs its own press.
    button->setAutoDefault(false);
    const QString address = QString(MAKER_WEB_ADDRESS) + packagePath;
    connect(button, &QPushButton::clicked, this,
            [this, address] { OpenWebAddress(opener_, address, this); });
    return button;
}

}  // namespace vek
