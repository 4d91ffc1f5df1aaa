// Binding the D2XX library, start-up, the connection poll and the control commands of the
// Setup menu; then command frames, words and blocks on the wire, and the link's answers to a
// programmer that does not reply as it must.
#include "session/connection.h"

#include <array>
#include <cstdlib>

#include "environment.h"
#include "link/attached_boards.h"
#include "link/programmer_link.h"
#include "link/protocol.h"
#include "sim_fixture.h"

namespace vek::test {
namespace {

const std::string MISSING_DRIVER =
    "Error: DLL drivers not found. \n\nDownload the drivers for the VEK-FLASH programmer \nfrom "
    "http://www.vekdesign.com or select Internet|Download Drivers \nif currently connected to "
    "the internet.";
const std::string READY = "VEK Flash programmer ready.";
const std::string UNABLE_TO_DETECT = "Error: Unable to detect presence of VEK Flash programmer.";
const std::string COULD_NOT_OPEN = "Error: Could not open VEK Flash programmer.";
const std::string STARTUP_CALLS =
    "FT_ListDevices FT_OpenEx FT_SetLatencyTimer FT_ResetDevice FT_Purge FT_Purge FT_SetTimeouts "
    "FT_Write FT_Read FT_SetTimeouts";

// The D2XX calls by name, in order.
std::string CallNames(const std::vector<std::string>& log) {
    std::vector<std::string> names;
    for (const std::string& line : log) {
        names.push_back(line.substr(0, line.find(' ')));
    }
    return Join(names);
}

const std::string WITHOUT_LATENCY_TIMER =
    "FT_ListDevices FT_OpenEx FT_ResetDevice FT_Purge FT_Purge FT_SetTimeouts FT_Write FT_Read "
    "FT_SetTimeouts";
const char* const SIM = nullptr;
const Injection DETACHED = [](SimControl& s) { s.SetAttached(false); };
const Injection OPEN_FAILS = [](SimControl& s) { s.SetOpenFails(true); };
const Injection LATENCY_REFUSED = [](SimControl& s) { s.FailCall("FT_SetLatencyTimer", -1); };
const Injection WRITES_FAIL = [](SimControl& s) { s.FailCall("FT_Write", -1); };

// Every wrapper, called on whatever entries the binding left.
void CallEveryWrapper(ProgrammerLink& link) {
    std::uint8_t buffer[2] = {0, 0};
    std::uint32_t count = 0;
    std::int32_t boards = 0;
    link.Write(buffer, count);
    link.Read({buffer, 1}, count);
    link.Open(BoardWithDescription("VEK Flash"));
    link.CountBoards("VEK Flash", boards);
    link.Close();
    link.Reset();
    link.Purge();
    link.SetTimeouts(1000, 1000);
    link.Queued(count);
}

std::vector<std::string> NotValid(std::initializer_list<const char*> entries) {
    std::vector<std::string> messages;
    for (const char* entry : entries) {
        messages.push_back(std::string(entry) + " is not valid!");
    }
    return messages;
}

TEST(Binding, AMissingEntryFailsTheBindingAndEveryUnboundWrapperReportsItself) {
    struct Case {
        const char* library;
        std::vector<std::string> bindMessages;
        std::vector<std::string> wrapperMessages;
    };
    const Case cases[] = {
        // No library at all fails silently: start-up says so in its own words.
        {"/nonexistent/libftd2xx.so",
         {},
         NotValid({"FT_Write", "FT_Read", "FT_OpenEx", "FT_ListDevices", "FT_Close",
                   "FT_ResetDevice", "FT_Purge", "FT_SetTimeouts", "FT_GetQueueStatus"})},
        // FT_Open is never called, yet the driver must have it; the two entries bound before
        // it stay usable.
        {VEK_SIM_WITHOUT_FT_OPEN,
         {"Error: Can't Find FT_Open"},
         NotValid({"FT_OpenEx", "FT_ListDevices", "FT_Close", "FT_ResetDevice", "FT_Purge",
                   "FT_SetTimeouts", "FT_GetQueueStatus"})},
        {VEK_SIM_WITHOUT_FT_GETQUEUESTATUS,
         {"Error: Can't Find FT_GetQueueStatus"},
         NotValid({"FT_GetQueueStatus"})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.library);
        RecordingReporter ui;
        ProgrammerLink link(ui, D2xxFrom(c.library));
        link.ChooseDriver("d2xx");  // D2XX's own failures, no fallback
        EXPECT_FALSE(link.Bind());
        EXPECT_FALSE(link.IsBound());
        EXPECT_EQ(ui.messages, c.bindMessages);
        ui.messages.clear();
        CallEveryWrapper(link);
        EXPECT_EQ(ui.messages, c.wrapperMessages);
        std::uint32_t count = 0;
        EXPECT_EQ(link.Queued(count), UsbStatus::Unavailable);  // an unbound entry is no success
    }
}

class Startup : public SimTest {};

TEST_F(Startup, OpensResetsPurgesAndForbidsTargetPowerOrSaysWhyNot) {
    struct Case {
        const char* library;  // SIM: the simulator
        Injection inject;
        std::vector<std::string> messages;
        bool connected;
        std::string calls = "";  // by name, when the row is about them
        std::vector<int> pauses = {50};
    };
    const std::string noPower = "Error: Unable to enable programming power on Flash programmer.";
    const std::string noFtOpen = "Error: Can't Find FT_Open";
    const Case cases[] = {
        {SIM, NOTHING, {}, true, STARTUP_CALLS},
        {VEK_SIM_WITHOUT_FT_SETLATENCYTIMER, NOTHING, {}, true, WITHOUT_LATENCY_TIMER},
        {SIM, LATENCY_REFUSED, {}, true, STARTUP_CALLS},
        {"/nonexistent/libftd2xx.so", NOTHING, {MISSING_DRIVER}, false, "", {}},
        {VEK_SIM_WITHOUT_FT_OPEN, NOTHING, {noFtOpen, MISSING_DRIVER}, false, "", {}},
        {SIM, DETACHED, {UNABLE_TO_DETECT}, false, "", {}},
        {SIM, OPEN_FAILS, {COULD_NOT_OPEN}, false, "", {}},
        // The first exchange is tried once more after 50 ms.
        {SIM, FailWrite(0), {DRIVER_ERROR}, true, "", {50, 50}},
        {SIM, WRITES_FAIL, {DRIVER_ERROR, DRIVER_ERROR, noPower}, true, "", {50, 50}},
        {SIM, FaultReply(CMD_ALLOW_POWER, 0, VEKSIM_REPLACE, 0x00), {FATAL_1F}, true},
    };
    for (std::size_t row = 0; row < std::size(cases); ++row) {
        const Case& c = cases[row];
        SCOPED_TRACE(row);
        Bench bench;
        Programmer programmer(bench.ui, D2xxFrom(c.library ? c.library : bench.sim.LibraryPath()));
        programmer.link.ChooseDriver("d2xx");  // D2XX's own failures, no fallback
        c.inject(bench.sim);
        bench.ui.onMessage = [&](const std::string&) { EXPECT_TRUE(programmer.LinkInUse); };
        StartupConnection(programmer);
        EXPECT_EQ(bench.ui.messages, c.messages);
        EXPECT_EQ(programmer.Connected, c.connected);
        EXPECT_FALSE(programmer.LinkInUse);
        const bool fatal = c.messages == std::vector{FATAL_1F};
        EXPECT_EQ(programmer.link.IsShutDown(), fatal);
        if (!fatal) {
            EXPECT_EQ(bench.ui.pauses, c.pauses);
        }
        EXPECT_EQ(bench.sim.PowerState(), 0);
        if (!c.calls.empty()) {
            EXPECT_EQ(CallNames(bench.sim.CallLog()), c.calls);
            EXPECT_EQ(bench.HostHex(), "02 5F 00 5D");
        }
        if (c.connected) {
            EXPECT_EQ(bench.sim.CallLog().back().rfind("FT_SetTimeouts 1000 1000", 0), 0u);
            continue;
        }
        EXPECT_TRUE(bench.sim.HostBytes().empty());
        // The poll neither reports its own failures nor the empty entries on every tick.
        bench.ui.onMessage = nullptr;
        ConnectionPoll(programmer);
        ConnectionPoll(programmer);
        EXPECT_EQ(bench.ui.messages, c.messages);
    }
}

// With fast transfers every open shortens the latency timer (the call names of start-up, Connect
// and the poll's reconnection show it); transferring word by word leaves it alone.
TEST_F(Startup, PerWordTransfersNeverShortenTheLatencyTimer) {
    programmer.link.SetFastTransfers(false);
    StartupConnection(programmer);
    Connect(programmer);
    sim.SetAttached(false);
    Connect(programmer);
    sim.SetAttached(true);
    ConnectionPoll(programmer);
    EXPECT_TRUE(programmer.Connected);
    const std::string calls = Join(sim.CallLog());
    EXPECT_EQ(Count(calls, "FT_OpenEx \"VEK Flash\" 2 -> 0"), 3);
    EXPECT_EQ(calls.find("FT_SetLatencyTimer"), std::string::npos);
}

class Control : public SimTest {
  protected:
    void SetUp() override {
        StartupConnection(programmer);
        sim.ClearLogs();
        ui.messages.clear();
    }
    bool itemChecked = false;
    std::function<void(bool)> setItemChecked = [this](bool checked) {
        itemChecked = checked;
        // The mark flips before any byte goes out, with the poll already kept off the link.
        EXPECT_TRUE(sim.HostBytes().empty());
        EXPECT_TRUE(programmer.LinkInUse);
    };
};

TEST_F(Control, ConnectReopensOrSaysWhyNotAndThePollReconnects) {
    Connect(programmer);
    EXPECT_EQ(CallNames(sim.CallLog()), "FT_Close FT_ListDevices FT_OpenEx FT_SetLatencyTimer");
    // Cleared before each message, so that a tick meanwhile reconnects instead of failing.
    ui.onMessage = [this](const std::string&) { EXPECT_FALSE(programmer.Connected); };
    sim.SetAttached(false);
    Connect(programmer);
    ConnectionPoll(programmer);  // silent while nothing is attached
    Connect(programmer);
    sim.SetAttached(true);
    sim.ClearLogs();
    ui.events.clear();
    ConnectionPoll(programmer);
    EXPECT_EQ(CallNames(sim.CallLog()),
              "FT_Close FT_ResetDevice FT_ListDevices FT_OpenEx FT_SetLatencyTimer");
    EXPECT_EQ(ui.events, std::vector<std::string>{"message: " + READY});
    EXPECT_TRUE(programmer.Connected);
    ConnectionPoll(programmer);
    sim.SetOpenFails(true);
    Connect(programmer);
    EXPECT_FALSE(programmer.Connected);
    EXPECT_EQ(ui.messages, (std::vector<std::string>{READY, UNABLE_TO_DETECT, NO_PROGRAMMER, READY,
                                                     COULD_NOT_OPEN}));
    EXPECT_FALSE(programmer.link.IsShutDown());
}

TEST_F(Control, ThePollStaysOffALinkInUseAndEndsTheApplicationSilentlyWhenTheProgrammerIsGone) {
    sim.UnplugAfterCalls(0);
    programmer.LinkInUse = true;
    ConnectionPoll(programmer);
    EXPECT_TRUE(sim.CallLog().empty());
    EXPECT_FALSE(programmer.link.IsShutDown());

    programmer.LinkInUse = false;
    ConnectionPoll(programmer);
    EXPECT_TRUE(programmer.link.IsShutDown());
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(CallNames(sim.CallLog()), "FT_GetQueueStatus FT_Close");
}

TEST_F(Control, TestCommunicationSendsTheTestFrame) {
    TestCommunication(programmer);
    EXPECT_EQ(HostHex(), "04 50 C9 01 FF 63");
    EXPECT_EQ(ui.messages, std::vector<std::string>{READY});
}

TEST_F(Control, PowerIsSwitchedOnlyAfterItWasAllowed) {
    ApplyTargetPowerNow(programmer);
    EXPECT_TRUE(sim.HostBytes().empty());
    ASSERT_FALSE(ui.messages.empty());
    EXPECT_EQ(ui.messages.back(),
              "You must first allow target power from the VEK Flash programmer via the Setup "
              "menu.");

    AllowTargetPower(programmer, itemChecked, setItemChecked);
    EXPECT_TRUE(itemChecked);
    EXPECT_TRUE(programmer.PowerAllowed);
    EXPECT_EQ(HostHex(), "02 5F 01 5C");

    sim.ClearLogs();
    ui.onMessage = [this](const std::string&) { EXPECT_EQ(sim.PowerState(), 3); };
    ApplyTargetPowerNow(programmer);
    ui.onMessage = nullptr;
    ASSERT_FALSE(ui.messages.empty());
    EXPECT_EQ(ui.messages.back(), "Click OK to turn target power off.");
    EXPECT_EQ(HostHex(), "01 5D 5C 01 5E 5F");
    EXPECT_EQ(sim.PowerState(), 1);

    sim.ClearLogs();
    AllowTargetPower(programmer, itemChecked, setItemChecked);
    EXPECT_FALSE(itemChecked);
    EXPECT_FALSE(programmer.PowerAllowed);
    EXPECT_EQ(HostHex(), "02 5F 00 5D");
    EXPECT_FALSE(programmer.LinkInUse);
}

TEST_F(Control, AllowTargetPowerWithoutItsAcknowledgementEndsTheApplication) {
    const std::pair<Injection, std::vector<std::string>> cases[] = {
        {FailWrite(0), {DRIVER_ERROR, FATAL_1F}},
        {FaultReply(CMD_ALLOW_POWER, 0, VEKSIM_REPLACE, 0x00), {FATAL_1F}},
    };
    for (const auto& [inject, messages] : cases) {
        Bench bench;
        StartupConnection(bench.programmer);
        inject(bench.sim);
        AllowTargetPower(bench.programmer, itemChecked, [](bool) {});
        EXPECT_EQ(bench.ui.messages, messages);
        EXPECT_TRUE(bench.programmer.link.IsShutDown());
        EXPECT_FALSE(bench.programmer.LinkInUse);
    }
}

// Two boards of the simulator, with serial numbers and chips of their own.
class SeveralBoards : public ::testing::Test {
  protected:
    SeveralBoards() { SetEnvironment("VEKSIM_BOARDS", "A1:16F877;B2:SX28"); }
    ~SeveralBoards() override {
        RemoveEnvironment("VEKSIM_BOARDS");
        SimControl::Get().Reset();
    }
};

TEST_F(SeveralBoards, AreListedAndTheChosenOneIsOpenedByItsSerialNumber) {
    struct Case {
        std::string serial;
        std::string openCall;
        std::vector<std::string> messages;
        bool connected;
    };
    const Case cases[] = {
        {"", "FT_OpenEx \"VEK Flash\" 2 -> 0", {}, true},
        {"B2", "FT_OpenEx \"B2\" 1 -> 0", {}, true},
        {"C3", "FT_OpenEx \"C3\" 1 -> 2", {COULD_NOT_OPEN}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.serial);
        Bench bench;
        bench.programmer.BoardSerial = c.serial;
        StartupConnection(bench.programmer);
        EXPECT_EQ(bench.ui.messages, c.messages);
        EXPECT_EQ(bench.programmer.Connected, c.connected);
        const std::vector<std::string> log = bench.sim.CallLog();
        EXPECT_EQ(log.at(1), c.openCall);

        // Listing works whether a board is open or not.
        EXPECT_EQ(ListAttachedBoards(bench.programmer.link),
                  (std::vector<AttachedBoard>{{0, "A1", "VEK Flash", "d2xx"},
                                              {1, "B2", "VEK Flash", "d2xx"}}));
    }
}

TEST_F(SeveralBoards, NoneAreListedWhenDetachedOrUnbound) {
    Bench bench;
    EXPECT_TRUE(ListAttachedBoards(bench.programmer.link).empty());  // not bound yet
    ASSERT_TRUE(bench.programmer.link.Bind());
    bench.sim.SetAttached(false);
    EXPECT_TRUE(ListAttachedBoards(bench.programmer.link).empty());
    EXPECT_TRUE(bench.ui.messages.empty());
    EXPECT_EQ(SerialNumbers({}), "none");
    EXPECT_EQ(SerialNumbers({{0, "A1", "", ""}, {3, "B2", "", ""}}), "A1, B2");
}

const std::string T16 = "Error: Could not write to VEK Flash programmer.(T16)";

using Protocol = OpenedSimTest;

TEST_F(Protocol, SendCommandPurgesAndSetsTimeoutsBeforeWritingThenReadsOneByte) {
    ASSERT_TRUE(programmer.link.SendCommand({CMD_END, 0}));
    const std::vector<std::string> calls = sim.CallLog();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0].rfind("FT_Purge 1", 0), 0u) << calls[0];
    EXPECT_EQ(calls[1].rfind("FT_SetTimeouts 1000 1000", 0), 0u) << calls[1];
    EXPECT_EQ(calls[2].rfind("FT_Write 02 54 00 56", 0), 0u) << calls[2];
    EXPECT_EQ(calls[3].rfind("FT_Read 1", 0), 0u) << calls[3];
}

