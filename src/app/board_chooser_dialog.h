// Lets the person pick which of several attached programmer boards the window connects to.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "link/attached_boards.h"

class QListWidget;

namespace vek {

// Lists the boards by USB serial number after an entry for the first board found, which is
// what an empty choice means. A chosen board that is not attached now stays listed, so that
// OK without a new pick keeps it.
class BoardChooserDialog : public QDialog {
    Q_OBJECT
  public:
    BoardChooserDialog(QWidget* parent, const std::vector<AttachedBoard>& boards,
                       const std::string& chosenSerial);

    // The serial number picked; empty for the first board found.
    std::string ChosenSerial() const;

  private:
    void AddEntry(const QString& text, const std::string& serial);

    QListWidget* list_ = nullptr;
};

}  // namespace vek
