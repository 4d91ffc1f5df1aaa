#include <functional>

#include "link/connection.h"
#include "link/link_messages.h"
#include "link/protocol.h"
#include "operations/blank_erase.h"
#include "operations/device_id.h"
#include "sim_fixture.h"

namespace vek::test {
namespace {

const std::string NOT_RESPONDING_TO_BLANK_CHECK =
    "VEK-Flash programmer is not responding to the Blank Check command.";
const std::string COMMUNICATION_FAILED_C3 =
    "Error: Communication with VEK Flash programmer failed. (c3)";

class Operations : public SimTest {
  protected:
    void SetUp() override {
        OpenProgrammer();
        UseTarget(0);
        sim.ClearLogs();
    }
    // The identity check runs inside a transaction.
    void BeginOnSim() {
        ASSERT_TRUE(session.link.SendCommand({CMD_BEGIN, session.CurrentTarget.processorIndex}));
        ASSERT_TRUE(session.link.ReadReply().Is(REPLY_READY));
    }
    void ExpectFlagsCleared() {
        EXPECT_FALSE(session.BusyFlag);
        EXPECT_FALSE(session.LinkInUse);
        EXPECT_EQ(ui.waitDepth, 0);
    }
};

TEST_F(Operations, BlankCheckWireSequenceAndVerdicts) {
    OnBlankCheck(session);
    EXPECT_EQ(ui.messages, std::vector<std::string>{"Device is blank"});
    EXPECT_EQ(HostHex(), Frames({Frame({CMD_BEGIN, 0}), Frame({CMD_BLANK_CHECK, 0, 0x00, 0x04}),
                                 Frame({CMD_END, 0}), Frame({CMD_END, 0})}));
    EXPECT_NE(Join(sim.CallLog()).find("FT_SetTimeouts 15000 15000"), std::string::npos);
    EXPECT_GE(ui.maxWaitDepth, 1);
    ExpectFlagsCleared();

    sim.WriteWord(VEKSIM_PROGRAM, 1023, 0x2805);
    OnBlankCheck(session);
    EXPECT_EQ(ui.messages.back(), "Device is not blank");
    EXPECT_FALSE(sim.InTransaction());
}

TEST_F(Operations, BlankCheckNeverAsksForTheIdAndUsesTheSelectedSize) {
    ASSERT_TRUE(sim.SelectChip("16F877"));
    sim.WriteWord(VEKSIM_PROGRAM, 2000, 0);  // beyond the 16F84A's 1024 words
    OnBlankCheck(session);
    EXPECT_EQ(ui.messages, std::vector<std::string>{"Device is blank"});
    EXPECT_EQ(HostHex().find(Frame({CMD_READ_ID, 0})), std::string::npos);
}

TEST_F(Operations, BlankCheckOfTheLargestChipWaitsForItsLateResult) {
    UseTarget(7);
    OnBlankCheck(session);
    EXPECT_EQ(ui.messages, std::vector<std::string>{"Device is blank"});
}

TEST_F(Operations, ErasePic16WireSequence) {
    sim.WriteWord(VEKSIM_PROGRAM, 5, 0x1234);
    OnErase(session);
    EXPECT_EQ(ui.messages, std::vector<std::string>{"Device is blank"});
    EXPECT_EQ(HostHex(),
              Frames({Frame({CMD_BEGIN, 0}), Frame({CMD_READ_ID, 0}), Frame({CMD_BEGIN, 0}),
                      Frame({CMD_READ_ID, 0}), Frame({CMD_BULK_ERASE, 0}), Frame({CMD_END, 0}),
                      Frame({CMD_BEGIN, 0}), Frame({CMD_BLANK_CHECK, 0, 0x00, 0x04}),
                      Frame({CMD_END, 0}), Frame({CMD_END, 0})}));
    const std::string received = DeviceHex();
    EXPECT_NE(received.find("55 76 76"), std::string::npos) << received;
    EXPECT_EQ(sim.ReadWord(VEKSIM_PROGRAM, 5), 0x3FFF);
    EXPECT_EQ(ui.controls.DevWordText, "560");
    ExpectFlagsCleared();
}

TEST_F(Operations, EraseSxExpectsNoReadyAfterTheEraseFrame) {
    UseTarget(8);
    sim.ClearLogs();
    sim.WriteWord(VEKSIM_PROGRAM, 0, 0x0A5);
    OnErase(session);
    EXPECT_EQ(ui.messages, std::vector<std::string>{"Device is blank"});
    EXPECT_EQ(HostHex(),
              Frames({Frame({CMD_BEGIN, 8}), Frame({CMD_READ_ID, 8}), Frame({CMD_BEGIN, 8}),
                      Frame({CMD_READ_ID, 8}), Frame({CMD_BULK_ERASE, 8}), Frame({CMD_END, 8}),
                      Frame({CMD_BEGIN, 8}), Frame({CMD_BLANK_CHECK, 8, 0x00, 0x08}),
                      Frame({CMD_END, 8}), Frame({CMD_END, 8})}));
    EXPECT_EQ(DeviceHex().find("76 76"), std::string::npos);
    EXPECT_EQ(sim.ReadWord(VEKSIM_PROGRAM, 0), 0x0FFF);
    EXPECT_EQ(ui.controls.DevWordText, "FCE");
}

TEST_F(Operations, AnyCompletionByteCountsAndANotBlankResultIsAVerdict) {
    sim.FaultReply(CMD_BULK_ERASE, 0, 3, VEKSIM_REPLACE, 0x00);
    sim.FaultReply(CMD_BLANK_CHECK, 0, 2, VEKSIM_REPLACE, REPLY_FAIL);
    OnErase(session);
    EXPECT_EQ(ui.messages, std::vector<std::string>{"Device is not blank"});
}

TEST_F(Operations, IdWithRevisionBitsIsAcceptedAndShown) {
    BeginOnSim();
    sim.SetDeviceId(0xF57F);  // the upper nibble of the second byte is not part of the ID
    EXPECT_EQ(ReadDeviceId(session), 0x57F);
    EXPECT_EQ(CheckDeviceId(session), 0);
    EXPECT_EQ(ui.controls.DevWordText, "57F");
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(Operations, WrongChipIsWarnedWithTheTableOfIdsAndStopsErase) {
    ASSERT_TRUE(sim.SelectChip("16F877"));
    sim.SetDeviceId(0x9BF);
    OnErase(session);
    EXPECT_EQ(ui.events, (std::vector<std::string>{
                             "message: " + WrongTargetWarning("16F84A", "9A0"), "pause 4000"}));
    EXPECT_EQ(ui.controls.DevWordText, "9BF");
    EXPECT_EQ(HostHex(), Frames({Frame({CMD_BEGIN, 0}), Frame({CMD_READ_ID, 0})}));
    ExpectFlagsCleared();
}

TEST_F(Operations, SxIdsCompareAllTwelveBits) {
    UseTarget(9);
    BeginOnSim();
    EXPECT_EQ(CheckDeviceId(session), 0);
    sim.SetDeviceId(0x003);
    EXPECT_EQ(CheckDeviceId(session), 1);
    EXPECT_EQ(ui.messages, std::vector<std::string>{WrongTargetWarning("SX48", "003")});
}

TEST_F(Operations, UnreadableIdIsWarnedAsOneOrZeroAndKeepsTheDevWordField) {
    ui.controls.DevWordText = "0000";
    BeginOnSim();
    sim.FailCall("FT_Read", 1);  // the ID bytes, after the frame's acknowledgement
    EXPECT_EQ(CheckDeviceId(session), 1);
    EXPECT_EQ(ui.messages, (std::vector<std::string>{
                               "VEK-Flash programmer is not responding to read processor type "
                               "command.",
                               WrongTargetWarning("16F84A", "000")}));
    EXPECT_EQ(ui.controls.DevWordText, "0000");

    UseTarget(8);
    BeginOnSim();
    ui.messages.clear();
    sim.FailCall("FT_Write", 0);
    EXPECT_EQ(CheckDeviceId(session), 1);
    EXPECT_EQ(ui.messages,
              (std::vector<std::string>{"Driver error writing to VEK Flash. ",
                                        "VEK-Flash programmer is not responding correctly to "
                                        "read processor type command.",
                                        WrongTargetWarning("SX28", "001")}));
}

// One injected fault and the messages the command shows for it.
struct FailureCase {
    const char* code;
    OperationResult (*command)(Session&);
    std::function<void(SimControl&)> inject;
    std::vector<std::string> messages;
    bool fatal;
    int endFrames;  // CMD_END frames the failure path still sends
};

// Reads of an Erase, in order: BEGIN ack 0, ready 1, READ_ID ack 2, ID 3; the erase exchange's
// BEGIN ack 4, ready 5, READ_ID ack 6, ID 7, BULK_ERASE ack 8, ready 9 and 10, completion 11,
// END ack 12; the second BEGIN ack 13, ready 14.
const std::vector<FailureCase>& FailureCases() {
    static const std::vector<FailureCase> cases = {
        {"(129)",
         OnBlankCheck,
         [](SimControl& s) { s.FailCall("FT_Read", 1); },
         {"VEK-Flash programmer is not responding to commands.(129)"},
         false,
         0},
        {"(1b)",
         OnBlankCheck,
         [](SimControl& s) { s.FaultReply(CMD_BEGIN, 0, 1, VEKSIM_REPLACE, 0x00); },
         {FatalMessage("(1b)")},
         true,
         0},
        {"blank check frame",
         OnBlankCheck,
         [](SimControl& s) { s.FailCall("FT_Write", 1); },
         {"Driver error writing to VEK Flash. ", NOT_RESPONDING_TO_BLANK_CHECK},
         false,
         1},
        {"(E1)",
         OnBlankCheck,
         [](SimControl& s) { s.FaultReply(CMD_BLANK_CHECK, 0, 2, VEKSIM_DROP); },
         {"VEK-Flash programmer is not responding to the Blank Check command (E1)",
          NOT_RESPONDING_TO_BLANK_CHECK},
         false,
         1},
        {"(E2)",
         OnBlankCheck,
         [](SimControl& s) { s.FaultReply(CMD_BLANK_CHECK, 0, 2, VEKSIM_REPLACE, 0x76); },
         {"VEK-Flash programmer is not responding correctly to the Blank Check command. (E2)",
          NOT_RESPONDING_TO_BLANK_CHECK},
         false,
         2},
        {"(118)",
         OnErase,
         [](SimControl& s) { s.FailCall("FT_Read", 1); },
         {"VEK-Flash programmer not responding to commands.(118)"},
         false,
         0},
        {"(1a)",
         OnErase,
         [](SimControl& s) { s.FaultReply(CMD_BEGIN, 0, 1, VEKSIM_DROP); },
         {FatalMessage("(1a)")},
         true,
         0},
        {"(120) after BEGIN",
         OnErase,
         [](SimControl& s) { s.FailCall("FT_Read", 5); },
         {"VEK-Flash programmer is not responding to commands.(120)", COMMUNICATION_FAILED_C3},
         false,
         0},
        {"(4)",
         OnErase,
         [](SimControl& s) { s.FaultReply(CMD_BEGIN, 1, 1, VEKSIM_REPLACE, 0x55); },
         {FatalMessage("(4)"), COMMUNICATION_FAILED_C3},
         true,
         0},
        {"erase frame",
         OnErase,
         [](SimControl& s) { s.FailCall("FT_Write", 4); },
         {"Driver error writing to VEK Flash. ", COMMUNICATION_FAILED_C3},
         false,
         0},
        {"(120) after erase",
         OnErase,
         [](SimControl& s) { s.FailCall("FT_Read", 10); },
         {"VEK-Flash programmer is not responding to commands.(120)", COMMUNICATION_FAILED_C3},
         false,
         0},
        {"(14)",
         OnErase,
         [](SimControl& s) { s.FaultReply(CMD_BULK_ERASE, 0, 1, VEKSIM_REPLACE, 0xA5); },
         {FatalMessage("(14)"), COMMUNICATION_FAILED_C3},
         true,
         0},
        {"(114)",
         OnErase,
         [](SimControl& s) { s.FaultReply(CMD_BULK_ERASE, 0, 2, VEKSIM_DROP); },
         {FatalMessage("(114)"), COMMUNICATION_FAILED_C3},
         true,
         0},
        {"(BE1)",
         OnErase,
         [](SimControl& s) { s.FailCall("FT_Read", 11); },
         {"Could not read from device. (BE1)", COMMUNICATION_FAILED_C3},
         false,
         0},
        {"(E5)",
         OnErase,
         [](SimControl& s) { s.FaultReply(CMD_BULK_ERASE, 0, 3, VEKSIM_DROP); },
         {"VEK-Flash programmer is not responding correctly to Erase command. (E5)",
          COMMUNICATION_FAILED_C3},
         false,
         0},
        {"(119)",
         OnErase,
         [](SimControl& s) { s.FailCall("FT_Read", 14); },
         {"VEK-Flash programmer is not responding to commands.(119)"},
         false,
         1},
        {"(2)",
         OnErase,
         [](SimControl& s) { s.FaultReply(CMD_BEGIN, 2, 1, VEKSIM_REPLACE, 0x00); },
         {FatalMessage("(2)")},
         true,
         1},
    };
    return cases;
}

TEST_F(Operations, EveryFailureIsReportedWithItsCodeAndClearsTheFlags) {
    for (const FailureCase& failure : FailureCases()) {
        SCOPED_TRACE(failure.code);
        sim.Reset();
        RecordingUi caseUi;  // a fatal case ends its link for good, so each gets its own
        Session caseSession(caseUi, settings, sim.LibraryPath());
        OpenProgrammer(caseSession);
        caseSession.CurrentTarget = DeviceTable[0];
        failure.inject(sim);
        failure.command(caseSession);
        EXPECT_EQ(caseUi.messages, failure.messages);
        EXPECT_FALSE(caseSession.BusyFlag);
        EXPECT_FALSE(caseSession.LinkInUse);
        EXPECT_EQ(caseUi.waitDepth, 0);
        EXPECT_EQ(caseUi.fatalRequests, failure.fatal ? 1 : 0);
        if (failure.fatal) {
            // The shutdown is asked for right after the fatal message; the command still
            // shows what its own failure path has to say.
            EXPECT_EQ(caseUi.events[1], "fatal shutdown");
        }
        EXPECT_EQ(Count(HostHex(), Frame({CMD_END, 0})), failure.endFrames);
    }
}

TEST_F(Operations, BlankCheckIgnoresTheFirstByteEvenWhenItNeverComes) {
    sim.FaultReply(CMD_BLANK_CHECK, 0, 1, VEKSIM_DROP);
    OnBlankCheck(session);
    EXPECT_EQ(ui.messages, std::vector<std::string>{"Device is blank"});
    // The long time-out applies to the result only, after the ignored byte's read.
    const std::string calls = Join(sim.CallLog());
    const std::size_t raised = calls.find("FT_SetTimeouts 15000 15000");
    ASSERT_NE(raised, std::string::npos);
    EXPECT_NE(calls.rfind("FT_Read 1 -> 0 []", raised), std::string::npos);
}

TEST_F(Operations, UnreadableBlankCheckResultHasNoMessageOfItsOwn) {
    sim.FailCall("FT_Read", 4);  // BEGIN ack, ready, BLANK_CHECK ack, ignored byte, result
    OnBlankCheck(session);
    // The board is still checking when the closing CMD_END goes out; what that frame meets
    // is the link's business. The exchange itself adds nothing to the command's message.
    EXPECT_EQ(ui.messages.front(), NOT_RESPONDING_TO_BLANK_CHECK);
    EXPECT_EQ(Count(HostHex(), Frame({CMD_END, 0})), 1);
}

TEST_F(Operations, FailedBeginFrameShowsOnlyTheLinkMessage) {
    sim.FailCall("FT_Write", 0);
    OnErase(session);
    sim.FailCall("FT_Write", 0);
    OnBlankCheck(session);
    EXPECT_EQ(ui.messages, std::vector<std::string>(2, "Driver error writing to VEK Flash. "));
}

TEST_F(Operations, LateEraseCompletionIsDrainedAfterItsMessage) {
    sim.FaultReply(CMD_BULK_ERASE, 0, 3, VEKSIM_DELAY, 1500);
    OnErase(session);
    EXPECT_EQ(ui.messages.front(),
              "VEK-Flash programmer is not responding correctly to Erase command. (E5)");
    EXPECT_EQ(sim.CallLog().back().rfind("FT_GetQueueStatus", 0), 0u);
    EXPECT_EQ(ui.pauses.front(), 2);
}

TEST_F(Operations, NoProgrammerIsReportedAndLeavesNothingSet) {
    session.Connected = false;
    OnBlankCheck(session);
    OnErase(session);
    EXPECT_EQ(ui.messages, std::vector<std::string>(2, MSG_NO_PROGRAMMER));
    EXPECT_TRUE(sim.CallLog().empty());
    ExpectFlagsCleared();
}

TEST_F(Operations, ASecondOperationDuringARunningOneDoesNothing) {
    int nested = 0;
    ui.onMessage = [&](const std::string&) {
        if (nested++ == 0) {
            sim.ClearLogs();
            OnBlankCheck(session);
            OnErase(session);
            ConnectionPoll(session);  // the timer keeps off the link as well
            EXPECT_TRUE(sim.CallLog().empty());
        }
    };
    OnBlankCheck(session);
    EXPECT_EQ(ui.messages, std::vector<std::string>{"Device is blank"});
    ExpectFlagsCleared();
}

TEST_F(Operations, ASelectionChangeDuringAnOperationLeavesItsTargetAlone) {
    ui.onMessage = [this](const std::string&) {
        ui.selectedRow = 8;
        OnSelectionChanged(session);
    };
    OnBlankCheck(session);
    EXPECT_EQ(HostHex(), Frames({Frame({CMD_BEGIN, 0}), Frame({CMD_BLANK_CHECK, 0, 0x00, 0x04}),
                                 Frame({CMD_END, 0}), Frame({CMD_END, 0})}));
    RefreshCurrentTarget(session);
    EXPECT_EQ(session.CurrentTarget.name, "SX28");  // the next command takes the new choice
}

TEST_F(Operations, AnOperationStartedWhileAControlCommandHoldsTheLinkIsRefused) {
    session.LinkInUse = true;
    OnBlankCheck(session);
    EXPECT_EQ(ui.messages, std::vector<std::string>{MSG_PROGRAMMER_BUSY});
    EXPECT_TRUE(sim.CallLog().empty());
    EXPECT_FALSE(session.BusyFlag);
    EXPECT_TRUE(session.LinkInUse);  // still the control command's
}

}  // namespace
}  // namespace vek::test
