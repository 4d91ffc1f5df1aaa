// After the wrong-chip warning the window names the chip in the socket when it is another of
// the target's family, and offers to select it: No, the default, leaves the selection; Yes
// selects it as the Device list would and runs nothing more.
#include "vek_sim.h"
#include "window_fixture.h"

namespace vek::test {
namespace {

class ChipInSocket : public WindowTest {};

TEST_F(ChipInSocket, TheOfferSelectsTheChipOnlyWhenAccepted) {
    struct Case {
        int selected;
        const char* chip;
        bool withFile;
        const char* button;
        QMessageBox::StandardButton answer;  // NoButton: the default
        const char* listAfter;
    };
    const Case cases[] = {
        {0, "16F877", false, "readButton", QMessageBox::NoButton, "16F84A"},
        {0, "16F877", false, "readButton", QMessageBox::Yes, "16F877"},
        {0, "16F873", true, "programButton", QMessageBox::Yes, "16F873"},
        {0, "16F876", true, "verifyButton", QMessageBox::Yes, "16F876"},
        {8, "SX48", false, "eraseButton", QMessageBox::Yes, "SX48"},
        // Another family's chip is not offered.
        {0, "SX28", false, "readButton", QMessageBox::Yes, "16F84A"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.button) + " " + c.chip);
        sim.Reset();
        Save("VEKFlashProcSelection", c.selected);
        Start();
        if (c.withFile) {
            OpenThroughDialog(PIC_SAMPLE);
        }
        ASSERT_TRUE(sim.SelectChip(c.chip));
        answerer.messages.clear();
        answerer.questionAnswer = c.answer;
        bool defaultIsNo = false;
        answerer.whileOpen = [&](QMessageBox& box) {
            QAbstractButton* no = box.button(QMessageBox::No);
            defaultIsNo = defaultIsNo || (no != nullptr && box.defaultButton() == no);
        };
        Press(c.button);
        answerer.whileOpen = nullptr;
        const bool offered = std::string(c.chip) != "SX28";
        ASSERT_EQ(answerer.messages.size(), offered ? 2u : 1u);
        EXPECT_TRUE(answerer.messages[0].starts_with("Warning: The processor selected"));
        if (&c == &cases[0]) {
            EXPECT_EQ(answerer.messages[1],
                      "The chip in the socket reports ID 9A0: a PIC16F877.\nSelect the 16F877 in "
                      "the Device list?");
        }
        EXPECT_EQ(defaultIsNo, offered);
        EXPECT_EQ(Find<QComboBox>("deviceList")->currentText(), c.listAfter);
        // The selection is the person's: saved as the list saves it.
        EXPECT_EQ(SavedInt("VEKFlashProcSelection"), Find<QComboBox>("deviceList")->currentIndex());
        // Nothing more ran on the chip: it is as blank as it came.
        EXPECT_EQ(sim.ReadWord(VEKSIM_PROGRAM, 0),
                  std::string(c.chip).starts_with("SX") ? 0xFFF : 0x3FFF);
    }
}

}  // namespace
}  // namespace vek::test
