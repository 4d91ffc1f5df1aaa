#include "hex_file_chooser.h"

#include <QFileDialog>

#include "window_placement.h"

namespace vek {

namespace {

std::optional<QString> Chosen(QFileDialog& dialog, QWidget* parent, const QString& initialFile) {
    FitFileDialog(dialog, parent);
    if (!initialFile.isEmpty()) {
        dialog.selectFile(initialFile);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().constFirst();
}

}  // namespace

std::optional<QString> ChooseHexFile(QWidget* parent, const QString& initialFile) {
    QFileDialog dialog(parent, "Select a HEX file.");
    dialog.setObjectName("hexFileDialog");
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // A typed name is taken as it is; opening it reports a file that is not there.
    dialog.setFileMode(QFileDialog::AnyFile);
    // The file dialog's own pattern syntax: blanks between patterns, and "*" for every file,
    // also those without an extension.
    dialog.setNameFilters({"HEX Files (*.hex *.sxh)", "All Files (*)"});
    return Chosen(dialog, parent, initialFile);
}

std::optional<QString> ChooseJobFile(QWidget* parent, bool forSaving, const QString& initialFile) {
    QFileDialog dialog(parent, forSaving ? "Save the job as" : "Select a job file.");
    dialog.setObjectName("jobFileDialog");
    dialog.setAcceptMode(forSaving ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(forSaving ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setDefaultSuffix("vekjob");
    dialog.setNameFilters({"VEK Flash Jobs (*.vekjob)", "All Files (*)"});
    return Chosen(dialog, parent, initialFile);
}

}  // namespace vek