TEST_F(Protocol, AnAcknowledgementThatIsNotThereIsFatalAndAFailedCallIsNot) {
    const Injection dropped = FaultReply(CMD_TEST, 0, VEKSIM_DROP);
    // Purged before the frame goes out, so it never counts as the acknowledgement.
    const Injection staleOnly = [dropped](SimControl& s) {
        s.InjectStrayBytes({0x55});
        dropped(s);
    };
    const std::pair<Injection, std::string> cases[] = {
        {FaultReply(CMD_TEST, 0, VEKSIM_REPLACE, 0x56), FATAL_1F},
        {dropped, FATAL_1F},
        {staleOnly, FATAL_1F},
        {FailWrite(0), DRIVER_ERROR},
        {FailRead(0), "VEK-Flash programmer not responding to commands.(139)"},
    };
    for (const auto& [inject, message] : cases) {
        SCOPED_TRACE(message);
        Bench bench(0);
        inject(bench.sim);
        EXPECT_FALSE(bench.programmer.link.SendCommand({CMD_TEST, 0xC9, 0x01, 0xFF}));
        EXPECT_EQ(bench.ui.messages, std::vector<std::string>{message});
        const bool fatal = message == FATAL_1F;
        EXPECT_EQ(bench.programmer.link.IsShutDown(), fatal);
        EXPECT_EQ(bench.sim.CallLog().back().starts_with("FT_Close -> 0"), fatal);
    }
}

