// The three configuration editor windows on their own, beside a plain main window: what
// they show per chip, what a click hands out, and how they open, close and ignore Enter.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPointer>
#include <QRadioButton>
#include <QScreen>
#include <QSignalSpy>
#include <QtTest/QTest>
#include <string>
#include <vector>

#include "memory_settings.h"
#include "pic_config_editor.h"
#include "recording_ui.h"
#include "sx_fuse_editor.h"
#include "sx_fusex_editor.h"

namespace vek::test {
namespace {

enum class Kind { Fuse, FuseX, Pic };
constexpr int F84A = 0, F870 = 1, F877 = 7, SX28 = 8, SX48 = 9;

// One line per group box: its title and its controls, "(*)" a checked radio button, "[x]" a
// checked box, "<line>" a list's current line, " (off)" a disabled control.
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
    if (!control->isEnabled()) {
        text += " (off)";
    }
    return text.toStdString();
}
std::vector<std::string> Layout(const QWidget* editor) {
    std::vector<std::string> lines;
    for (const QWidget* child : editor->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        const auto* group = qobject_cast<const QGroupBox*>(child);
        if (group == nullptr) {
            lines.push_back(Describe(child));
            continue;
        }
        std::string line = group->title().toStdString() + ":";
        for (const QWidget* control : group->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            line += " " + Describe(control) + " |";
        }
        lines.push_back(line.substr(0, line.size() - 2));
    }
    return lines;
}
std::vector<std::string> Lines(const QComboBox* list) {
    std::vector<std::string> lines;
    for (int index = 0; index < list->count(); ++index) {
        lines.push_back(list->itemText(index).toStdString());
    }
    return lines;
}

class Editors : public ::testing::Test {
  protected:
    Editors() { mainWindow.setGeometry(300, 250, 200, 100); }
    ~Editors() override { DeleteClosed(); }

