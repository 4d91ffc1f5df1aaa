// The scripted socket of VEKSIM_SOCKET: chips and empty intervals in turn, the script's time
// running on the host's ID reads.
#include <csignal>

#include "environment.h"
#include "sim_host.h"

namespace vek::test {
namespace {

volatile std::sig_atomic_t interrupted = 0;

class Socket : public SimulatorTest {
  protected:
    void TearDown() override { RemoveEnvironment("VEKSIM_SOCKET"); }
    void Script(const std::string& script) {
        SetEnvironment("VEKSIM_SOCKET", script);
        Restart();
    }
    // One poll of a waiting host: the ID read in a transaction of its own.
    std::string Poll() {
        EXPECT_EQ(host.Command({CMD_BEGIN, 0}, 2), "55 76");
        const std::string id = host.Command({CMD_READ_ID, 0}, 3).substr(3);
        EXPECT_EQ(host.Command({CMD_END, 0}, 1), "55");
        return id;
    }
    // Anything but an ID read: a bulk erase, its answer taken whatever the chip.
    void Work() {
        EXPECT_EQ(host.Command({CMD_BEGIN, 0}, 2), "55 76");
        host.Command({CMD_BULK_ERASE, 0}, 4);
        EXPECT_EQ(host.Command({CMD_END, 0}, 1), "55");
    }
    // "poll ID" steps check what a poll reads, "work" steps work on the chip.
    void Expect(const std::vector<std::string>& steps) {
        for (std::size_t i = 0; i < steps.size(); ++i) {
            SCOPED_TRACE("step " + std::to_string(i) + ": " + steps[i]);
            if (steps[i] == "work") {
                Work();
            } else {
                EXPECT_EQ(Poll(), steps[i]);
            }
        }
    }
};

TEST_F(Socket, ChipsStayUntilWorkedOnAndPolledTwiceEmptiesLastTheirPolls) {
    const std::string F84A = "60 05", F877 = "A0 09", ZEROS = "00 00", ONES = "FF FF";
    Script("empty:1s,16F84A,empty:501ms:ones,16F877,SX28");
    Expect({ZEROS, ZEROS, F84A, F84A, F84A,  // a chip nobody works on stays
            "work", F84A, ONES, ONES,        // 501 ms take two polls
            F877, "work", "work", F877, "CE 0F", "work", "CE 0F", ZEROS, ZEROS});
}

TEST_F(Socket, AFailVerifyChipKeepsWordZeroErased) {
    Script("16F84A:fail-verify,16F84A");
    for (const int address : {0, 1}) {
        ASSERT_TRUE(sim.WriteWord(VEKSIM_PROGRAM, address, 0x1234));
    }
    EXPECT_EQ(sim.ReadWord(VEKSIM_PROGRAM, 0), 0x3FFF);
    EXPECT_EQ(sim.ReadWord(VEKSIM_PROGRAM, 1), 0x1234);
    Expect({"work", "60 05", "60 05"});  // the next chip programs as it should
    ASSERT_TRUE(sim.WriteWord(VEKSIM_PROGRAM, 0, 0x1234));
    EXPECT_EQ(sim.ReadWord(VEKSIM_PROGRAM, 0), 0x1234);
}

TEST_F(Socket, InterruptSignalsTheProcessWhenReached) {
    const auto previous = std::signal(SIGINT, [](int) { interrupted = 1; });
    Script("empty:500ms,interrupt");
    EXPECT_EQ(Poll(), "00 00");
    EXPECT_EQ(interrupted, 0);
    EXPECT_EQ(Poll(), "00 00");
    EXPECT_EQ(interrupted, 1);
    std::signal(SIGINT, previous);
}

TEST_F(Socket, AScriptItCannotReadLeavesTheSocketUnscripted) {
    for (const char* script : {"16F99", "empty:0s", "empty:1s:2s", "empty:fail-verify",
                               "16F84A:ones", "interrupt:1s", "empty:1h", "16F877,"}) {
        SCOPED_TRACE(script);
        Script(script);
        Expect({"60 05", "work", "60 05", "60 05", "60 05"});
    }
}

}  // namespace
}  // namespace vek::test