// Address 0x2100, then words whose bits above 15 must not travel.
std::array<std::int32_t, 32> BlockOfWords() {
    std::array<std::int32_t, 32> words{};
    for (int k = 0; k < 32; ++k) {
        words[k] = 0x0101 * k;
    }
    words[0] = 0x7F3FF2;
    words[31] = -3;
    return words;
}

TEST_F(Protocol, ABlockIsTheSameBytesInOneWriteOrInOneWritePerWord) {
    for (const auto& [fast, writes] : {std::pair{true, 1}, std::pair{false, 33}}) {
        SCOPED_TRACE(fast);
        sim.ClearLogs();
        sim.ResetCounters();
        programmer.link.SetFastTransfers(fast);
        EXPECT_EQ(programmer.link.FastTransfers(), fast);
        programmer.link.SendBlock(0x2100, BlockOfWords());
        EXPECT_EQ(HostHex(),
                  "00 21 F2 3F 01 01 02 02 03 03 04 04 05 05 06 06 07 07 08 08 09 09 0A 0A 0B 0B "
                  "0C 0C 0D 0D 0E 0E 0F 0F 10 10 11 11 12 12 13 13 14 14 15 15 16 16 17 17 18 18 "
                  "19 19 1A 1A 1B 1B 1C 1C 1D 1D 1E 1E FD FF");
        EXPECT_EQ(sim.GetCounters().writeCalls, static_cast<unsigned>(writes));
        EXPECT_EQ(sim.CallLog().size(), static_cast<std::size_t>(writes));
    }
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(Protocol, AFailedBlockWriteIsReportedOnceAndEveryFailedWordByItself) {
    sim.FailCall("FT_Write", 0);
    programmer.link.SendBlock(0x0020, BlockOfWords());
    EXPECT_EQ(ui.messages, std::vector<std::string>{T16});
    EXPECT_TRUE(sim.HostBytes().empty());

    ui.messages.clear();
    programmer.link.SetFastTransfers(false);
    sim.FailCall("FT_Write", 0);
    sim.FailCall("FT_Write", 4);
    programmer.link.SendBlock(0x0020, BlockOfWords());
    EXPECT_EQ(ui.messages, (std::vector<std::string>{T16, T16}));
    EXPECT_EQ(sim.HostBytes().size(), 62u);  // the other 31 words went out
    EXPECT_FALSE(programmer.link.IsShutDown());
}

TEST_F(Protocol, DrainInputEmptiesTheQueueAndEndsWhenTheDeviceIsGone) {
    sim.InjectStrayBytes(std::vector<std::uint8_t>(300, 0x42));
    programmer.link.DrainInput();
    std::uint32_t waiting = 99;
    EXPECT_EQ(programmer.link.Queued(waiting), UsbStatus::Ok);
    EXPECT_EQ(waiting, 0u);
    ASSERT_FALSE(ui.pauses.empty());
    EXPECT_EQ(ui.pauses.front(), 2);

    ui.pauses.clear();
    sim.InjectStrayBytes({1, 2, 3});
    sim.FailCall("FT_GetQueueStatus", -1);
    programmer.link.DrainInput();  // must return rather than spin
    EXPECT_EQ(ui.pauses.size(), 1u);
}

}  // namespace
}  // namespace vek::test
