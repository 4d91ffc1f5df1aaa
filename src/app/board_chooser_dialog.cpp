#include "board_chooser_dialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace vek {

namespace {

QString CountText(std::size_t count) {
    if (count == 0) {
        return "No programmer board is attached.";
    }
    if (count == 1) {
        return "One programmer board is attached.";
    }
    return QString("%1 programmer boards are attached; pick the one to use.").arg(count);
}

}  // namespace

BoardChooserDialog::BoardChooserDialog(QWidget* parent, const std::vector<AttachedBoard>& boards,
                                       const std::string& chosenSerial)
    : QDialog(parent) {
    setWindowTitle("Choose Programmer");

    auto* countLabel = new QLabel(CountText(boards.size()));
    countLabel->setObjectName("boardCountLabel");
    auto* listLabel = new QLabel("&USB serial number:");
    list_ = new QListWidget;
    list_->setObjectName("boardList");
    list_->setAccessibleName("Programmer boards by USB serial number");
    listLabel->setBuddy(list_);

    AddEntry("First board found", "");
    for (const AttachedBoard& board : boards) {
        AddEntry(QString::fromStdString(board.serial), board.serial);
    }
    const bool chosenAttached =
        std::any_of(boards.begin(), boards.end(),
                    [&](const AttachedBoard& board) { return board.serial == chosenSerial; });
    if (!chosenSerial.empty() && !chosenAttached) {
        AddEntry(QString::fromStdString(chosenSerial) + " (not attached)", chosenSerial);
    }
    for (int row = 0; row < list_->count(); ++row) {
        if (list_->item(row)->data(Qt::UserRole).toString().toStdString() == chosenSerial) {
            list_->setCurrentRow(row);
        }
    }

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setObjectName("okButton");
    buttons->button(QDialogButtonBox::Cancel)->setObjectName("cancelButton");

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(countLabel);
    layout->addWidget(listLabel);
    layout->addWidget(list_);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(list_, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
}

std::string BoardChooserDialog::ChosenSerial() const {
    const QListWidgetItem* item = list_->currentItem();
    return item == nullptr ? std::string() : item->data(Qt::UserRole).toString().toStdString();
}

void BoardChooserDialog::AddEntry(const QString& text, const std::string& serial) {
    auto* item = new QListWidgetItem(text, list_);
    item->setData(Qt::UserRole, QString::fromStdString(serial));
}

}  // namespace vek
