// The three configuration editor windows on their own, beside a plain main window: what
// they show per chip, what a click hands out, and how they open, close and ignore Enter.
#include <gtest/gtest.h>

#include <QPointer>
#include <QSignalSpy>
#include <QtTest/QTest>
#include <QtWidgets>
#include <string>
#include <vector>

#include "memory_settings.h"
#include "pic_config_editor.h"
#include "sx_fuse_editor.h"
#include "sx_fusex_editor.h"

namespace vek::test {
namespace {

enum class Kind { Fuse, FuseX, Pic };
constexpr int F84A = 0, F870 = 1, F877 = 7, SX28 = 8, SX48 = 9;

// "(*)" a checked radio button, "[x]" a checked box, "<line>" a list's current line, " (off)" a
// disabled control.
std::string Describe(const QWidget* control) {
    QString text;
    if (const auto* radio = qobject_cast<const QRadioButton*>(control)) {
        text = (radio->isChecked() ? "(*)" : "( )") + radio->text();
    } else if (const auto* box = qobject_cast<const QCheckBox*>(control)) {
        text = (box->isChecked() ? "[x]" : "[ ]") + box->text();
    } else if (const auto* list = qobject_cast<const QComboBox*>(control)) {
        text = "<" + list->currentText() + ">";
    } else if (const auto* label = qobject_cast<const QLabel*>(control)) {
        text = label->text() + ":";
    }
    return (text + (control->isEnabled() ? "" : " (off)")).toStdString();
}
// One line per group box, its title and its controls, or per control outside one; then each
// list with all its lines.
std::string Layout(const QWidget* editor) {
    std::string layout;
    for (const QWidget* child : editor->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        const auto* group = qobject_cast<const QGroupBox*>(child);
        if (group == nullptr) {
            layout += Describe(child) + "\n";
            continue;
        }
        std::string line = group->title().toStdString() + ":";
        for (const QWidget* control : group->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            line += " " + Describe(control) + " |";
        }
        layout += line.substr(0, line.size() - 2) + "\n";
    }
    for (const QComboBox* list : editor->findChildren<QComboBox*>()) {
        EXPECT_FALSE(list->accessibleName().isEmpty()) << list->objectName().toStdString();
        QStringList lines;
        for (int index = 0; index < list->count(); ++index) {
            lines.push_back(list->itemText(index));
        }
        layout += (list->objectName() + ": " + lines.join(" | ") + "\n").toStdString();
    }
    return layout;
}

class Editors : public ::testing::Test {
  protected:
    Editors() { mainWindow.setGeometry(300, 250, 200, 100); }
    ~Editors() override { DeleteClosed(); }

