// vekflash-cli on a production line: several boards, program --verify, the JSON report, plain
// progress, the udev rule and the hint after an ID of all zeros or all ones.
#include <nlohmann/json.hpp>

#include "cli_fixture.h"

namespace vek::test {
namespace {

using nlohmann::json;

class Production : public Cli {
  protected:
    // Two boards: a 16F877 and an SX28, each chip kept in a file of its own.
    void AttachTwoBoards() {
        environment = {{"VEKSIM_BOARDS", "A1:16F877:" + (folder / "a1").string() +
                                             ";B2:SX28:" + (folder / "b2").string()}};
    }
    // The run's one line of JSON, without its time once that has been checked.
    static json Report(const CliRun& run) {
        EXPECT_EQ(run.out.find('\n'), run.out.size() - 1) << "one line: " << run.out;
        json report = json::parse(run.out);
        EXPECT_TRUE(report["seconds"].is_number());
        EXPECT_GE(report["seconds"].get<double>(), 0.0);
        EXPECT_LT(report["seconds"].get<double>(), 30.0);
        report.erase("seconds");
        return report;
    }
};

TEST_F(Production, ListNamesEveryBoardAndBoardPicksOneOfThem) {
    AttachTwoBoards();
    const CliRun listed = Run(Args("list"));
    EXPECT_EQ(listed.status, 0);
    EXPECT_EQ(listed.out, "0\tA1\tVEK Flash\td2xx\n1\tB2\tVEK Flash\td2xx\n");
    EXPECT_EQ(listed.err, "");

    const CliRun onB2 = Run(Args("id", "--board", "B2", "-d", "SX28"));
    EXPECT_EQ(onB2.status, 0);
    EXPECT_EQ(onB2.out, "FCE SX28\n");
    EXPECT_EQ(Run(Args("id", "--board=A1", "-d", "16F877")).out, "9A0 16F877\n");
    EXPECT_EQ(Run(Args("id", "-d", "16F877")).out, "9A0 16F877\n");  // the first board

    const std::string notAttached =
        "Error: No VEK Flash programmer with the serial number C3 is attached. Attached: A1, "
        "B2.\n";
    for (const char* command : {"detect", "blank", "read"}) {
        SCOPED_TRACE(command);
        const CliRun unknown = Run(Args(command, "--board", "C3", "-d", "16F877"));
        EXPECT_EQ(unknown.status, 4);
        EXPECT_EQ(unknown.out, std::string(command) == "detect" ? "USB driver: d2xx\n" : "");
        EXPECT_EQ(unknown.err, notAttached);
    }
    EXPECT_EQ(Run(Args("detect", "--board", "")).status, 2);

    // A serial number that would move the terminal's cursor or colour its text shows escaped.
    environment = {{"VEKSIM_BOARDS", "A\x1b[31m\\1:16F877"}};
    EXPECT_EQ(Run(Args("list")).out, "0\tA\\x1B[31m\\\\1\tVEK Flash\td2xx\n");
    EXPECT_EQ(Run(Args("detect", "--board", "C3")).err,
              "Error: No VEK Flash programmer with the serial number C3 is attached. Attached: "
              "A\\x1B[31m\\\\1.\n");
    environment.clear();

    const CliRun none = Run(Args("list"), "16F84A", "pic", "detached");
    EXPECT_EQ(none.status, 4);
    EXPECT_EQ(none.out, "");
    EXPECT_EQ(none.err, "Error: Unable to detect presence of VEK Flash programmer.\n");
    const CliRun noneForBoard = Run(Args("detect", "--board", "A1"), "16F84A", "pic", "detached");
    EXPECT_EQ(noneForBoard.status, 4);
    EXPECT_EQ(noneForBoard.err, "Error: Unable to detect presence of VEK Flash programmer.\n");
}

TEST_F(Production, TwoProcessesProgramTwoBoardsAtOnce) {
    AttachTwoBoards();
    const Launched onA1 =
        Launch(Args("--board", "A1", "-d", "16F877", "program", "--verify", PIC_SAMPLE), "16F84A",
               "pic", "", false, "a1");
    const Launched onB2 =
        Launch(Args("--board", "B2", "-d", "SX28", "program", "--verify", SX_SAMPLE), "16F84A",
               "pic", "", false, "b2");
    const CliRun a1 = Collect(onA1);
    const CliRun b2 = Collect(onB2);
    for (const CliRun& run : {a1, b2}) {
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.err, "Programming complete.\nVerify passed\n");
    }
    // Each chip holds its own file, and neither the other's.
    EXPECT_EQ(Run(Args("--board", "A1", "-d", "16F877", "verify", PIC_SAMPLE)).status, 0);
    EXPECT_EQ(Run(Args("--board", "B2", "-d", "SX28", "verify", SX_SAMPLE)).status, 0);
    EXPECT_EQ(Run(Args("--board", "B2", "-d", "16F877", "verify", PIC_SAMPLE)).status, 5);
    EXPECT_TRUE(ReadFile(folder / "a1").starts_with("chip 16F877\n"));
    EXPECT_TRUE(ReadFile(folder / "b2").starts_with("chip SX28\n"));
}

TEST_F(Production, ProgramVerifyFailsWithStatusOneWhenTheChipDiffers) {
    // The third program word reads back with its low byte 00.
    const CliRun differs = Run(Args("program", "--verify", "-d", "16F84A", PIC_SAMPLE), "16F84A",
                               "pic", "reply:0x52,0,11,1,0x00");
    EXPECT_EQ(differs.status, 1);
    EXPECT_EQ(differs.err,
              "Programming complete.\nProgram ROM verify failed at word 2. (expected 0x1283, "
              "read 0x1200)\n");
    EXPECT_EQ(Run(Args("verify", "--verify", "-d", "16F84A", PIC_SAMPLE)).err,
              "vekflash-cli: --verify belongs to program, not to verify\n" + USAGE_HINT);
}

TEST_F(Production, JsonGivesOneObjectPerRunWithWhatTheCommandFound) {
    AttachTwoBoards();
    const CliRun programmed =
        Run(Args("--json", "--board", "A1", "-d", "16f877", "program", "--verify", PIC_SAMPLE));
    EXPECT_EQ(programmed.status, 0);
    EXPECT_EQ(programmed.err, "Programming complete.\nVerify passed\n");  // still for a person
    EXPECT_EQ(Report(programmed),
              json::parse(R"({"board_serial": "A1", "checksum": "78B3", "command": "program",
        "device": "16F877", "device_word": "9A0", "differences": [], "driver": "d2xx",
        "exit_status": 0, "messages": ["Programming complete.", "Verify passed"],
        "outcome": "success", "serial_number": null})"));

    EXPECT_EQ(
        Report(Run(Args("id", "-d", "SX28", "--json", "--board", "B2"))),
        json::parse(R"({"board_serial": "B2", "checksum": null, "command": "id", "device": "SX28",
        "device_word": "FCE", "driver": "d2xx", "exit_status": 0,
        "id": {"devices": ["SX28"], "word": "FCE"}, "messages": [], "outcome": "success",
        "serial_number": null})"));
    // The first board when --board is not given.
    EXPECT_EQ(
        Report(Run(Args("id", "-d", "SX28", "--json"))),
        json::parse(R"({"board_serial": "A1", "checksum": null, "command": "id", "device": "SX28",
        "device_word": "9A0", "driver": "d2xx", "exit_status": 5,
        "id": {"devices": ["16F877"], "word": "9A0"},
        "messages": ["The chip's device ID 9A0 is not that of the SX28."],
        "outcome": "wrong-device", "serial_number": null})"));

    const std::string changed = folder.Write("changed.hex", ":020000003412B8\n:00000001FF\n");
    const CliRun differs = Run(Args("verify", "--all", "--json", "--board", "A1", "-d", "16F877",
                                    "--config", "3FF1", changed));
    EXPECT_EQ(differs.status, 1);
    json report = Report(differs);
    EXPECT_EQ(report["outcome"], "difference");
    ASSERT_GE(report["differences"].size(), 2u);
    EXPECT_EQ(
        report["differences"][0],
        json({{"kind", "program"}, {"address", "0000"}, {"expected", "1234"}, {"read", "1683"}}));
    EXPECT_EQ(report["differences"][1]["address"], "0001");

    const std::string kept = (folder / "kept.hex").string();
    report = Report(Run(Args("read", "--json", "--board", "B2", "-d", "SX28", "-o", kept)));
    EXPECT_EQ(report["file"], kept);
    EXPECT_FALSE(report.contains("hex"));
    report = Report(Run(Args("read", "--json", "--board", "B2", "-d", "SX28")));
    EXPECT_EQ(report["file"], nullptr);
    EXPECT_EQ(report["hex"], ReadFile(kept));

    EXPECT_EQ(Report(Run(Args("list", "--json"))), json::parse(R"({"board_serial": null,
        "boards": [{"description": "VEK Flash", "driver": "d2xx", "index": 0, "serial": "A1"},
                   {"description": "VEK Flash", "driver": "d2xx", "index": 1, "serial": "B2"}],
        "checksum": null, "command": "list", "device": null, "device_word": null, "driver": "d2xx",
        "exit_status": 0, "messages": [], "outcome": "success", "serial_number": null})"));
    report = Report(Run(Args("detect", "--json", "--board", "C3")));
    EXPECT_EQ(report["outcome"], "programmer");
    EXPECT_EQ(report["exit_status"], 4);
    EXPECT_EQ(report["board_serial"], nullptr);

    const CliRun usage = Run(Args("--json", "burn"));
    EXPECT_EQ(usage.status, 2);
    EXPECT_EQ(Report(usage),
              json::parse(R"({"board_serial": null, "checksum": null, "command": null,
        "device": null, "device_word": null, "driver": null, "exit_status": 2,
        "messages": ["vekflash-cli: unknown command 'burn'"], "outcome": "usage",
        "serial_number": null})"));

    report = Report(Run(Args("udev-rule", "--json")));
    EXPECT_EQ(report["path"], "/etc/udev/rules.d/60-vekflash.rules");
    EXPECT_NE(report["rule"].get<std::string>().find("ATTRS{product}==\"VEK Flash\""),
              std::string::npos);

    environment.clear();
    report = Report(Run(Args("list", "--json"), "16F84A", "pic", "detached"));
    EXPECT_EQ(report["boards"], json::array());
    EXPECT_EQ(report["exit_status"], 4);
}

TEST_F(Production, PlainProgressIsOneLinePerTenthWhereNoTerminalIs) {
    const CliRun run =
        Run(Args("program", "--verify", "-d", "16F84A", "--progress", "plain", PIC_SAMPLE));
    EXPECT_EQ(run.status, 0);
    // Each operation's last step comes before its result.
    EXPECT_EQ(run.err,
              "program 10%\nprogram 20%\nprogram 30%\nprogram 40%\nprogram 50%\nprogram 60%\n"
              "program 70%\nprogram 80%\nprogram 90%\nprogram 100%\nProgramming complete.\n"
              "verify 10%\nverify 20%\nverify 30%\nverify 40%\nverify 50%\nverify 60%\n"
              "verify 70%\nverify 80%\nverify 90%\nverify 100%\nVerify passed\n");
    EXPECT_EQ(Run(Args("read", "-q", "-d", "16F84A", "--progress", "plain")).err, "");
    EXPECT_EQ(Run(Args("read", "-d", "16F84A", "--progress", "fancy")).err,
              "vekflash-cli: --progress 'fancy': plain or auto\n" + USAGE_HINT);
}

TEST_F(Production, UdevRuleIsTheInstalledOneBehindWhereItGoes) {
    const CliRun run = Run(Args("udev-rule"));
    EXPECT_EQ(run.status, 0);
    const std::string header =
        "# Save as /etc/udev/rules.d/60-vekflash.rules, then run: sudo udevadm control "
        "--reload-rules\n# and plug the board in again.\n";
    ASSERT_TRUE(run.out.starts_with(header)) << run.out;
    EXPECT_EQ(run.out.substr(header.size()), ReadFile(VEK_UDEV_RULE_FILE));
}

TEST_F(Production, AnIdOfAllZerosOrAllOnesNamesTheUsualCauses) {
    const std::string causes =
        "An ID of all zeros or all ones: no chip in the socket, a chip the wrong way round, or "
        "no target power are the usual causes.\n";
    struct Case {
        std::string device, low, high, err;
    };
    const Case cases[] = {
        {"16F84A", "0x00", "0x00",
         "The chip's device ID 000 is not that of the 16F84A.\n" + causes},
        {"16F84A", "0xFF", "0x0F",
         "The chip's device ID FFF is not that of the 16F84A.\n" + causes},
        {"16F877", "0xE3", "0x0F",
         "The chip's device ID FE3 is not that of the 16F877.\n" + causes},
        {"SX28", "0x00", "0x00", "The chip's device ID 000 is not that of the SX28.\n" + causes},
        // An SX48 answers 002: a chip, if the wrong one.
        {"16F84A", "0x02", "0x00", "The chip's device ID 002 is not that of the 16F84A.\n"},
        {"SX28", "0xE0", "0x0F", "The chip's device ID FE0 is not that of the SX28.\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.device + " " + c.low + " " + c.high);
        const CliRun run = Run(Args("id", "-d", c.device), "16F84A", "pic",
                               "reply:0x56,0,1,1," + c.low + ";reply:0x56,0,2,1," + c.high);
        EXPECT_EQ(run.status, 5);
        EXPECT_EQ(run.err, c.err);
    }
    // After the warning of an operation too.
    const CliRun read =
        Run(Args("read", "-d", "16F84A"), "16F84A", "pic", "reply:0x56,0,1,1,0;reply:0x56,0,2,1,0");
    EXPECT_EQ(read.status, 5);
    EXPECT_TRUE(read.err.ends_with("a supply of its own.\n" + causes)) << read.err;
}

}  // namespace
}  // namespace vek::test
