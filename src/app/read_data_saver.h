// File > "Save Read Data As...": what the last Read took from the chip, as a HEX file.
#pragma once

#include <QString>

#include "link/reporter.h"
#include "session/workspace.h"

class QWidget;

namespace vek {

// Asks for the file, starting in `folder`, and writes it whole or not at all; a file that
// cannot be written is reported.
void SaveReadDataAs(QWidget* parent, Reporter& reporter, const ReadContents& contents,
                    const QString& folder);

}  // namespace vek
