// The window's production jobs: opening one fills the window and pins what it programs,
// saving one keeps what the window shows.
#include <QAction>
#include <QFileInfo>
#include <QLineEdit>

#include "configuration_fields.h"
#include "device/hex_text.h"
#include "device_list.h"
#include "hex_file_chooser.h"
#include "main_window.h"
#include "operations/job_chip.h"
#include "operations/program.h"
#include "platform/utf8_path.h"
#include "production_window.h"
#include "recent_files_menu.h"

namespace vek {

namespace {

// Job files are kept beside the HEX files they program.
QString InitialJobFile(const std::string& jobPath, const std::string& lastHexFile) {
    if (!jobPath.empty()) {
        return QString::fromStdString(jobPath);
    }
    return lastHexFile.empty() ? QString() : QFileInfo(QString::fromStdString(lastHexFile)).path();
}

// A chip that is not what it should be, or does not answer as it should, fails; what fails
// beyond the chip (the file, the words, the person's answer) would fail the next one too and
// ends the loop. A board that is gone ends it at the next ID read.
ChipVerdict VerdictOf(const OperationResult& result) {
    switch (result.outcome) {
        case Outcome::Done:
            return ChipVerdict::Passed;
        case Outcome::WrongDevice:
        case Outcome::NotBlank:
        case Outcome::Mismatch:
        case Outcome::EepromProtected:
        case Outcome::CommunicationFailed:
            return ChipVerdict::Failed;
        default:
            return ChipVerdict::EndLoop;
    }
}

}  // namespace

void MainWindow::OpenJob() {
    if (programmer_.BusyFlag) {
        return;
    }
    RunCommand([this] {
        const std::optional<QString> chosen = ChooseJobFile(
            this, false,
            InitialJobFile(jobPath_,
                           settings_.ReadSettingText(SETTINGS_SECTION, KEY_FILE_NAME_PATH, "")));
        if (chosen && !programmer_.BusyFlag) {
            OpenJobFile(chosen->toStdString());
        }
    });
}

void MainWindow::OpenJobFile(const std::string& path) {
    std::string error;
    std::optional<ProductionJob> job = ReadJobFile(PathFromUtf8(path), error);
    if (!job) {
        reporter_.ShowMessage(error);
        return;
    }
    if (!JobHexFileUnchanged(*job, path)) {
        return;
    }
    CloseJob();
    deviceList_->setCurrentIndex(job->target.processorIndex);
    OnDeviceListClosedUp();
    if (!OpenFile(Utf8FromPath(job->hexFile))) {
        return;
    }
    FieldTexts fields = TakeFieldTexts();
    ShowFileWords(state_, fields, job->target, job->words);
    ShowFieldTexts(fields);
    eraseBeforeProgramAction_->setChecked(job->eraseBeforeProgram);
    job_ = std::move(job);
    jobPath_ = path;
    ApplyJobLock();
}

void MainWindow::SaveJobAs() {
    RunCommand([this] {
        if (workspace_.hexFile.path.empty()) {
            reporter_.ShowMessage("Open a HEX file before saving a job.");
            return;
        }
        // A job saved anew keeps pinning the firmware it was opened with.
        if (job_ && !JobHexFileUnchanged(*job_, jobPath_)) {
            return;
        }
        const std::optional<QString> chosen =
            ChooseJobFile(this, true, InitialJobFile(jobPath_, workspace_.hexFile.path));
        if (!chosen) {
            return;
        }
        ProductionJob job = job_.value_or(ProductionJob{});
        job.target = SelectedTarget();
        job.hexFile = PathFromUtf8(workspace_.hexFile.path);
        const std::optional<std::string> hash = Sha256OfFile(job.hexFile);
        if (!hash) {
            reporter_.ShowMessage("Error: " + workspace_.hexFile.path + " could not be read.");
            return;
        }
        job.hexSha256 = *hash;
        job.words = WordsInFields(TakeFieldTexts());
        job.eraseBeforeProgram = eraseBeforeProgramAction_->isChecked();
        job.verify = job.verify || verifyAfterProgramAction_->isChecked();
        job.preserveEeprom = job.preserveEeprom || preserveEepromAction_->isChecked();
        const std::string path = chosen->toStdString();
        if (!WriteJobFile(PathFromUtf8(path), job)) {
            reporter_.ShowMessage("Error: the job " + path + " could not be written.");
        }
    });
}

void MainWindow::OpenProductionWindow() {
    if (programmer_.BusyFlag) {
        return;
    }
    RunCommand([this] {
        if (!job_) {
            reporter_.ShowMessage("Open a job before production mode.");
            return;
        }
        const std::optional<std::uint16_t> checksum =
            ProgramChecksum({job_->target, workspace_.hexFile, WordsInFields(TakeFieldTexts())});
        ProductionHooks hooks{[this] { return ProgramProductionChip(); }};
        if (!job_->logFile.empty()) {
            hooks.countsInLog = [this] { return TodaysCountsOfJob(*job_); };
        }
        ProductionWindow production(
            this, programmer_, reporter_,
            {QString::fromStdString(Utf8FileName(jobPath_)), job_->target,
             QString::fromStdString(workspace_.hexFile.name),
             checksum ? QString::fromStdString(HexDigits(*checksum, 4)) : QString(),
             job_->allowCodeProtection, !job_->serialAt.empty()},
            std::move(hooks));
        production.exec();
    });
}

// Every chip is verified: its PASS says so.
ChipWork MainWindow::ProgramProductionChip() {
    if (!JobHexFileUnchanged(*job_, jobPath_)) {
        return {};
    }
    ProgramRequest request{job_->target, workspace_.hexFile, WordsInFields(TakeFieldTexts()),
                           job_->eraseBeforeProgram};
    request.preserveEeprom = job_->preserveEeprom;
    request.verifyAfterProgram = true;
    request.pin = PinnedHexFile{job_->hexSha256, jobPath_};
    const std::optional<JobChip> chip = ProgramJobChip(programmer_, *job_, request);
    if (!chip || chip->bookkeepingFailed || programmer_.link.IsShutDown()) {
        return {ChipVerdict::EndLoop, chip ? chip->serialNumber : std::nullopt};
    }
    return {VerdictOf(chip->result), chip->serialNumber};
}

void MainWindow::CloseJob() {
    job_.reset();
    jobPath_.clear();
    ApplyJobLock();
}

void MainWindow::ApplyJobLock() {
    const bool locked = job_.has_value();
    closeJobAction_->setEnabled(locked);
    eraseBeforeProgramAction_->setEnabled(!locked);
    configurationFields_->SetJobLocked(locked);
    EnableFileAndTarget(!locked && !programmer_.BusyFlag);
}

void MainWindow::EnableFileAndTarget(bool enabled) {
    deviceList_->setEnabled(enabled);
    hexFileField_->setEnabled(enabled);
    openHexFileAction_->setEnabled(enabled);
    recentFiles_->SetEnabled(enabled);
}

bool MainWindow::JobHexFileUnchanged(const ProductionJob& job, const std::string& jobPath) {
    const std::string hash = Sha256OfFile(job.hexFile).value_or("");
    if (hash == job.hexSha256) {
        return true;
    }
    reporter_.ShowMessage(NotTheJobsFile(Utf8FromPath(job.hexFile), hash, jobPath, job.hexSha256));
    return false;
}

}  // namespace vek
