// The dialogs in which the person picks a HEX file or a job file.
#pragma once

#include <QString>
#include <optional>

class QWidget;

namespace vek {

// The full path of the chosen file, which need not exist; nothing when cancelled.
std::optional<QString> ChooseHexFile(QWidget* parent, const QString& initialFile);

// A job file to open, or to save (then ".vekjob" is added to a name without an extension).
std::optional<QString> ChooseJobFile(QWidget* parent, bool forSaving, const QString& initialFile);

}  // namespace vek
