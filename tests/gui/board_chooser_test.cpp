// Choosing among several attached programmer boards by USB serial number.
#include <algorithm>

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
    void AttachBoards(const char* boards) {
        SetEnvironment("VEKSIM_BOARDS", boards);
        sim.Reset();
    }
    static std::vector<std::string> Entries(QDialog& dialog) {
        std::vector<std::string> entries;
        auto* list = dialog.findChild<QListWidget*>("boardList");
        for (int row = 0; row < list->count(); ++row) {
            entries.push_back(list->item(row)->text().toStdString());
        }
        return entries;
    }
    static std::string Current(QDialog& dialog) {
        return dialog.findChild<QListWidget*>("boardList")->currentItem()->text().toStdString();
    }
    static void Pick(QDialog& dialog, int row, const char* button) {
        dialog.findChild<QListWidget*>("boardList")->setCurrentRow(row);
        dialog.findChild<QPushButton*>(button)->click();
    }
    bool Logged(const std::string& call) {
        const std::vector<std::string> log = sim.CallLog();
        return std::find(log.begin(), log.end(), call) != log.end();
    }
};

TEST_F(BoardChooser, TheSecondBoardPickedIsSavedConnectedAndOpenedAtTheNextStart) {
    AttachBoards("A1:16F877;B2:SX28");
    Start();
    EXPECT_TRUE(Logged("FT_OpenEx \"VEK Flash\" 2 -> 0"));
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
    EXPECT_TRUE(Logged("FT_OpenEx \"B2\" 1 -> 0"));
    EXPECT_EQ(answerer.messages, std::vector<std::string>{"VEK Flash programmer ready."});
    EXPECT_EQ(Caption("connectionLabel"), "Programmer connected");

    window.reset();
    sim.Reset();  // the window left its board open
    Start();
    EXPECT_TRUE(Logged("FT_OpenEx \"B2\" 1 -> 0"));
    EXPECT_FALSE(Logged("FT_OpenEx \"VEK Flash\" 2 -> 0"));
    WithModal("chooseProgrammerAction", [&](QDialog& dialog) {
        EXPECT_EQ(Current(dialog), "B2");
        // Back to the first board found: the key is emptied, not left behind.
        Pick(dialog, 0, "okButton");
    });
    EXPECT_EQ(SavedText("VEKFlashBoardSerial"), "");
    EXPECT_TRUE(Logged("FT_OpenEx \"VEK Flash\" 2 -> 0"));
}

TEST_F(BoardChooser, CancelOrTheSameBoardChangesNothing) {
    AttachBoards("A1:16F877;B2:SX28");
    Save("VEKFlashBoardSerial", "A1");
    Start();
    sim.ClearLogs();
    answerer.messages.clear();
    for (const char* button : {"cancelButton", "okButton"}) {
        SCOPED_TRACE(button);
        WithModal("chooseProgrammerAction", [&](QDialog& dialog) {
            EXPECT_EQ(Current(dialog), "A1");
            Pick(dialog, button == std::string("okButton") ? 1 : 2, button);
        });
        EXPECT_EQ(SavedText("VEKFlashBoardSerial"), "A1");
    }
    const std::vector<std::string> log = sim.CallLog();
    EXPECT_FALSE(std::any_of(log.begin(), log.end(), [](const std::string& call) {
        return call.starts_with("FT_OpenEx");
    }));
    EXPECT_TRUE(answerer.messages.empty());
}

TEST_F(BoardChooser, OneOrNoBoardIsSaidAndAChosenBoardThatIsGoneStaysListed) {
    struct Case {
        const char* boards;  // VEKSIM_BOARDS; nullptr for the one default board
        bool attached;
        const char* saved;
        std::string countText;
        std::vector<std::string> entries;
        std::string current;
    };
    const Case cases[] = {
        {nullptr,
         true,
         "",
         "One programmer board is attached.",
         {"First board found", "VF000001"},
         "First board found"},
        {nullptr,
         false,
         "",
         "No programmer board is attached.",
         {"First board found"},
         "First board found"},
        {"A1:16F877",
         true,
         "C3",
         "One programmer board is attached.",
         {"First board found", "A1", "C3 (not attached)"},
         "C3 (not attached)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.countText + " " + c.saved);
        window.reset();
        if (c.boards != nullptr) {
            SetEnvironment("VEKSIM_BOARDS", c.boards);
        }
        sim.Reset();  // also closes the board the last window left open
        sim.SetAttached(c.attached);
        Save("VEKFlashBoardSerial", c.saved);
        answerer.messages.clear();
        Start();
        WithModal("chooseProgrammerAction", [&](QDialog& dialog) {
            EXPECT_EQ(dialog.findChild<QLabel*>("boardCountLabel")->text(),
                      QString::fromStdString(c.countText));
            EXPECT_EQ(Entries(dialog), c.entries);
            EXPECT_EQ(Current(dialog), c.current);
            dialog.findChild<QPushButton*>("okButton")->click();
        });
        EXPECT_EQ(SavedText("VEKFlashBoardSerial"), c.saved);
    }
}

}  // namespace
}  // namespace vek::test
