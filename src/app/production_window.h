// The production station: chip after chip in one socket, with a verdict an operator reads from
// a metre away and the counts of the session.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <optional>

#include "operations/production_loop.h"
#include "qt_reporter.h"
#include "session/programmer.h"

class QLabel;
class QPushButton;

namespace vek {

// What the window works on, as its header shows it.
struct ProductionSubject {
    QString jobName;
    DeviceInfo target;
    QString hexFileName;
    QString checksum;  // of what each chip gets, as the main window shows it; empty: none
    // The answer to Program's question before it turns on code protection.
    bool allowCodeProtection = false;
    bool numbered = false;  // each chip gets a serial number, which the window shows
};

// What the work on one chip came to.
struct ChipWork {
    ChipVerdict verdict = ChipVerdict::EndLoop;
    std::optional<unsigned> serialNumber = {};  // the number the chip was given
};

struct ProductionHooks {
    // Programs and verifies the chip just put in.
    std::function<ChipWork()> workOnChip = {};
    // Today's counts of the job as its log keeps them; empty when the job keeps no log, and
    // the window counts its own runs.
    std::function<LoopCounts()> countsInLog = {};
};

class ProductionWindow : public QDialog {
    Q_OBJECT
  public:
    // Messages of the loop go to the window's detail line instead of boxes; one that ends the
    // loop is shown in a box as well.
    ProductionWindow(QWidget* parent, Programmer& programmer, QtReporter& reporter,
                     ProductionSubject subject, ProductionHooks hooks);

    // Closing (the close box, Escape) stops the loop once the chip in the socket is done.
    void done(int result) override;

  private:
    void OnStartStop();
    void RunLoop();
    enum class Look { Neutral, Pass, Fail };
    void ShowState(const QString& state, Look look);
    void ShowCounts(const LoopCounts& counts);
    void ShowCountsSoFar();
    void ShowLastSerial(const QString& number);

    Programmer& programmer_;
    QtReporter& reporter_;
    ProductionSubject subject_;
    ProductionHooks hooks_;

    QLabel* stateLabel_ = nullptr;
    QLabel* promptLabel_ = nullptr;
    QLabel* detailLabel_ = nullptr;
    QLabel* passedLabel_ = nullptr;
    QLabel* failedLabel_ = nullptr;
    QLabel* totalLabel_ = nullptr;
    QLabel* serialLabel_ = nullptr;
    QPushButton* startStopButton_ = nullptr;

    // The chips of the runs before the one going on: of today in the job's log, or of this
    // window's runs.
    LoopCounts before_;
    bool running_ = false;
    bool stopRequested_ = false;
    std::optional<int> endResult_;
};

}  // namespace vek