    ConfigEditor* Open(Kind kind, int row, const std::string& text) {
        session.CurrentTarget = DeviceTable[row];
        const auto showInField = [this](const QString& word) {
            shown.push_back(word.toStdString());
        };
        switch (kind) {
            case Kind::Fuse:
                session.CurrentFuseText = text;
                return new SxFuseEditor(&mainWindow, session, showInField);
            case Kind::FuseX:
                session.CurrentFuseXText = text;
                return new SxFuseXEditor(&mainWindow, session, showInField);
            case Kind::Pic:
                session.CurrentFuseText = text;
                return new PicConfigEditor(&mainWindow, session, showInField);
        }
        return nullptr;
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

    RecordingUi ui;
    MemorySettings settings;
    Session session{ui, settings, "/nonexistent/libftd2xx.so"};
    QWidget mainWindow;
    std::vector<std::string> shown;  // what reached the main window's field
};

TEST_F(Editors, EachShowsItsWordWithTheChipsControls) {
    struct Case {
        Kind kind;
        int row;
        std::string text;
        const char* click;  // a button clicked before looking, or nullptr
        std::vector<std::string> layout;
    };
    const std::vector<Case> cases = {
        {Kind::Fuse,
         SX28,
         "4E9",
         nullptr,
         {"Turbo : (*)Enabled  (Osc/1) | ( )Disabled (Osc/4) ",
          "Synchronous Input : ( )Enable | (*)Disable",
          "Internal RC Oscillator: ( )Enable | (*)Disable",
          "RC Oscillator Divider : ( )4 MHz (off) | ( )1 MHz (off) | ( )128 KHz (off) | "
          "(*)32 KHz (off)",
          "Osc Feedback Resistor : (*)Enable | ( )Disable",
          "Crystal Buffer: ( )Enable (off) | (*)Disable (off)",
          "Code Protection : ( )Enable | (*)Disable", "Watchdog Timer : ( )Enable | (*)Disable",
          "External Oscillator Configuration: <HS2 Crys/Res/Ext (1MHz - 50MHz)>"}},
        {Kind::Fuse,
         SX48,
         "4E9",
         "internalRc0",
         {"Turbo : (*)Enabled  (Osc/1) (off) | ( )Disabled (Osc/4)  (off)",
          "Synchronous Input : ( )Enable | (*)Disable",
          "Internal RC Oscillator: (*)Enable | ( )Disable",
          "RC Oscillator Divider : ( )4 MHz | ( )1 MHz | ( )128 KHz | (*)32 KHz",
          "Osc Feedback Resistor : (*)Enable (off) | ( )Disable (off)",
          "Crystal Buffer: ( )Enable | (*)Disable", "Code Protection : ( )Enable | (*)Disable",
          "Watchdog Timer : ( )Enable | (*)Disable",
          "External Oscillator Configuration: <HS2 Crys/Res (1MHz - 50MHz)> (off)"}},
        {Kind::FuseX,
         SX28,
         "440",
         nullptr,
         {"Pins : ( )18/20 Pins | (*)28 Pins", "Sleep Clock : ( )Enable (off) | (*)Disable (off)",
          "OPTIONX / STACKX: (*)Clear | ( )Set ", "Carry Flag : ( )Enable | (*)Disable",
          "Brown-Out Reset : (*)4.2V (00) | ( )2.2V (10) | ( )2.6V (01) | ( )BOR Disabled",
          "Delay Reset Timer : ( ).25 msec (off) | ( )18 msec (off) | (*)60 msec (off) | "
          "( )1 sec (off)",
          "Brown-Out Trim:", "<00>", "Pages / Banks:", "<00    1 Page, 1 Bank>"}},
        {Kind::FuseX,
         SX48,
         "440",
         nullptr,
         {"Pins : ( )18/20 Pins (off) | (*)28 Pins (off)", "Sleep Clock : ( )Enable | (*)Disable",
          "OPTIONX / STACKX: (*)Clear (off) | ( )Set  (off)", "Carry Flag : ( )Enable | (*)Disable",
          "Brown-Out Reset : (*)4.1V (00) | ( )2.2V (10) | ( )2.4V (01) | ( )BOR Disabled",
          "Delay Reset Timer : ( ).25 msec | ( )18 msec | (*)60 msec | ( )1 sec",
          "Brown-Out Trim:", "<00>", "Pages / Banks:", "<> (off)"}},
        {Kind::Pic,
         F877,
         "3d3a",
         nullptr,
         {"Configuration Options:  : [ ]Watchdog Timer | [ ]Power-up Timer | [ ]Brown-out Reset | "
          "[ ]Program Mem Write | [ ]In-Circuit Debugger",
          "Code Protection: : [ ]EEPROM | (*)Off (11) | ( )ALL (00) | ( )3/4 (10) | ( )1/2 (01)",
          "Oscillator Selection : ( )RC | (*)HS | ( )XT | ( )LP"}},
        {Kind::Pic,
         F84A,
         "3d3a",
         nullptr,
         {"Configuration Options:  : [ ]Watchdog Timer | [ ]Power-up Timer | "
          "[ ]Brown-out Reset (off) | [ ]Program Mem Write (off) | [ ]In-Circuit Debugger (off)",
          "Code Protection: : [ ]EEPROM (off) | ( )Off (11) | (*)ALL (00) | ( )3/4 (10) (off) | "
          "( )1/2 (01) (off)",
          "Oscillator Selection : ( )RC | (*)HS | ( )XT | ( )LP"}},
        {Kind::Pic,
         F870,
         "2FFF",
         nullptr,
         {"Configuration Options:  : [x]Watchdog Timer | [ ]Power-up Timer | [x]Brown-out Reset | "
          "[x]Program Mem Write | [ ]In-Circuit Debugger",
          "Code Protection: : [ ]EEPROM | ( )Off (11) | (*)ALL (00) | ( )3/4 (10) (off) | "
          "( )1/2 (01) (off)",
          "Oscillator Selection : (*)RC | ( )HS | ( )XT | ( )LP"}},
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

TEST_F(Editors, TheListsHoldTheChipsLines) {
    struct Case {
        Kind kind;
        int row;
        const char* list;
        std::vector<std::string> lines;
    };
    const std::vector<Case> cases = {
        {Kind::Fuse,
         SX28,
         "oscillatorModeList",
         {"LP1 Crystal (32KHz)", "LP2 Crys/Res (32KHz - 1MHz)", "XT1 Crys/Res (32KHz - 10MHz)",
          "XT2 Crys/Res (1MHz) - 24MHz", "HS1 Crys/Res/Ext (1MHz - 50MHz)",
          "HS2 Crys/Res/Ext (1MHz - 50MHz)", "HS3 Crys/Res/Ext (1MHz - 75MHz)",
          "RC Network (OSC2 pulled high)"}},
        {Kind::Fuse,
         SX48,
         "oscillatorModeList",
         {"LP1 Crystal (32KHz)", "LP2 Crys/Res (32KHz - 1MHz)", "XT1 Crys/Res (32KHz - 1MHz)",
          "XT2 Crys/Res (1MHz) - 8MHz", "HS1 Crys/Res (1MHz - 20MHz)",
          "HS2 Crys/Res (1MHz - 50MHz)", "HS3 Crys/Res (1MHz - 75MHz)",
          "RC Network (OSC2 pulled high)"}},
        {Kind::FuseX, SX48, "brownOutTrimList", {"00", "01", "10", "11"}},
        {Kind::FuseX,
         SX28,
         "pagesBanksList",
         {"00    1 Page, 1 Bank", "01    2 Pages, 1 Bank", "10    4 Pages, 4 Banks",
          "11    4 Pages, 8 Banks"}},
        {Kind::FuseX, SX48, "pagesBanksList", {}},
    };
    for (const Case& c : cases) {
        ConfigEditor* editor = Open(c.kind, c.row, "0");
        const auto* list = Find<QComboBox>(editor, c.list);
        EXPECT_EQ(Lines(list), c.lines) << c.list;
        EXPECT_FALSE(list->accessibleName().isEmpty()) << c.list;
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
    };
    const std::vector<std::string> fuseKeys = {"VEKFlashFuseBits", "VEKFlashFuseBitsSave"};
    const std::vector<Case> cases = {
        {Kind::Fuse, SX28, "4E9", "watchdog1", "7F9", fuseKeys},
        {Kind::Fuse, SX28, "4E9", "oscillatorModeList", "7FA", fuseKeys},
        {Kind::Fuse, SX48, "---", "codeProtection1", "7FD", fuseKeys},
        {Kind::FuseX, SX48, "440", "delayResetTimer0", "F42", {"VEKFlashFusexBits"}},
        {Kind::FuseX, SX28, "440", "brownOutTrimList", "F44", {"VEKFlashFusexBits"}},
        {Kind::Pic, F877, "3d3a", "watchdogBox", "3D3E", {"VEKFlashmicrochipBits"}},
        {Kind::Pic, F84A, "3d3a", "oscillatorMode2", "0009", {"VEKFlashmicrochipBits"}},
    };
    for (const Case& c : cases) {
        settings.Clear();
        shown.clear();
        ConfigEditor* editor = Open(c.kind, c.row, c.text);
        const std::string& sharedText =
            c.kind == Kind::FuseX ? session.CurrentFuseXText : session.CurrentFuseText;
        // Opening alone writes nothing.
        EXPECT_TRUE(settings.Values().empty());
        EXPECT_TRUE(shown.empty());
        EXPECT_EQ(sharedText, c.text);

        if (auto* list = editor->findChild<QComboBox*>(c.control)) {
            QTest::keyClick(list, Qt::Key_Down);
        } else {
            Click(editor, c.control);
        }
        EXPECT_EQ(sharedText, c.word) << c.control;
        EXPECT_EQ(shown, std::vector<std::string>{c.word}) << c.control;
        EXPECT_EQ(settings.Values().size(), c.keys.size()) << c.control;
        for (const std::string& key : c.keys) {
            EXPECT_EQ(settings.Text(key), c.word) << key;
        }
        editor->CloseQuietly();
    }
}

TEST_F(Editors, RefreshShowsANewSharedWordWithoutWritingIt) {
    struct Case {
        Kind kind;
        int row;
        std::string first;
        std::string second;
        const char* shownButton;  // checked and enabled after the refresh
        std::string written;      // by a click on it
    };
    const std::vector<Case> cases = {
        // The divider comes to life with the internal RC that the new word chooses.
        {Kind::Fuse, SX28, "4E9", "334", "rcDivider1", "337"},
        {Kind::FuseX, SX28, "440", "BBF", "brownOutLevel3", "BBF"},
        {Kind::Pic, F877, "3d3a", "0645", "oscillatorMode2", "0645"},
    };
    for (const Case& c : cases) {
        settings.Clear();
        shown.clear();
        ConfigEditor* editor = Open(c.kind, c.row, c.first);
        (c.kind == Kind::FuseX ? session.CurrentFuseXText : session.CurrentFuseText) = c.second;
        editor->Refresh();
        EXPECT_TRUE(settings.Values().empty());
        EXPECT_TRUE(shown.empty());

        const auto* button = Find<QAbstractButton>(editor, c.shownButton);
        EXPECT_TRUE(button->isChecked()) << c.shownButton;
        EXPECT_TRUE(button->isEnabled()) << c.shownButton;
        Click(editor, c.shownButton);
        EXPECT_EQ(shown, std::vector<std::string>{c.written}) << c.shownButton;
        editor->CloseQuietly();
    }
}

// Each kind of window with its title, a chip it serves and one of its enabled controls.
struct Window {
    Kind kind;
    int row;
    std::string title;
    const char* control;
};
const std::vector<Window> WINDOWS = {
    {Kind::Fuse, SX28, "Configuration Fuses", "watchdog0"},
    {Kind::FuseX, SX48, "FuseX", "carryFlag0"},
    {Kind::Pic, F877, "Configuration Window", "watchdogBox"},
};

TEST_F(Editors, EscapeAndTheCloseBoxReportTheCloseTheMainWindowClosesQuietly) {
    enum class Closing { Escape, CloseBox, Quietly };
    for (const Window& window : WINDOWS) {
        for (const Closing closing : {Closing::Escape, Closing::CloseBox, Closing::Quietly}) {
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
                case Closing::Quietly:
                    editor->CloseQuietly();
                    break;
            }
            EXPECT_EQ(closedByUser.count(), closing == Closing::Quietly ? 0 : 1) << window.title;
            EXPECT_FALSE(editor->isVisible()) << window.title;
            DeleteClosed();
            EXPECT_TRUE(alive.isNull()) << window.title;
        }
    }
    EXPECT_TRUE(settings.Values().empty());
    EXPECT_TRUE(shown.empty());
}

TEST_F(Editors, EnterNeitherClosesNorWrites) {
    for (const Window& window : WINDOWS) {
        ConfigEditor* editor = Open(window.kind, window.row, "---");
        QSignalSpy closedByUser(editor, &ConfigEditor::closedByUser);
        for (QWidget* control : editor->findChildren<QWidget*>()) {
            if (control->focusPolicy() == Qt::NoFocus || !control->isEnabled()) {
                continue;
            }
            QTest::keyClick(control, Qt::Key_Return);
            QTest::keyClick(control, Qt::Key_Enter, Qt::KeypadModifier);
        }
        EXPECT_TRUE(editor->isVisible()) << window.title;
        EXPECT_EQ(closedByUser.count(), 0) << window.title;
        EXPECT_TRUE(settings.Values().empty()) << window.title;
        EXPECT_TRUE(shown.empty()) << window.title;
        EXPECT_EQ(session.CurrentFuseText, "---");
        editor->CloseQuietly();
    }
}

TEST_F(Editors, TheyOpenBesideTheMainWindowButOnItsScreen) {
    struct Case {
        Kind kind;
        QPoint mainWindowAt;
        QPoint dialogUnits;  // from the main window's client area
    };
    const std::vector<Case> cases = {
        {Kind::Fuse, {450, 320}, {-150, -100}},
        {Kind::FuseX, {10, 320}, {183, -100}},
        {Kind::Pic, {10, 200}, {200, -50}},
    };
    for (const Case& c : cases) {
        mainWindow.move(c.mainWindowAt);
        ConfigEditor* editor = Open(c.kind, c.kind == Kind::Pic ? F877 : SX28, "---");
        const QFontMetrics metrics = editor->fontMetrics();
        // Windows to the right keep their distance from the right edge of a main window 167
        // units wide, measured from this one's right edge.
        const int units = c.dialogUnits.x() < 0 ? c.dialogUnits.x() : c.dialogUnits.x() - 167;
        const QRect client = mainWindow.geometry();
        const int edge = c.dialogUnits.x() < 0 ? client.left() : client.right() + 1;
        const QPoint expected(edge + qRound(units * metrics.averageCharWidth() / 4.0),
                              client.top() + qRound(c.dialogUnits.y() * metrics.height() / 8.0));
        EXPECT_EQ(editor->pos(), expected) << editor->windowTitle().toStdString();
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
