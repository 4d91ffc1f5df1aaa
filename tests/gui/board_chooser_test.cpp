// Choosing among several attached programmer boards by USB serial number.
#include "environment.h"
#include "window_fixture.h"

namespace vek::test {
namespace {

class BoardChooser : public WindowTest {
  protected:
    ~BoardChooser() override {
        window.reset();
        RemoveEnvironment("VEKSIM_BOARDS");
        sim.Reset();
    }
    // The boards attached from the next start on; a window from before lets go of its board.
    void AttachBoards(const char* boards) {
        window.reset();
        SetEnvironment("VEKSIM_BOARDS", boards);
        sim.Reset();
    }
    static QListWidget* List(QDialog& dialog) {
        return dialog.findChild<QListWidget*>("boardList");
    }
    static std::vector<std::string> Entries(QDialog& dialog) {
        std::vector<std::string> entries;
        for (int row = 0; row < List(dialog)->count(); ++row) {
            entries.push_back(List(dialog)->item(row)->text().toStdString());
        }
        return entries;
    }
    static std::string Current(QDialog& dialog) {
        return List(dialog)->currentItem()->text().toStdString();
    }
    static void Pick(QDialog& dialog, int row, const char* button) {
        List(dialog)->setCurrentRow(row);
        dialog.findChild<QPushButton*>(button)->click();
    }
};

TEST_F(BoardChooser, APickedBoardIsSavedConnectedAndOpenedAtTheNextStartCancelChangesNothing) {
    AttachBoards("A1:16F877;B2:SX28");
    Start();
    EXPECT_EQ(Calls("FT_OpenEx \"VEK Flash\" 2 -> 0"), 1);
    sim.ClearLogs();

    WithModal("chooseProgrammerAction", [&](QDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Choose Programmer");
        EXPECT_EQ(dialog.findChild<QLabel*>("boardCountLabel")->text(),
                  "2 programmer boards are attached; pick the one to use.");
        EXPECT_EQ(Entries(dialog), (std::vector<std::string>{"First board found", "A1", "B2"}));
        EXPECT_EQ(Current(dialog), "First board found");
        Pick(dialog, 2, "okButton");
    });
    EXPECT_EQ(SavedText("VEKFlashBoardSerial"), "B2");
    EXPECT_EQ(Calls("FT_OpenEx \"B2\" 1 -> 0"), 1);
    EXPECT_EQ(answerer.messages, std::vector<std::string>{"VEK Flash programmer ready."});
    EXPECT_EQ(Caption("connectionLabel"), "Programmer connected");

    window.reset();
    sim.Reset();  // the window left its board open
    Start();
    EXPECT_EQ(Calls("FT_OpenEx \"B2\" 1 -> 0"), 1);
    EXPECT_EQ(Calls("FT_OpenEx \"VEK Flash\""), 0);
    // Cancel, or OK on the board in use, changes nothing.
    sim.ClearLogs();
    answerer.messages.clear();
    for (const char* button : {"cancelButton", "okButton"}) {
        SCOPED_TRACE(button);
        WithModal("chooseProgrammerAction", [&](QDialog& dialog) {
            EXPECT_EQ(Current(dialog), "B2");
            Pick(dialog, button == std::string("okButton") ? 2 : 1, button);
        });
        EXPECT_EQ(SavedText("VEKFlashBoardSerial"), "B2");
    }
    EXPECT_EQ(Calls("FT_OpenEx"), 0);
    EXPECT_TRUE(answerer.messages.empty());
    // Back to the first board found: the key is emptied, not left behind.
    WithModal("chooseProgrammerAction", [&](QDialog& dialog) { Pick(dialog, 0, "okButton"); });
    EXPECT_EQ(SavedText("VEKFlashBoardSerial"), "");
    EXPECT_EQ(Calls("FT_OpenEx \"VEK Flash\" 2 -> 0"), 1);
}

TEST_F(BoardChooser, OneOrNoBoardIsSaidAndAChosenBoardThatIsGoneStaysListed) {
    const std::string none = "No programmer board is attached.";
    const std::string one = "One programmer board is attached.";
    struct Case {
        const char* boards;  // VEKSIM_BOARDS; nullptr for the one default board
        bool attached;
        const char* saved;
        std::string countText;
        std::vector<std::string> entries;  // after "First board found"
        std::string current = "First board found";
    };
    const Case cases[] = {
        {nullptr, true, "", one, {"VF000001"}},
        {nullptr, false, "", none, {}},
        {"A1:16F877", true, "C3", one, {"A1", "C3 (not attached)"}, "C3 (not attached)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.countText + " " + c.saved);
        if (c.boards != nullptr) {
            AttachBoards(c.boards);
        }
        window.reset();
        sim.Reset();  // also closes the board the last window left open
        sim.SetAttached(c.attached);
        Save("VEKFlashBoardSerial", c.saved);
        Start();
        WithModal("chooseProgrammerAction", [&](QDialog& dialog) {
            EXPECT_EQ(dialog.findChild<QLabel*>("boardCountLabel")->text().toStdString(),
                      c.countText);
            std::vector<std::string> entries = {"First board found"};
            entries.insert(entries.end(), c.entries.begin(), c.entries.end());
            EXPECT_EQ(Entries(dialog), entries);
            EXPECT_EQ(Current(dialog), c.current);
            dialog.findChild<QPushButton*>("okButton")->click();
        });
        EXPECT_EQ(SavedText("VEKFlashBoardSerial"), c.saved);
    }
}

}  // namespace
}  // namespace vek::test
