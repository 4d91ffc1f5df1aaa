#include "link/connection.h"

#include "link/link_messages.h"
#include "link/protocol.h"
#include "sim_fixture.h"

namespace vek::test {
namespace {

const std::string MISSING_DRIVER =
    "Error: DLL drivers not found. \n\nDownload the drivers for the VEK-FLASH programmer \nfrom "
    "http://www.vekdesign.com or select Internet|Download Drivers \nif currently connected to "
    "the internet.";

std::vector<std::string> CallNames(const std::vector<std::string>& log) {
    std::vector<std::string> names;
    for (const std::string& line : log) {
        names.push_back(line.substr(0, line.find(' ')));
    }
    return names;
}

class Startup : public SimTest {};

TEST_F(Startup, NormalStartOpensResetsPurgesAndForbidsTargetPower) {
    StartupConnection(session);
    EXPECT_TRUE(session.Connected);
    EXPECT_FALSE(session.LinkInUse);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(ui.pauses, std::vector<int>{50});
    EXPECT_EQ(HostHex(), "02 5F 00 5D");
    EXPECT_EQ(Join(CallNames(sim.CallLog())),
              "FT_ListDevices FT_OpenEx FT_SetLatencyTimer FT_ResetDevice FT_Purge FT_Purge "
              "FT_SetTimeouts FT_Write FT_Read FT_SetTimeouts");
    EXPECT_EQ(sim.CallLog()[2], "FT_SetLatencyTimer 2 -> 0");
    EXPECT_EQ(sim.CallLog().back().rfind("FT_SetTimeouts 1000 1000", 0), 0u);
    EXPECT_EQ(sim.PowerState(), 0);
}

TEST_F(Startup, ADriverWithoutTheLatencyTimerStartsAsBefore) {
    Session older(ui, settings, VEK_SIM_WITHOUT_LATENCY_TIMER);
    StartupConnection(older);
    EXPECT_TRUE(older.Connected);
    EXPECT_TRUE(older.link.IsBound());
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(Join(CallNames(sim.CallLog())),
              "FT_ListDevices FT_OpenEx FT_ResetDevice FT_Purge FT_Purge FT_SetTimeouts "
              "FT_Write FT_Read FT_SetTimeouts");
    EXPECT_EQ(HostHex(), "02 5F 00 5D");
}

TEST_F(Startup, ARefusedLatencyTimerIsIgnored) {
    sim.FailCall("FT_SetLatencyTimer", -1);
    StartupConnection(session);
    EXPECT_TRUE(session.Connected);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(sim.CallLog()[2], "FT_SetLatencyTimer 2 -> 4");
}

TEST_F(Startup, WithoutTheLibraryOnlyTheDriverMessageShows) {
    Session noDriver(ui, settings, "/nonexistent/libftd2xx.so");
    StartupConnection(noDriver);
    EXPECT_FALSE(noDriver.Connected);
    EXPECT_FALSE(noDriver.LinkInUse);
    EXPECT_EQ(ui.messages, std::vector<std::string>{MISSING_DRIVER});

    // The poll neither reconnects nor reports the empty entries on every tick.
    ConnectionPoll(noDriver);
    ConnectionPoll(noDriver);
    EXPECT_EQ(ui.messages.size(), 1u);
}

TEST_F(Startup, LibraryMissingAFunctionShowsTwoMessages) {
    Session partial(ui, settings, VEK_STUB_WITHOUT_FT_OPEN);
    StartupConnection(partial);
    EXPECT_FALSE(partial.Connected);
    EXPECT_EQ(ui.messages, (std::vector<std::string>{"Error: Can't Find FT_Open", MISSING_DRIVER}));
    ConnectionPoll(partial);
    EXPECT_EQ(ui.messages.size(), 2u);
}

TEST_F(Startup, NoDeviceOrAFailedOpenIsReportedAndLeavesItUnconnected) {
    sim.SetAttached(false);
    StartupConnection(session);
    EXPECT_FALSE(session.Connected);
    sim.SetAttached(true);
    sim.SetOpenFails(true);
    StartupConnection(session);
    EXPECT_FALSE(session.Connected);
    EXPECT_EQ(ui.messages, (std::vector<std::string>{MSG_UNABLE_TO_DETECT, MSG_COULD_NOT_OPEN}));
    EXPECT_TRUE(sim.HostBytes().empty());
}

TEST_F(Startup, FailedFirstExchangeIsRetriedOnceAfter50Ms) {
    sim.FailCall("FT_Write", 0);
    StartupConnection(session);
    EXPECT_EQ(ui.messages, std::vector<std::string>{"Driver error writing to VEK Flash. "});
    EXPECT_EQ(ui.pauses, (std::vector<int>{50, 50}));
    EXPECT_TRUE(session.Connected);

    sim.Reset();
    ui.messages.clear();
    sim.FailCall("FT_Write", -1);
    ui.onMessage = [this](const std::string&) { EXPECT_TRUE(session.LinkInUse); };
    StartupConnection(session);
    EXPECT_EQ(ui.messages,
              (std::vector<std::string>{
                  "Driver error writing to VEK Flash. ", "Driver error writing to VEK Flash. ",
                  "Error: Unable to enable programming power on Flash programmer."}));
    EXPECT_TRUE(session.Connected);
    EXPECT_EQ(sim.CallLog().back().rfind("FT_SetTimeouts 1000 1000", 0), 0u);
}

TEST_F(Startup, AWrongFirstAcknowledgementEndsItWithoutFurtherMessages) {
    sim.FaultReply(CMD_ALLOW_POWER, 0, 0, VEKSIM_REPLACE, 0x00);
    StartupConnection(session);
    EXPECT_EQ(ui.messages, std::vector<std::string>{FatalMessage("(1f)")});
    EXPECT_EQ(ui.fatalRequests, 1);
    EXPECT_FALSE(session.LinkInUse);
}

// Every way of opening the programmer: at start-up, by a reconnection and by Connect.
class Opens : public SimTest {
  protected:
    std::vector<std::string> OpenAndLatencyCalls() {
        StartupConnection(session);
        sim.SetOpenFails(true);
        Connect(session);  // fails, which leaves the reconnection to the poll
        sim.SetOpenFails(false);
        ConnectionPoll(session);
        Connect(session);
        EXPECT_TRUE(session.Connected);
        std::vector<std::string> calls;
        for (const std::string& call : sim.CallLog()) {
            if (call.starts_with("FT_OpenEx") || call.starts_with("FT_SetLatencyTimer")) {
                calls.push_back(call);
            }
        }
        return calls;
    }
};

TEST_F(Opens, FastTransfersShortenTheLatencyTimerAfterEachOpenAndPerWordNever) {
    EXPECT_TRUE(session.link.FastTransfers());
    EXPECT_EQ(
        OpenAndLatencyCalls(),
        (std::vector<std::string>{"FT_OpenEx \"VEK Flash\" 2 -> 0", "FT_SetLatencyTimer 2 -> 0",
                                  "FT_OpenEx \"VEK Flash\" 2 -> 3",
                                  "FT_OpenEx \"VEK Flash\" 2 -> 0", "FT_SetLatencyTimer 2 -> 0",
                                  "FT_OpenEx \"VEK Flash\" 2 -> 0", "FT_SetLatencyTimer 2 -> 0"}));

    sim.Reset();
    session.link.SetFastTransfers(false);
    EXPECT_EQ(OpenAndLatencyCalls(),
              (std::vector<std::string>{
                  "FT_OpenEx \"VEK Flash\" 2 -> 0", "FT_OpenEx \"VEK Flash\" 2 -> 3",
                  "FT_OpenEx \"VEK Flash\" 2 -> 0", "FT_OpenEx \"VEK Flash\" 2 -> 0"}));
}

class Poll : public SimTest {};

TEST_F(Poll, ReconnectsSilentlyThenSaysReadyOnceWithTheTimerStopped) {
    sim.SetAttached(false);
    StartupConnection(session);
    ui.messages.clear();
    ConnectionPoll(session);
    ConnectionPoll(session);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_FALSE(session.Connected);

    sim.SetAttached(true);
    ui.events.clear();
    sim.ClearLogs();
    ui.onMessage = [this](const std::string&) { EXPECT_FALSE(session.Connected); };
    ConnectionPoll(session);
    ui.onMessage = nullptr;
    EXPECT_TRUE(session.Connected);
    EXPECT_EQ(Join(CallNames(sim.CallLog())),
              "FT_Close FT_ResetDevice FT_ListDevices FT_OpenEx FT_SetLatencyTimer");
    EXPECT_EQ(ui.events,
              (std::vector<std::string>{
                  "timer off", "message: " + std::string(MSG_PROGRAMMER_READY), "timer on"}));
    ConnectionPoll(session);
    ConnectionPoll(session);
    EXPECT_EQ(ui.messages, std::vector<std::string>{MSG_PROGRAMMER_READY});
    EXPECT_EQ(ui.fatalRequests, 0);
}

TEST_F(Poll, VanishedProgrammerEndsTheApplicationWithoutAMessage) {
    StartupConnection(session);
    sim.UnplugAfterCalls(0);
    sim.ClearLogs();
    ConnectionPoll(session);
    EXPECT_EQ(ui.fatalRequests, 1);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(Join(CallNames(sim.CallLog())), "FT_GetQueueStatus FT_Close");
}

TEST_F(Poll, StaysOffTheLinkWhileItIsInUse) {
    StartupConnection(session);
    sim.ClearLogs();
    session.LinkInUse = true;
    sim.UnplugAfterCalls(0);
    ConnectionPoll(session);
    EXPECT_TRUE(sim.CallLog().empty());
    EXPECT_EQ(ui.fatalRequests, 0);
}

class Control : public SimTest {
  protected:
    void SetUp() override {
        StartupConnection(session);
        sim.ClearLogs();
        ui.messages.clear();
    }
    bool itemChecked = false;
    std::function<void(bool)> setItemChecked = [this](bool checked) {
        itemChecked = checked;
        // The mark flips before any byte goes out, with the poll already kept off the link.
        EXPECT_TRUE(sim.HostBytes().empty());
        EXPECT_TRUE(session.LinkInUse);
    };
};

TEST_F(Control, ConnectReopensOrExplainsThatNothingIsAttached) {
    Connect(session);
    EXPECT_EQ(ui.messages, std::vector<std::string>{MSG_PROGRAMMER_READY});
    EXPECT_EQ(Join(CallNames(sim.CallLog())),
              "FT_Close FT_ListDevices FT_OpenEx FT_SetLatencyTimer");

    sim.SetAttached(false);
    ui.onMessage = [this](const std::string&) { EXPECT_FALSE(session.Connected); };
    Connect(session);
    EXPECT_FALSE(session.Connected);
    ui.onMessage = nullptr;
    Connect(session);
    EXPECT_EQ(ui.messages, (std::vector<std::string>{MSG_PROGRAMMER_READY, MSG_UNABLE_TO_DETECT,
                                                     MSG_NO_PROGRAMMER}));
}

TEST_F(Control, TestCommunicationSendsTheTestFrame) {
    TestCommunication(session);
    EXPECT_EQ(HostHex(), "04 50 C9 01 FF 63");
    EXPECT_EQ(ui.messages, std::vector<std::string>{MSG_PROGRAMMER_READY});

    session.Connected = false;
    sim.ClearLogs();
    TestCommunication(session);
    EXPECT_TRUE(sim.HostBytes().empty());
    EXPECT_EQ(ui.messages.back(), MSG_NO_PROGRAMMER);
}

TEST_F(Control, PowerIsSwitchedOnlyAfterItWasAllowed) {
    ApplyTargetPowerNow(session);
    EXPECT_TRUE(sim.HostBytes().empty());
    EXPECT_EQ(ui.messages.back(),
              "You must first allow target power from the VEK Flash programmer via the Setup "
              "menu.");

    AllowTargetPower(session, itemChecked, setItemChecked);
    EXPECT_TRUE(itemChecked);
    EXPECT_TRUE(session.PowerAllowed);
    EXPECT_EQ(HostHex(), "02 5F 01 5C");

    sim.ClearLogs();
    ui.onMessage = [this](const std::string&) { EXPECT_EQ(sim.PowerState(), 3); };
    ApplyTargetPowerNow(session);
    ui.onMessage = nullptr;
    EXPECT_EQ(ui.messages.back(), "Click OK to turn target power off.");
    EXPECT_EQ(HostHex(), "01 5D 5C 01 5E 5F");
    EXPECT_EQ(sim.PowerState(), 1);

    sim.ClearLogs();
    AllowTargetPower(session, itemChecked, setItemChecked);
    EXPECT_FALSE(itemChecked);
    EXPECT_FALSE(session.PowerAllowed);
    EXPECT_EQ(HostHex(), "02 5F 00 5D");
    EXPECT_FALSE(session.LinkInUse);
}

TEST_F(Control, AllowTargetPowerWithoutAnswerEndsTheApplication) {
    sim.FailCall("FT_Write", 0);
    AllowTargetPower(session, itemChecked, setItemChecked);
    EXPECT_EQ(ui.messages, (std::vector<std::string>{"Driver error writing to VEK Flash. ",
                                                     FatalMessage("(1f)")}));
    EXPECT_EQ(ui.fatalRequests, 1);
    EXPECT_FALSE(session.LinkInUse);
}

TEST_F(Control, AllowTargetPowerWithAWrongAcknowledgementSaysSoOnce) {
    sim.FaultReply(CMD_ALLOW_POWER, 0, 0, VEKSIM_REPLACE, 0x00);
    AllowTargetPower(session, itemChecked, setItemChecked);
    EXPECT_EQ(ui.messages, std::vector<std::string>{FatalMessage("(1f)")});
    EXPECT_EQ(ui.fatalRequests, 1);
    EXPECT_EQ(Join(sim.CallLog()).find("FT_Close -> 1"), std::string::npos);
}

TEST_F(Control, FailedExchangesEndTheCommandQuietly) {
    sim.FailCall("FT_Write", 0);
    TestCommunication(session);
    EXPECT_EQ(ui.messages, std::vector<std::string>{"Driver error writing to VEK Flash. "});

    session.PowerAllowed = true;
    sim.ClearLogs();
    sim.FailCall("FT_Write", 0);
    ApplyTargetPowerNow(session);
    EXPECT_EQ(ui.messages.back(), "Driver error writing to VEK Flash. ");
    EXPECT_EQ(ui.messages.size(), 2u);  // target power was never on, so nothing to switch off
    EXPECT_TRUE(sim.HostBytes().empty());
}

TEST_F(Control, ConnectThatCannotOpenClearsTheConnection) {
    sim.SetOpenFails(true);
    Connect(session);
    EXPECT_FALSE(session.Connected);
    EXPECT_EQ(ui.messages, std::vector<std::string>{MSG_COULD_NOT_OPEN});
}

TEST_F(Control, CommandsAreRefusedWhileAnOperationHoldsTheLink) {
    session.LinkInUse = true;
    session.PowerAllowed = true;
    Connect(session);
    TestCommunication(session);
    AllowTargetPower(session, itemChecked, setItemChecked);
    ApplyTargetPowerNow(session);
    EXPECT_TRUE(sim.CallLog().empty());
    EXPECT_FALSE(itemChecked);
    EXPECT_EQ(ui.messages, std::vector<std::string>(4, MSG_PROGRAMMER_BUSY));
    EXPECT_TRUE(session.LinkInUse);
}

}  // namespace
}  // namespace vek::test
