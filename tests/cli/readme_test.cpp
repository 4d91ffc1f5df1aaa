// The README's word on vekflash-cli holds: its table of JSON fields is what the commands emit,
// and its example command lines run on the simulated programmer.
#include <nlohmann/json.hpp>
#include <regex>
#include <set>

#include "cli_fixture.h"

namespace vek::test {
namespace {

TEST_F(Cli, TheReadmesJsonTableNamesEveryFieldTheCommandsEmit) {
    std::set<std::string> documented;
    bool inTable = false;
    const std::regex name("`([a-z_]+)`");
    for (const std::string& line : Lines(ReadFile(VEK_README))) {
        if (line.starts_with("`--json` ends every command")) {
            inTable = true;
        } else if (inTable && line.starts_with("| `")) {
            const std::string cell = line.substr(0, line.find(" |", 2));
            for (std::sregex_iterator it(cell.begin(), cell.end(), name), end; it != end; ++it) {
                documented.insert((*it)[1]);
            }
        } else if (inTable && !documented.empty() && !line.starts_with("|")) {
            break;
        }
    }
    std::set<std::string> emitted;
    const std::string kept = (folder / "kept.hex").string();
    for (const std::vector<std::string>& arguments :
         {Args("detect"), Args("id", "-d", "16F877"), Args("blank", "-d", "16F877"),
          Args("program", "--verify", "--serial-number", "5", "--serial-at", "eeprom:8", "-d",
               "16F877", PIC_SAMPLE),
          Args("verify", "--all", "-d", "16F877", PIC_SAMPLE), Args("read", "-d", "16F877"),
          Args("read", "-o", kept, "-d", "16F877"), Args("list"), Args("udev-rule"),
          Args("burn")}) {
        std::vector<std::string> withJson = arguments;
        withJson.push_back("--json");
        const nlohmann::json report = nlohmann::json::parse(Run(withJson, "16F877").out);
        for (const auto& [field, value] : report.items()) {
            emitted.insert(field);
        }
    }
    EXPECT_EQ(documented, emitted);
}

// Each line of the README's examples that runs vekflash-cli, in a folder with the files they
// name, the chip of their -d in the socket and their boards attached.
TEST_F(Cli, TheReadmesExampleCommandLinesRun) {
    // A 16F877's firmware that leaves its EEPROM to the serial number.
    std::string firmware;
    for (const std::string& record : Lines(ReadFile(VEK_EXAMPLES_DIR "/counter-16f877.hex"))) {
        firmware += record.starts_with(":0C4200") ? "" : record + "\n";
    }
    folder.Write("firmware.hex", firmware);
    folder.Write("fw.hex", firmware);
    folder.Write("sn.txt", "1000\n");
    std::filesystem::create_directory(folder / "build");
    const std::filesystem::path cli(VEK_CLI);
    std::filesystem::create_directory_symlink(cli.parent_path(), folder / "build" / "bin");
    std::filesystem::create_directory_symlink(VEK_SIM_DIR, folder / "build" / "sim");
    std::filesystem::create_directory_symlink(VEK_EXAMPLES_DIR, folder / "examples");

    const std::regex device(" -d ([0-9A-Za-z]+)");
    int ran = 0;
    bool inBlock = false;
    for (std::string line : Lines(ReadFile(VEK_README))) {
        if (line.starts_with("```")) {
            inBlock = !inBlock;
            continue;
        }
        // The fault examples end as their comments say, which fault_examples_test.sh checks.
        if (!inBlock ||
            (!line.starts_with("vekflash-cli ") &&
             line.find(" build/bin/vekflash-cli ") == std::string::npos) ||
            line.find("VEKSIM_FAULTS=") != std::string::npos) {
            continue;
        }
        SCOPED_TRACE(line);
        if (line.ends_with(" &")) {
            line.resize(line.size() - 2);  // one after the other here
        }
        std::smatch named;
        const std::string chip = std::regex_search(line, named, device) ? named[1].str() : "16F877";
        ChildSetup setup;
        setup.words = {"/bin/sh", "-c", "cd '" + folder.Path().string() + "' && " + line};
        setup.droppedPrefix = "VEKSIM_";
        setup.variables = {{"PATH", cli.parent_path().string() + ":/usr/bin:/bin"},
                           {"LD_LIBRARY_PATH", VEK_SIM_DIR},
                           {"VEKSIM_CHIP", chip},
                           {"VEKSIM_STATE", (folder / chip).string()},
                           {"VEKSIM_BOARDS", "A123:16F877:" + (folder / "a123").string() +
                                                 ";B456:16F877:" + (folder / "b456").string()}};
        if (line.find("--board") == std::string::npos) {
            setup.variables.pop_back();
        }
        setup.outFile = folder / "example.stdout";
        setup.errFile = folder / "example.stderr";
        EXPECT_EQ(FinishChild(StartChild(setup)).status, 0) << ReadFile(setup.errFile);
        ++ran;
    }
    EXPECT_GE(ran, 7);
}

}  // namespace
}  // namespace vek::test
