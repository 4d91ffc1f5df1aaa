#include "usb_description_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "link/attached_boards.h"

namespace vek {

namespace {

// Lines of a paragraph, set close together as one text.
QVBoxLayout* Paragraph(std::initializer_list<const char*> lines) {
    auto* paragraph = new QVBoxLayout;
    paragraph->setSpacing(0);
    for (const char* line : lines) {
        paragraph->addWidget(new QLabel(line));
    }
    return paragraph;
}

}  // namespace

UsbDescriptionDialog::UsbDescriptionDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle("USB Description String");

    auto* fieldLabel = new QLabel("USB Description String : ");
    auto* field = new QLineEdit(PROGRAMMER_DESCRIPTION);
    field->setObjectName("descriptionField");
    fieldLabel->setBuddy(field);
    auto* ok = new QPushButton("OK");
    ok->setObjectName("okButton");
    ok->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);

    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->setSpacing(10);
    layout->addLayout(
        Paragraph({"In order to connect to the VEK Flash programmer, ",
                   "this application will scan all attached USB",
                   "devices looking for one with the description ", "string shown here."}));
    auto* fieldGroup = new QVBoxLayout;
    fieldGroup->setSpacing(2);
    fieldGroup->addWidget(fieldLabel);
    fieldGroup->addWidget(field);
    layout->addLayout(fieldGroup);
    layout->addLayout(Paragraph(
        {"This USB description string must be stored in",
         "the non-volatile (EEPROM) memory that is", "located on the VEK Flash programmer board.",
         "The VEK Flash programmer is shipped from the", "factory with this default setting."}));
    layout->addLayout(buttons);

    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace vek