    ConfigEditor* Open(Kind kind, int row, const std::string& text) {
        state.CurrentTarget = DeviceTable[row];
        SharedText(kind) = text;
        const auto showInField = [this](const QString& word) {
            shown.push_back(word.toStdString());
        };
        switch (kind) {
            case Kind::Fuse:
                return new SxFuseEditor(&mainWindow, state, showInField);
            case Kind::FuseX:
                return new SxFuseXEditor(&mainWindow, state, showInField);
            case Kind::Pic:
                break;
        }
        return new PicConfigEditor(&mainWindow, state, showInField);
    }
    std::string& SharedText(Kind kind) {
        return kind == Kind::FuseX ? state.CurrentFuseXText : state.CurrentFuseText;
    }
    template <typename Control>
    static Control* Find(const ConfigEditor* editor, const char* name) {
        auto* control = editor->findChild<Control*>(name);
        EXPECT_NE(control, nullptr) << name;
        return control;
    }
    static void Click(const ConfigEditor* editor, const char* name) {
        auto* button = Find<QAbstractButton>(editor, name);
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(4, button->height() / 2));
    }
    static void DeleteClosed() {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    MemorySettings settings;
    WindowState state{settings};
    QWidget mainWindow;
    std::vector<std::string> shown;  // what reached the main window's field
};

TEST_F(Editors, EachShowsItsWordWithTheChipsControlsAndLists) {
    struct Case {
        Kind kind;
        int row;
        const char* text;
        const char* click;  // a button clicked before looking, or nullptr
        std::string layout;
    };
    const std::vector<Case> cases = {
        {Kind::Fuse, SX28, "4E9", nullptr,
         "Turbo : (*)Enabled  (Osc/1) | ( )Disabled (Osc/4) \n"
         "Synchronous Input : ( )Enable | (*)Disable\n"
         "Internal RC Oscillator: ( )Enable | (*)Disable\n"
         "RC Oscillator Divider : ( )4 MHz (off) | ( )1 MHz (off) | ( )128 KHz (off) | (*)32 KHz "
         "(off)\n"
         "Osc Feedback Resistor : (*)Enable | ( )Disable\n"
         "Crystal Buffer: ( )Enable (off) | (*)Disable (off)\n"
         "Code Protection : ( )Enable | (*)Disable\n"
         "Watchdog Timer : ( )Enable | (*)Disable\n"
         "External Oscillator Configuration: <HS2 Crys/Res/Ext (1MHz - 50MHz)>\n"
         "oscillatorModeList: LP1 Crystal (32KHz) | LP2 Crys/Res (32KHz - 1MHz) | XT1 Crys/Res "
         "(32KHz - 10MHz) | XT2 Crys/Res (1MHz) - 24MHz | HS1 Crys/Res/Ext (1MHz - 50MHz) | HS2 "
         "Crys/Res/Ext (1MHz - 50MHz) | HS3 Crys/Res/Ext (1MHz - 75MHz) | RC Network (OSC2 pulled "
         "high)\n"},
        {Kind::Fuse, SX48, "4E9", "internalRc0",
         "Turbo : (*)Enabled  (Osc/1) (off) | ( )Disabled (Osc/4)  (off)\n"
         "Synchronous Input : ( )Enable | (*)Disable\n"
         "Internal RC Oscillator: (*)Enable | ( )Disable\n"
         "RC Oscillator Divider : ( )4 MHz | ( )1 MHz | ( )128 KHz | (*)32 KHz\n"
         "Osc Feedback Resistor : (*)Enable (off) | ( )Disable (off)\n"
         "Crystal Buffer: ( )Enable | (*)Disable\n"
         "Code Protection : ( )Enable | (*)Disable\n"
         "Watchdog Timer : ( )Enable | (*)Disable\n"
         "External Oscillator Configuration: <HS2 Crys/Res (1MHz - 50MHz)> (off)\n"
         "oscillatorModeList: LP1 Crystal (32KHz) | LP2 Crys/Res (32KHz - 1MHz) | XT1 Crys/Res "
         "(32KHz - 1MHz) | XT2 Crys/Res (1MHz) - 8MHz | HS1 Crys/Res (1MHz - 20MHz) | HS2 Crys/Res "
         "(1MHz - 50MHz) | HS3 Crys/Res (1MHz - 75MHz) | RC Network (OSC2 pulled high)\n"},
        {Kind::FuseX, SX28, "440", nullptr,
         "Pins : ( )18/20 Pins | (*)28 Pins\n"
         "Sleep Clock : ( )Enable (off) | (*)Disable (off)\n"
         "OPTIONX / STACKX: (*)Clear | ( )Set \n"
         "Carry Flag : ( )Enable | (*)Disable\n"
         "Brown-Out Reset : (*)4.2V (00) | ( )2.2V (10) | ( )2.6V (01) | ( )BOR Disabled\n"
         "Delay Reset Timer : ( ).25 msec (off) | ( )18 msec (off) | (*)60 msec (off) | ( )1 sec "
         "(off)\n"
         "Brown-Out Trim:\n"
         "<00>\n"
         "Pages / Banks:\n"
         "<00    1 Page, 1 Bank>\n"
         "brownOutTrimList: 00 | 01 | 10 | 11\n"
         "pagesBanksList: 00    1 Page, 1 Bank | 01    2 Pages, 1 Bank | 10    4 Pages, 4 Banks | "
         "11    4 Pages, 8 Banks\n"},
        {Kind::FuseX, SX48, "440", nullptr,
         "Pins : ( )18/20 Pins (off) | (*)28 Pins (off)\n"
         "Sleep Clock : ( )Enable | (*)Disable\n"
         "OPTIONX / STACKX: (*)Clear (off) | ( )Set  (off)\n"
         "Carry Flag : ( )Enable | (*)Disable\n"
         "Brown-Out Reset : (*)4.1V (00) | ( )2.2V (10) | ( )2.4V (01) | ( )BOR Disabled\n"
         "Delay Reset Timer : ( ).25 msec | ( )18 msec | (*)60 msec | ( )1 sec\n"
         "Brown-Out Trim:\n"
         "<00>\n"
         "Pages / Banks:\n"
         "<> (off)\n"
         "brownOutTrimList: 00 | 01 | 10 | 11\n"
         "pagesBanksList: \n"},
        {Kind::Pic, F877, "3d3a", nullptr,
         "Configuration Options:  : [ ]Watchdog Timer | [ ]Power-up Timer | [ ]Brown-out Reset | [ "
         "]Program Mem Write | [ ]In-Circuit Debugger\n"
         "Code Protection: : [ ]EEPROM | (*)Off (11) | ( )ALL (00) | ( )3/4 (10) | ( )1/2 (01)\n"
         "Oscillator Selection : ( )RC | (*)HS | ( )XT | ( )LP\n"},
        {Kind::Pic, F84A, "3d3a", nullptr,
         "Configuration Options:  : [ ]Watchdog Timer | [ ]Power-up Timer | [ ]Brown-out Reset "
         "(off) | [ ]Program Mem Write (off) | [ ]In-Circuit Debugger (off)\n"
         "Code Protection: : [ ]EEPROM (off) | ( )Off (11) | (*)ALL (00) | ( )3/4 (10) (off) | ( "
         ")1/2 (01) (off)\n"
         "Oscillator Selection : ( )RC | (*)HS | ( )XT | ( )LP\n"},
        {Kind::Pic, F870, "2FFF", nullptr,
         "Configuration Options:  : [x]Watchdog Timer | [ ]Power-up Timer | [x]Brown-out Reset | "
         "[x]Program Mem Write | [ ]In-Circuit Debugger\n"
         "Code Protection: : [ ]EEPROM | ( )Off (11) | (*)ALL (00) | ( )3/4 (10) (off) | ( )1/2 "
         "(01) (off)\n"
         "Oscillator Selection : (*)RC | ( )HS | ( )XT | ( )LP\n"},
    };
    for (const Case& c : cases) {
        ConfigEditor* editor = Open(c.kind, c.row, c.text);
        if (c.click != nullptr) {
            Click(editor, c.click);
        }
        EXPECT_EQ(Layout(editor), c.layout) << DeviceTable[c.row].name;
        editor->CloseQuietly();
    }
}

TEST_F(Editors, AClickHandsTheWholeWordToTheTextTheSettingsAndTheField) {
    struct Case {
        Kind kind;
        int row;
        std::string text;
        const char* control;  // a button to click, or a list that gets the Down key
        std::string word;
        std::vector<std::string> keys;
        std::string refreshedTo = "";  // a new shared word that Refresh shows on the control
    };
    const std::vector<std::string> fuse = {"VEKFlashFuseBits", "VEKFlashFuseBitsSave"};
    const std::vector<std::string> fuseX = {"VEKFlashFusexBits"};
    const std::vector<std::string> pic = {"VEKFlashmicrochipBits"};
    const std::vector<Case> cases = {
        {Kind::Fuse, SX28, "4E9", "watchdog1", "7F9", fuse},
        {Kind::Fuse, SX28, "4E9", "oscillatorModeList", "7FA", fuse},
        {Kind::Fuse, SX48, "---", "codeProtection1", "7FD", fuse},
        {Kind::FuseX, SX48, "440", "delayResetTimer0", "F42", fuseX},
        {Kind::FuseX, SX28, "440", "brownOutTrimList", "F44", fuseX},
        {Kind::Pic, F877, "3d3a", "watchdogBox", "3D3E", pic},
        {Kind::Pic, F84A, "3d3a", "oscillatorMode2", "0009", pic},
        // The divider comes to life with the internal RC that the new word chooses.
        {Kind::Fuse, SX28, "4E9", "rcDivider1", "337", fuse, "334"},
        {Kind::FuseX, SX28, "440", "brownOutLevel3", "BBF", fuseX, "BBF"},
        {Kind::Pic, F877, "3d3a", "oscillatorMode2", "0645", pic, "0645"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.control);
        settings.Clear();
        shown.clear();
        ConfigEditor* editor = Open(c.kind, c.row, c.text);
        std::string& sharedText = SharedText(c.kind);
        if (!c.refreshedTo.empty()) {
            sharedText = c.refreshedTo;
            editor->Refresh();
            const auto* button = Find<QAbstractButton>(editor, c.control);
            EXPECT_TRUE(button->isChecked());
            EXPECT_TRUE(button->isEnabled());
        }
        // Opening or refreshing alone writes nothing.
        EXPECT_TRUE(settings.Values().empty());
        EXPECT_TRUE(shown.empty());
        EXPECT_EQ(sharedText, c.refreshedTo.empty() ? c.text : c.refreshedTo);

        if (auto* list = editor->findChild<QComboBox*>(c.control)) {
            QTest::keyClick(list, Qt::Key_Down);
        } else {
            Click(editor, c.control);
        }
        EXPECT_EQ(sharedText, c.word);
        EXPECT_EQ(shown, std::vector<std::string>{c.word});
        EXPECT_EQ(settings.Values().size(), c.keys.size());
        for (const std::string& key : c.keys) {
            EXPECT_EQ(settings.Text(key), c.word) << key;
        }
        editor->CloseQuietly();
    }
}

// Each kind of window with its title, a chip it serves, one of its enabled controls, and where
// it opens beside a main window at a place: in dialog units from that window's client area.
struct Window {
    Kind kind;
    int row;
    std::string title;
    const char* control;
    QPoint mainWindowAt, dialogUnits;
};
const std::vector<Window> WINDOWS = {
    {Kind::Fuse, SX28, "Configuration Fuses", "watchdog0", {450, 320}, {-150, -100}},
    {Kind::FuseX, SX48, "FuseX", "carryFlag0", {10, 320}, {183, -100}},
    {Kind::Pic, F877, "Configuration Window", "watchdogBox", {10, 200}, {200, -50}},
};

TEST_F(Editors, EscapeAndTheCloseBoxReportTheCloseTheMainWindowClosesQuietlyEnterDoesNothing) {
    enum class Closing { Escape, CloseBox, Quietly, Enter };
    for (const Window& window : WINDOWS) {
        for (const Closing closing :
             {Closing::Escape, Closing::CloseBox, Closing::Quietly, Closing::Enter}) {
            SCOPED_TRACE(window.title + " " + std::to_string(static_cast<int>(closing)));
            ConfigEditor* editor = Open(window.kind, window.row, "---");
            EXPECT_EQ(editor->windowTitle().toStdString(), window.title);
            EXPECT_TRUE(editor->isVisible());
            QSignalSpy closedByUser(editor, &ConfigEditor::closedByUser);
            const QPointer<ConfigEditor> alive(editor);
            switch (closing) {
                case Closing::Escape:
                    // From a control, as the key reaches the window when it has the focus.
                    QTest::keyClick(Find<QWidget>(editor, window.control), Qt::Key_Escape);
                    break;
                case Closing::CloseBox:
                    editor->close();
                    break;
                case Closing::Enter:
                    for (QWidget* control : editor->findChildren<QWidget*>()) {
                        if (control->focusPolicy() != Qt::NoFocus && control->isEnabled()) {
                            QTest::keyClick(control, Qt::Key_Return);
                            QTest::keyClick(control, Qt::Key_Enter, Qt::KeypadModifier);
                        }
                    }
                    EXPECT_TRUE(editor->isVisible());
                    EXPECT_EQ(SharedText(window.kind), "---");
                    [[fallthrough]];
                case Closing::Quietly:
                    editor->CloseQuietly();
                    break;
            }
            const bool byUser = closing == Closing::Escape || closing == Closing::CloseBox;
            EXPECT_EQ(closedByUser.count(), byUser ? 1 : 0);
            EXPECT_FALSE(editor->isVisible());
            DeleteClosed();
            EXPECT_TRUE(alive.isNull());
        }
    }
    EXPECT_TRUE(settings.Values().empty());
    EXPECT_TRUE(shown.empty());
}

TEST_F(Editors, TheyOpenBesideTheMainWindowButOnItsScreen) {
    for (const Window& window : WINDOWS) {
        mainWindow.move(window.mainWindowAt);
        ConfigEditor* editor = Open(window.kind, window.row, "---");
        const QFontMetrics metrics = editor->fontMetrics();
        // Windows to the right keep their distance from the right edge of a main window 167
        // units wide, measured from this one's right edge.
        const bool left = window.dialogUnits.x() < 0;
        const int units = left ? window.dialogUnits.x() : window.dialogUnits.x() - 167;
        const QRect client = mainWindow.geometry();
        const QPoint expected(
            (left ? client.left() : client.right() + 1) +
                qRound(units * metrics.averageCharWidth() / 4.0),
            client.top() + qRound(window.dialogUnits.y() * metrics.height() / 8.0));
        // Where that spot would cover the main window, the editor stands beside it instead.
        const QRect usual(expected, editor->frameGeometry().size());
        if (usual.intersects(mainWindow.frameGeometry())) {
            EXPECT_FALSE(editor->frameGeometry().intersects(mainWindow.frameGeometry()))
                << window.title;
            EXPECT_TRUE(mainWindow.screen()->availableGeometry().contains(editor->frameGeometry()))
                << window.title;
        } else {
            EXPECT_EQ(editor->pos(), expected) << window.title;
        }
        editor->CloseQuietly();
    }

    const QRect screen = mainWindow.screen()->availableGeometry();
    for (const QPoint corner : {screen.topLeft(), screen.bottomRight()}) {
        mainWindow.move(corner);
        for (const Window& window : WINDOWS) {
            ConfigEditor* editor = Open(window.kind, window.row, "---");
            EXPECT_TRUE(screen.contains(QRect(editor->pos(), editor->size()))) << window.title;
            editor->CloseQuietly();
        }
    }
}

}  // namespace
}  // namespace vek::test
