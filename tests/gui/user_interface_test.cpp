#include "qt_user_interface.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QTimer>
#include <QWidget>
#include <QtTest/QTest>

#include "message_box_answerer.h"

namespace vek::test {
namespace {

class QtUi : public ::testing::Test {
  protected:
    QtUi() {
        controls.window = &window;
        controls.progressBar = new QProgressBar(&window);
        controls.deviceList = new QComboBox(&window);
        controls.hexFileField = new QLineEdit(&window);
        controls.fuseField = new QLineEdit(&window);
        controls.fuseXField = new QLineEdit(&window);
        controls.devWordField = new QLineEdit(&window);
        controls.pollTimer = new QTimer(&window);
    }

    QWidget window;
    WindowControls controls;
    WindowHooks hooks;
    QtUserInterface ui{controls, hooks, [] {}, [] { return false; }, [](int) {}};
    MessageBoxAnswerer answerer;
};

TEST_F(QtUi, AMessageIsAModalBoxTitledVekFlashWithOnlyOk) {
    struct Seen {
        QString title;
        QMessageBox::Icon icon;
        qsizetype buttons;
        int width;
    };
    std::vector<Seen> seen;
    answerer.whileOpen = [&](QMessageBox& box) {
        seen.push_back({box.windowTitle(), box.icon(), box.buttons().size(), box.width()});
    };
    ui.ShowMessage("Device is blank", MessageIcon::None);
    ui.ShowMessage("Internet access not available.", MessageIcon::Exclamation);

    EXPECT_EQ(answerer.messages,
              (std::vector<std::string>{"Device is blank", "Internet access not available."}));
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].title, "VEK Flash");
    EXPECT_EQ(seen[0].icon, QMessageBox::NoIcon);
    EXPECT_EQ(seen[0].buttons, 1);
    EXPECT_EQ(seen[1].icon, QMessageBox::Warning);
    // However short the message, the title bar has room for "VEK Flash" and its buttons.
    const int titleWidth = QFontMetrics(QApplication::font()).horizontalAdvance("VEK Flash");
    EXPECT_GE(seen[0].width, titleWidth + 150);
}

TEST_F(QtUi, CtrlCInAMessageBoxCopiesItsTitleAndText) {
    QGuiApplication::clipboard()->clear();
    answerer.whileOpen = [](QMessageBox& box) {
        QTest::keyClick(&box, Qt::Key_C, Qt::ControlModifier);
    };
    ui.ShowMessage("Error: No programmer detected. Attach programmer to \nUSB cable",
                   MessageIcon::None);

    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(),
              "---------------------------\n"
              "VEK Flash\n"
              "---------------------------\n"
              "Error: No programmer detected. Attach programmer to \nUSB cable\n"
              "---------------------------\n"
              "OK   \n"
              "---------------------------\n");
}

TEST_F(QtUi, TheWaitCursorNestsAndStepsAsideWhileAMessageIsOpen) {
    const auto waitCursorShows = [] {
        const QCursor* cursor = QApplication::overrideCursor();
        return cursor != nullptr && cursor->shape() == Qt::WaitCursor;
    };
    ui.BeginWaitCursor();
    ui.BeginWaitCursor();
    ui.EndWaitCursor();
    EXPECT_TRUE(waitCursorShows());

    bool shownDuringMessage = true;
    answerer.whileOpen = [&](QMessageBox&) { shownDuringMessage = waitCursorShows(); };
    ui.ShowMessage("Device is not blank", MessageIcon::None);
    EXPECT_FALSE(shownDuringMessage);
    EXPECT_TRUE(waitCursorShows());

    ui.EndWaitCursor();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(QtUi, FieldTextsTravelBetweenTheCoreAndTheirOwnControls) {
    const FieldTexts shown{"/tmp/a.hex", "3F72", "440", "560"};
    ui.ShowFieldTexts(shown);
    EXPECT_EQ(controls.fuseField->text(), "3F72");
    EXPECT_EQ(controls.fuseXField->text(), "440");
    EXPECT_EQ(controls.devWordField->text(), "560");
    controls.fuseField->setText("7F3");
    FieldTexts expected = shown;
    expected.FuseText = "7F3";
    EXPECT_EQ(ui.TakeFieldTexts(), expected);
}

}  // namespace
}  // namespace vek::test
