#include "read_data_saver.h"

#include <QDir>
#include <QFileDialog>
#include <QSaveFile>

#include "device/hex_writer.h"
#include "window_placement.h"

namespace vek {

void SaveReadDataAs(QWidget* parent, Reporter& reporter, const ReadContents& contents,
                    const QString& folder) {
    QFileDialog dialog(parent, "Save Read Data As");
    dialog.setObjectName("saveReadDataDialog");
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters({"HEX Files (*.hex *.sxh)", "All Files (*)"});
    dialog.setDefaultSuffix("hex");
    dialog.setDirectory(folder);
    // Named after the chip it was read from.
    dialog.selectFile(QString::fromUtf8(contents.target.name.data(),
                                        static_cast<qsizetype>(contents.target.name.size())) +
                      ".hex");
    FitFileDialog(dialog, parent);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return;
    }
    const QString path = dialog.selectedFiles().constFirst();
    const std::string text = HexFileText(contents.image, contents.target, contents.words);
    // Written aside and renamed over the file, so that a failure leaves the old one whole.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(text.data(), static_cast<qint64>(text.size())) !=
            static_cast<qint64>(text.size()) ||
        !file.commit()) {
        reporter.ShowMessage("Error: The file " + QDir::toNativeSeparators(path).toStdString() +
                             " could not be written.");
    }
}

}  // namespace vek
