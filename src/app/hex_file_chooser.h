// The dialog in which the person picks a HEX file.
#pragma once

#include <QString>
#include <optional>

class QWidget;

namespace vek {

// The full path of the chosen file, which need not exist; nothing when cancelled.
std::optional<QString> ChooseHexFile(QWidget* parent, const QString& initialFile);

}  // namespace vek
