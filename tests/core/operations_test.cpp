// Blank Check, Erase and the identity check through the simulated programmer, what every
// device operation does when it must not start, and the chip in the socket named after an
// operation stopped on its ID, when it is another chip of the target's family.
#include "link/protocol.h"
#include "operations/device_id.h"
#include "operations/operation_claim.h"
#include "session/connection.h"
#include "sim_fixture.h"

namespace vek::test {
namespace {

const std::string NO_BLANK_CHECK =
    "VEK-Flash programmer is not responding to the Blank Check command.";
const std::string E1 = "VEK-Flash programmer is not responding to the Blank Check command (E1)";
const std::string E2 =
    "VEK-Flash programmer is not responding correctly to the Blank Check command. (E2)";
const std::string C3 = "Error: Communication with VEK Flash programmer failed. (c3)";
const std::string NOT_RESPONDING = "VEK-Flash programmer is not responding to commands.";
const std::string NOT_RESPONDING_TO = "VEK-Flash programmer is not responding ";

using Operations = OpenedSimTest;

TEST_F(Operations, BlankCheckAndEraseSendTheirFramesAndGiveTheVerdict) {
    struct Case {
        OperationResult (Bench::*command)();
        int row;
        bool written;  // the chip is not blank beforehand
        std::string verdict;
        std::uint8_t sizeHigh;
    };
    // The 16F877's result comes late: the long time-out has to cover it.
    const Case cases[] = {{&Bench::BlankCheck, 0, false, "Device is blank", 0x04},
                          {&Bench::BlankCheck, 0, true, "Device is not blank", 0x04},
                          {&Bench::BlankCheck, 7, false, "Device is blank", 0x20},
                          {&Bench::Erase, 0, true, "Device is blank", 0x04},
                          {&Bench::Erase, 8, true, "Device is blank", 0x08}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.row);
        Bench bench(c.row);
        if (c.written) {
            bench.sim.WriteWord(VEKSIM_PROGRAM, 5, 0x0A5);
        }
        const OperationResult result = (bench.*c.command)();
        EXPECT_EQ(bench.ui.messages, std::vector<std::string>{c.verdict});
        EXPECT_EQ(result.messages, bench.ui.messages);
        const std::uint8_t i = c.row;
        const std::string identify = Frame({CMD_BEGIN, i}) + " " + Frame({CMD_READ_ID, i});
        const std::string check =
            Join({Frame({CMD_BEGIN, i}), Frame({CMD_BLANK_CHECK, i, 0x00, c.sizeHigh}),
                  Frame({CMD_END, i}), Frame({CMD_END, i})});
        const bool erase = c.command == &Bench::Erase;
        EXPECT_EQ(bench.HostHex(), erase ? Join({identify, identify, Frame({CMD_BULK_ERASE, i}),
                                                 Frame({CMD_END, i}), check})
                                         : check);
        EXPECT_NE(Join(bench.sim.CallLog()).find("FT_SetTimeouts 15000 15000"), std::string::npos);
        EXPECT_GE(bench.ui.maxWaitDepth, 1);
        if (erase) {
            // A PIC16 answers the erase frame with two ready bytes before its completion; an
            // SX sends none.
            const bool pic = c.row == 0;
            EXPECT_EQ(bench.DeviceHex().find(pic ? "55 76 76" : "76 76") != std::string::npos, pic);
            EXPECT_EQ(bench.sim.ReadWord(VEKSIM_PROGRAM, 5), pic ? 0x3FFF : 0x0FFF);
            EXPECT_EQ(bench.ui.targetIds, std::vector<int>(2, pic ? 0x560 : 0xFCE));
            EXPECT_EQ(result.targetId, pic ? 0x560 : 0xFCE);
        }
    }
}

TEST_F(Operations, AnyCompletionByteCountsAndANotBlankResultIsAVerdict) {
    sim.FaultReply(CMD_BULK_ERASE, 0, 3, VEKSIM_REPLACE, 0x00);
    sim.FaultReply(CMD_BLANK_CHECK, 0, 2, VEKSIM_REPLACE, REPLY_FAIL);
    Erase();
    EXPECT_EQ(ui.messages, std::vector<std::string>{"Device is not blank"});
}

Injection SetId(unsigned raw) {
    return [raw](SimControl& s) { s.SetDeviceId(raw); };
}

TEST_F(Operations, IdentityIgnoresPic16RevisionBitsAndWarnsOnAnythingElse) {
    struct Case {
        int row;
        Injection inject;
        std::vector<std::string> messages;
        std::vector<int> shownIds = {};  // what the Dev Word field shows in turn
    };
    const std::string idCommand = "to read processor type command.";
    const Case cases[] = {
        // The upper nibble of the second byte is not part of the ID.
        {0, SetId(0xF57F), {}, {0x57F}},
        {9, SetId(0x003), {WrongTargetWarning("SX48", "003")}, {0x003}},
        // An ID that cannot be read warns as 000 or 001 and leaves the field alone.
        {0, FailRead(1), {NOT_RESPONDING_TO + idCommand, WrongTargetWarning("16F84A", "000")}},
        {8,
         FailWrite(0),
         {DRIVER_ERROR, NOT_RESPONDING_TO + "correctly " + idCommand,
          WrongTargetWarning("SX28", "001")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.row);
        Bench bench(c.row);
        // The check runs inside a transaction.
        ASSERT_TRUE(bench.programmer.link.SendCommand({CMD_BEGIN, std::uint8_t(c.row)}));
        ASSERT_TRUE(bench.programmer.link.ReadReply().Is(REPLY_READY));
        c.inject(bench.sim);
        EXPECT_EQ(CheckTargetIdentity(bench.programmer, bench.Target()) == Identity::Matches,
                  c.messages.empty());
        EXPECT_EQ(bench.ui.messages, c.messages);
        EXPECT_EQ(bench.ui.targetIds, c.shownIds);
    }
}

TEST_F(Operations, WrongChipIsWarnedWithTheTableOfIdsAndStopsErase) {
    ASSERT_TRUE(sim.SelectChip("16F877"));
    sim.SetDeviceId(0x9BF);
    EXPECT_EQ(Erase().outcome, Outcome::WrongDevice);
    EXPECT_EQ(ui.events, (std::vector<std::string>{
                             "message: " + WrongTargetWarning("16F84A", "9A0"), "pause 4000"}));
    EXPECT_EQ(ui.targetIds, std::vector<int>{0x9BF});
    EXPECT_EQ(HostHex(), Frame({CMD_BEGIN, 0}) + " " + Frame({CMD_READ_ID, 0}));
}

struct FailureCase {
    OperationResult (Bench::*command)();
    Injection inject;
    std::vector<std::string> messages;
    int endFrames = 0;  // CMD_END frames the failure path still sends
};

// Reads of an Erase, in order: BEGIN ack 0, ready 1, READ_ID ack 2, ID 3; the erase exchange's
// BEGIN ack 4, ready 5, READ_ID ack 6, ID 7, BULK_ERASE ack 8, ready 9 and 10, completion 11,
// END ack 12; the second BEGIN ack 13, ready 14.
TEST_F(Operations, EveryFailureIsReportedWithItsCode) {
    constexpr int REPLACE = VEKSIM_REPLACE;
    constexpr int DROP = VEKSIM_DROP;
    const std::string e5 = NOT_RESPONDING_TO + "correctly to Erase command. (E5)";
    const FailureCase cases[] = {
        {&Bench::BlankCheck, FailWrite(0), {DRIVER_ERROR}},
        {&Bench::BlankCheck, FailRead(1), {NOT_RESPONDING + "(129)"}},
        {&Bench::BlankCheck, FaultReply(CMD_BEGIN, 1, REPLACE, 0x00), {Fatal("(1b)")}},
        {&Bench::BlankCheck, FailWrite(1), {DRIVER_ERROR, NO_BLANK_CHECK}, 1},
        {&Bench::BlankCheck, FaultReply(CMD_BLANK_CHECK, 2, DROP), {E1, NO_BLANK_CHECK}, 1},
        {&Bench::BlankCheck,
         FaultReply(CMD_BLANK_CHECK, 2, REPLACE, 0x76),
         {E2, NO_BLANK_CHECK},
         2},
        {&Bench::Erase, FailWrite(0), {DRIVER_ERROR}},
        {&Bench::Erase, FailRead(1), {"VEK-Flash programmer not responding to commands.(118)"}},
        {&Bench::Erase, FaultReply(CMD_BEGIN, 1, DROP), {Fatal("(1a)")}},
        {&Bench::Erase, FailRead(5), {NOT_RESPONDING + "(120)", C3}},
        {&Bench::Erase, NthReply(CMD_BEGIN, 1, 1, REPLACE, 0x55), {Fatal("(4)"), C3}},
        {&Bench::Erase, FailWrite(4), {DRIVER_ERROR, C3}},
        {&Bench::Erase, FailRead(10), {NOT_RESPONDING + "(120)", C3}},
        {&Bench::Erase, FaultReply(CMD_BULK_ERASE, 1, REPLACE, 0xA5), {Fatal("(14)"), C3}},
        {&Bench::Erase, FaultReply(CMD_BULK_ERASE, 2, DROP), {Fatal("(114)"), C3}},
        {&Bench::Erase, FailRead(11), {"Could not read from device. (BE1)", C3}},
        {&Bench::Erase, FaultReply(CMD_BULK_ERASE, 3, DROP), {e5, C3}},
        {&Bench::Erase, FailRead(14), {NOT_RESPONDING + "(119)"}, 1},
        {&Bench::Erase, NthReply(CMD_BEGIN, 2, 1, REPLACE, 0x00), {Fatal("(2)")}, 1},
    };
    for (const FailureCase& failure : cases) {
        SCOPED_TRACE(failure.messages.front());
        Bench bench(0);
        failure.inject(bench.sim);
        (bench.*failure.command)();
        EXPECT_EQ(bench.ui.messages, failure.messages);
        EXPECT_EQ(bench.EndFrames(), failure.endFrames);
    }
}

TEST_F(Operations, BlankCheckIgnoresTheFirstByteEvenWhenItNeverComes) {
    sim.FaultReply(CMD_BLANK_CHECK, 0, 1, VEKSIM_DROP);
    BlankCheck();
    EXPECT_EQ(ui.messages, std::vector<std::string>{"Device is blank"});
    // The long time-out applies to the result only, after the ignored byte's read.
    const std::string calls = Join(sim.CallLog());
    const std::size_t raised = calls.find("FT_SetTimeouts 15000 15000");
    ASSERT_NE(raised, std::string::npos);
    EXPECT_NE(calls.rfind("FT_Read 1 -> 0 []", raised), std::string::npos);
}

TEST_F(Operations, UnreadableBlankCheckResultHasNoMessageOfItsOwn) {
    sim.FailCall("FT_Read", 4);  // BEGIN ack, ready, BLANK_CHECK ack, ignored byte, result
    BlankCheck();
    // The board is still checking when the closing CMD_END goes out; what that frame meets
    // is the link's business. The exchange itself adds nothing to the command's message.
    ASSERT_FALSE(ui.messages.empty());
    EXPECT_EQ(ui.messages.front(), NO_BLANK_CHECK);
    EXPECT_EQ(EndFrames(), 1);
}

TEST_F(Operations, LateEraseCompletionIsDrainedAfterItsMessage) {
    sim.FaultReply(CMD_BULK_ERASE, 0, 3, VEKSIM_DELAY, 1500);
    Erase();
    ASSERT_FALSE(ui.messages.empty());
    ASSERT_FALSE(ui.pauses.empty());
    EXPECT_EQ(ui.messages.front(),
              "VEK-Flash programmer is not responding correctly to Erase command. (E5)");
    EXPECT_EQ(sim.CallLog().back().rfind("FT_GetQueueStatus", 0), 0u);
    EXPECT_EQ(ui.pauses.front(), 2);
}

// Nor does Test Communication without a programmer, nor any command of the Setup menu while an
// operation holds the link.
TEST_F(Operations, NoOperationStartsWithoutAProgrammerOrWhileAControlCommandHoldsTheLink) {
    for (const bool held : {false, true}) {
        programmer.Connected = held;
        programmer.LinkInUse = held;  // a control command's, or an operation's
        programmer.PowerAllowed = held;
        ui.messages.clear();
        // The window empties its Hex Data window only for a Read that starts.
        EXPECT_FALSE(WouldStart(programmer, Target()));
        for (const auto command :
             {&Bench::BlankCheck, &Bench::Erase, &Bench::Program, &Bench::Read, &Bench::Verify}) {
            const OperationResult result = (this->*command)();
            EXPECT_EQ(result.outcome, held ? Outcome::Refused : Outcome::NoProgrammer);
            EXPECT_EQ(result.messages, std::vector<std::string>{held ? BUSY : NO_PROGRAMMER});
        }
        TestCommunication(programmer);
        if (held) {
            Connect(programmer);
            AllowTargetPower(programmer, false, [](bool) { ADD_FAILURE() << "the mark flipped"; });
            ApplyTargetPowerNow(programmer);
        }
        EXPECT_EQ(ui.messages, std::vector<std::string>(held ? 9 : 6, held ? BUSY : NO_PROGRAMMER));
        EXPECT_TRUE(sim.CallLog().empty());
        EXPECT_FALSE(programmer.BusyFlag);
        EXPECT_EQ(programmer.LinkInUse, held);
        EXPECT_EQ(ui.waitDepth, 0);
    }
}

// Commands and selection changes can arrive while a message box of an operation is open.
TEST_F(Operations, CommandsArrivingDuringARunningOperationDoNothingAndLeaveItsTargetAlone) {
    int nested = 0;
    ui.onMessage = [&](const std::string&) {
        if (nested++ == 0) {
            sim.ClearLogs();
            EXPECT_FALSE(WouldStart(programmer, Target()));
            for (const auto command : {&Bench::BlankCheck, &Bench::Erase, &Bench::Program,
                                       &Bench::Read, &Bench::Verify}) {
                EXPECT_EQ((this->*command)().outcome, Outcome::Refused);
            }
            ConnectionPoll(programmer);  // the timer keeps off the link as well
            EXPECT_TRUE(sim.CallLog().empty());
            selectedRow = 8;
            OnSelectionChanged(state, fields, selectedRow, programmer.BusyFlag);
        }
    };
    const OperationResult result = BlankCheck();
    EXPECT_EQ(ui.messages, std::vector<std::string>{"Device is blank"});
    EXPECT_EQ(result.messages, ui.messages);    // the nested commands' results kept nothing
    EXPECT_EQ(HostHex(), Frame({CMD_END, 0}));  // the operation's own last frame only
    EXPECT_EQ(Target().name, "SX28");           // the next command takes the new choice
}

TEST(ChipInSocket, AnotherRowOfTheTargetsFamilyIsNamed) {
    struct Case {
        int selected;
        std::string chip;
        int id;                 // -1: the chip's own
        std::string statement;  // empty: none
        int row;
    };
    const Case cases[] = {
        {0, "16F877", -1, "The chip in the socket reports ID 9A0: a PIC16F877.", 7},
        // The revision bits take no part.
        {7, "16F84A", 0x566, "The chip in the socket reports ID 560: a PIC16F84A.", 0},
        {8, "SX48", -1, "The chip in the socket reports ID 002: an SX48.", 9},
        // An ID read the other family's way says nothing about the chip.
        {0, "SX28", -1, "", -1},
        {9, "16F873", -1, "", -1},
        // An empty socket fits no row.
        {0, "16F84A", 0x000, "", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.chip);
        Bench bench(c.selected);
        ASSERT_TRUE(bench.sim.SelectChip(c.chip));
        if (c.id >= 0) {
            bench.sim.SetDeviceId(static_cast<unsigned>(c.id));
        }
        EXPECT_EQ(bench.Read().outcome, Outcome::WrongDevice);
        const std::optional<ChipInSocket> chip = ChipInSocketAfter(bench.last, bench.Target());
        EXPECT_EQ(chip ? chip->statement : "", c.statement);
        EXPECT_EQ(chip ? chip->row->processorIndex : -1, c.row);
        // Only after a wrong chip: not after a Read that succeeded.
        if (chip) {
            bench.UseTarget(c.row);
            EXPECT_FALSE(ChipInSocketAfter(bench.Read(), bench.Target()));
        }
    }
}

}  // namespace
}  // namespace vek::test
