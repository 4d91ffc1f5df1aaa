#include "production_window.h"

#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <string>
#include <vector>

namespace vek {

namespace {

QLabel* MakeLabel(const QString& objectName, int pointSize, bool bold = false) {
    auto* label = new QLabel;
    label->setObjectName(objectName);
    QFont font = label->font();
    font.setPointSize(pointSize);
    font.setBold(bold);
    label->setFont(font);
    return label;
}

}  // namespace

ProductionWindow::ProductionWindow(QWidget* parent, Programmer& programmer, QtReporter& reporter,
                                   ProductionSubject subject, ProductionHooks hooks)
    : QDialog(parent),
      programmer_(programmer),
      reporter_(reporter),
      subject_(std::move(subject)),
      hooks_(std::move(hooks)) {
    setObjectName("productionWindow");
    setWindowTitle("Production Mode");

    auto* header = new QGridLayout;
    const QString rows[][3] = {
        {"Job:", subject_.jobName, "jobValue"},
        {"Device:", QString::fromUtf8(subject_.target.name.data(), subject_.target.name.size()),
         "deviceValue"},
        {"Hex File:", subject_.hexFileName, "hexFileValue"},
        // The same four digits as the IDE that built the file shows, to compare at the line.
        {"Checksum:", subject_.checksum, "checksumValue"}};
    for (int row = 0; row < 4; ++row) {
        QLabel* name = MakeLabel("", 14);
        name->setText(rows[row][0]);
        header->addWidget(name, row, 0);
        QLabel* value = MakeLabel(rows[row][2], 14, true);
        value->setText(rows[row][1]);
        header->addWidget(value, row, 1);
    }
    header->setColumnStretch(1, 1);

    // The verdict fills the window's middle, on its colour, so that it reads from afar.
    stateLabel_ = MakeLabel("stateLabel", 64, true);
    stateLabel_->setAccessibleDescription("State of the chip in the socket");
    stateLabel_->setAlignment(Qt::AlignCenter);
    stateLabel_->setAutoFillBackground(true);
    stateLabel_->setMinimumSize(520, 200);
    promptLabel_ = MakeLabel("promptLabel", 28, true);
    promptLabel_->setAlignment(Qt::AlignCenter);
    detailLabel_ = MakeLabel("detailLabel", 10);
    detailLabel_->setWordWrap(true);
    detailLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    passedLabel_ = MakeLabel("passedLabel", 20, true);
    failedLabel_ = MakeLabel("failedLabel", 20, true);
    totalLabel_ = MakeLabel("totalLabel", 20, true);
    auto* counts = new QHBoxLayout;
    for (QLabel* count : {passedLabel_, failedLabel_, totalLabel_}) {
        count->setAlignment(Qt::AlignCenter);
        counts->addWidget(count);
    }

    // The operator checks it against the label of the chip just taken out.
    serialLabel_ = MakeLabel("serialLabel", 20, true);
    serialLabel_->setAlignment(Qt::AlignCenter);
    serialLabel_->setVisible(subject_.numbered);
    ShowLastSerial("none");

    startStopButton_ = new QPushButton("Start");
    startStopButton_->setObjectName("startStopButton");
    startStopButton_->setAutoDefault(false);
    startStopButton_->setMinimumHeight(48);
    startStopButton_->setToolTip(
        "Program chip after chip; Stop ends once the chip in hand is done");
    connect(startStopButton_, &QPushButton::clicked, this, &ProductionWindow::OnStartStop);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(header);
    layout->addWidget(stateLabel_, 1);
    layout->addWidget(promptLabel_);
    layout->addWidget(detailLabel_);
    layout->addLayout(counts);
    layout->addWidget(serialLabel_);
    layout->addWidget(startStopButton_);

    ShowState("Press Start", Look::Neutral);
    ShowCountsSoFar();
}

void ProductionWindow::done(int result) {
    if (!running_) {
        QDialog::done(result);
        return;
    }
    endResult_ = result;
    stopRequested_ = true;
}

void ProductionWindow::OnStartStop() {
    if (running_) {
        stopRequested_ = true;
        startStopButton_->setEnabled(false);  // until the chip in the socket is done
        return;
    }
    ShowCountsSoFar();
    RunLoop();
    if (endResult_ || programmer_.link.IsShutDown()) {
        QDialog::done(endResult_.value_or(QDialog::Rejected));
    }
}

void ProductionWindow::RunLoop() {
    running_ = true;
    stopRequested_ = false;
    startStopButton_->setText("Stop");
    // The messages since the chip in hand went in, or since the last chip's verdict: boxes of
    // their own when they end the loop, so that a counter that failed is not hidden behind a
    // log that failed after it.
    std::vector<std::string> chipMessages;
    reporter_.DivertMessages(
        [&](const std::string& text) {
            chipMessages.push_back(text);
            detailLabel_->setText(QString::fromStdString(text));
        },
        subject_.allowCodeProtection);
    const LoopResult result = RunProductionLoop(
        programmer_, subject_.target,
        {[this] {
             // The Stop button, the close box and repaints between the polls.
             QCoreApplication::processEvents();
             return stopRequested_;
         },
         [this](SocketWait wanted) {
             if (wanted == SocketWait::ForChip) {
                 ShowState("Insert chip", Look::Neutral);
             }
             // The verdict stays while the chip is taken out.
             promptLabel_->setText(wanted == SocketWait::ForEmpty ? "Remove chip" : "");
         },
         [this, &chipMessages] {
             ShowState("Programming", Look::Neutral);
             detailLabel_->clear();
             chipMessages.clear();
             const ChipWork work = hooks_.workOnChip();
             if (work.serialNumber) {
                 ShowLastSerial(QString::number(*work.serialNumber));
             }
             return work.verdict;
         },
         [this, &chipMessages](ChipVerdict verdict, const LoopCounts& counts) {
             chipMessages.clear();
             const bool passed = verdict == ChipVerdict::Passed;
             ShowState(passed ? "PASS" : "FAIL", passed ? Look::Pass : Look::Fail);
             ShowCounts(counts);
             if (!passed) {
                 QApplication::beep();
             }
         }});
    reporter_.DivertMessages(nullptr);
    running_ = false;
    before_.passed += result.counts.passed;
    before_.failed += result.counts.failed;
    startStopButton_->setText("Start");
    startStopButton_->setEnabled(true);
    promptLabel_->clear();
    if (result.end == LoopEnd::Stopped) {
        ShowState("Stopped", Look::Neutral);
        return;
    }
    ShowState("Stopped", Look::Fail);
    for (const std::string& message : chipMessages) {
        reporter_.ShowMessage(message);
    }
}

void ProductionWindow::ShowState(const QString& state, Look look) {
    stateLabel_->setText(state);
    QPalette palette = this->palette();
    if (look != Look::Neutral) {
        palette.setColor(QPalette::Window,
                         look == Look::Pass ? QColor(0x1b, 0x8a, 0x3a) : QColor(0xc6, 0x28, 0x28));
        palette.setColor(QPalette::WindowText, Qt::white);
    }
    stateLabel_->setPalette(palette);
    stateLabel_->repaint();
}

void ProductionWindow::ShowLastSerial(const QString& number) {
    const QString text = "Last serial number: " + number;
    serialLabel_->setText(text);
    serialLabel_->setAccessibleName(text);
}

// Counts kept in the log are the day's of the job, whoever programmed its chips meanwhile.
void ProductionWindow::ShowCountsSoFar() {
    if (hooks_.countsInLog) {
        before_ = hooks_.countsInLog();
    }
    ShowCounts({});
}

void ProductionWindow::ShowCounts(const LoopCounts& counts) {
    const LoopCounts all{before_.passed + counts.passed, before_.failed + counts.failed};
    passedLabel_->setText(QString("Passed: %1").arg(all.passed));
    failedLabel_->setText(QString("Failed: %1").arg(all.failed));
    totalLabel_->setText(QString("Total: %1").arg(all.Total()));
}

}  // namespace vek
