#include "cli/usage.h"

#include <algorithm>
#include <array>
#include <sstream>

#include "device/device_table.h"
#include "link/usb_drivers.h"
#include "session/rebuild_watch.h"

namespace vek::cli {

namespace {

constexpr std::array<CommandUsage, 11> COMMANDS = {{
    {"detect", Command::Detect, "", false, "is a programmer attached, and does it answer?"},
    {"id", Command::Id, "", true, "the chip's device word and the devices it fits"},
    {"blank", Command::Blank, "", true, "is the chip's program memory blank?"},
    {"erase", Command::Erase, "", true, "erase the chip, then check that it is blank"},
    {"program", Command::Program, "FILE", true,
     "write the HEX file and the configuration words into the chip"},
    {"save-job", Command::SaveJob, "JOB FILE", true,
     "write the production job JOB (.vekjob): the device, the HEX file with its SHA-256, the "
     "configuration words and program's other options, for program --job"},
    {"verify", Command::Verify, "FILE", true,
     "compare the chip with the HEX file and the configuration words"},
    {"read", Command::Read, "", true,
     "read the chip as an Intel HEX file, to stdout or to the file of -o"},
    {"checksum", Command::Checksum, "FILE", true,
     "the checksum of what program would write: four hexadecimal digits, as Microchip's tools "
     "show it for a PIC16"},
    {"list", Command::List, "", false,
     "every attached programmer: index, USB serial number, description and driver, separated "
     "by tabs"},
    {"udev-rule", Command::UdevRule, "", false,
     "the udev rule that gives the programmer to its user, and where it goes"},
}};

const std::string DEVICE_SUMMARY = "the chip in the socket: " + DeviceNames(", ", " or ") +
                                   ", in any letter case; every command but detect, list and "
                                   "udev-rule needs it. id, read and verify also take auto: the "
                                   "PIC16 whose device ID the chip reports, asked the PIC16 way "
                                   "only; exit status 5 when it fits no PIC16 (an SX is never "
                                   "probed: name it) or several";
const std::string DRIVER_SUMMARY = "the USB driver: " + std::string(AUTO_USB_DRIVER) +
                                   " (the default: " + UsbAutoOrder() + "), " +
                                   UsbDriverKeys(", ", " or ");
const std::string DRIVER_CHOICES = std::string(AUTO_USB_DRIVER) + " " + UsbDriverKeys(" ", " ");

const std::string WATCH_SUMMARY =
    "program: program FILE each time it is written anew (by an assembler or a linker), once it "
    "has been left alone for " +
    std::to_string(REBUILD_QUIET_MS) +
    " ms, and wait for the next change; a file that is half written or fails its checksum is "
    "reported and not programmed. Ctrl+C ends, with the last run's exit status";

const std::array<OptionUsage, 25> OPTIONS = {{
    {Option::Device, "-d", "--device", "NAME", ValueKind::DeviceName, DEVICE_SUMMARY},
    {Option::Output, "-o", "--output", "FILE", ValueKind::File,
     "read: write the HEX file FILE instead of stdout; FILE is new or a regular file, and - "
     "is stdout"},
    {Option::NoErase, "", "--no-erase", "", ValueKind::None,
     "program: refuse a chip that is not blank instead of erasing it"},
    {Option::AllowCodeProtection, "", "--allow-code-protection", "", ValueKind::None,
     "program: write a configuration word that turns on code protection (without it such a "
     "word is refused)"},
    {Option::Config, "", "--config", "HEX", ValueKind::Hex,
     "program, verify, checksum: the PIC16 configuration word"},
    {Option::Fuse, "", "--fuse", "HEX", ValueKind::Hex,
     "program, verify, checksum: the SX FUSE word"},
    {Option::FuseX, "", "--fusex", "HEX", ValueKind::Hex,
     "program, verify, checksum: the SX FUSEX word"},
    {Option::All, "", "--all", "", ValueKind::None,
     "verify: list every difference, not only the first"},
    {Option::Verify, "", "--verify", "", ValueKind::None,
     "program: verify the chip after programming it"},
    {Option::Job, "", "--job", "JOB", ValueKind::File,
     "program: take the device, the HEX file, the configuration words and the other options "
     "from the job JOB (see save-job), FILE then left out; options given as well override the "
     "job's, and are refused where they contradict it (another device, HEX file, configuration "
     "word or serial number place); a HEX file whose SHA-256 is not the job's is refused"},
    {Option::Loop, "", "--loop", "", ValueKind::None,
     "program: chip after chip: wait for a chip in the socket (its ID read every 500 ms), "
     "program and verify it, print PASS or FAIL with the counts and its serial number, and wait "
     "until the socket is empty; Ctrl+C prints the totals and ends with status 0 when every "
     "chip passed, else 1. With --log each chip gets its lines, and the counts start from the "
     "log's chips of the same device and HEX file today; with --json one object per chip"},
    {Option::Watch, "", "--watch", "", ValueKind::None, WATCH_SUMMARY},
    {Option::Board, "", "--board", "SERIAL", ValueKind::Text,
     "the programmer with this USB serial number (see list); without it the first one "
     "attached"},
    {Option::Json, "", "--json", "", ValueKind::None,
     "one JSON object on stdout at the end of the run, for a script"},
    {Option::SerialNumber, "", "--serial-number", "N", ValueKind::Text,
     "program: write the decimal number N into the chip as part of the programmed image, at "
     "the place of --serial-at"},
    {Option::SerialFile, "", "--serial-file", "FILE", ValueKind::File,
     "program: take N from FILE and write N + 1 back once the chip has been programmed and "
     "verified (program verifies then); a FILE that cannot take N + 1 is refused before the "
     "chip is touched; processes sharing FILE take turns"},
    {Option::SerialAt, "", "--serial-at", "PLACE", ValueKind::Text,
     "program: where N goes: eeprom:LOC[:BYTES], the EEPROM locations from LOC on, least "
     "significant byte first, 1 to 4 bytes (4 without BYTES); or id, the four PIC16 ID "
     "locations, one hexadecimal digit in the low four bits of each, most significant first"},
    {Option::SerialOverwrite, "", "--serial-overwrite", "", ValueKind::None,
     "program: write the number over data the HEX file gives there"},
    {Option::PreserveEeprom, "", "--preserve-eeprom", "", ValueKind::None,
     "program: keep the data EEPROM the chip holds instead of writing the file's (PIC16); a "
     "chip whose EEPROM is protected is refused before it is erased"},
    {Option::Log, "", "--log", "FILE", ValueKind::File,
     "append CSV lines about the run to FILE, with a header when new: one with the outcome "
     "started before the chip is touched, and one when the run ends"},
    {Option::Progress, "", "--progress", "STYLE", ValueKind::Choice,
     "plain: one line per tenth of the operation instead of the progress bar, also where "
     "stderr is no terminal; auto: the bar on a terminal only",
     "plain auto"},
    {Option::Driver, "", "--driver", "NAME", ValueKind::Choice, DRIVER_SUMMARY, DRIVER_CHOICES},
    {Option::Quiet, "-q", "--quiet", "", ValueKind::None,
     "no progress bar, and the messages only when the command fails"},
    {Option::Version, "", "--version", "", ValueKind::None, "print the version"},
    {Option::Help, "-h", "--help", "", ValueKind::None, "print this help"},
}};

constexpr std::array<ExitStatusUsage, 6> EXIT_STATUSES = {{
    {EXIT_OK, "success"},
    {EXIT_DIFFERS,
     "verify found a difference, the chip is not blank, or its EEPROM is protected and cannot "
     "be kept"},
    {EXIT_USAGE,
     "the command line cannot be used or contradicts the job of --job, or the configuration "
     "word turns on code protection without --allow-code-protection"},
    {EXIT_HEX_FILE,
     "the HEX file is missing, has a checksum error, holds no data or is too large for the "
     "chip, or the file of -o, --serial-file, --log or --job cannot be used, or the HEX file's "
     "SHA-256 is not the job's"},
    {EXIT_PROGRAMMER,
     "no programmer (none attached, or none with the serial number of --board), or the "
     "communication with it failed"},
    {EXIT_WRONG_DEVICE, "the chip's device ID differs from --device"},
}};

const Usage CLI_USAGE = {
    .program = "vekflash-cli",
    .synopsis = "[options] COMMAND",
    .description =
        "Runs the VEK Flash programmer from the command line, with the same "
        "operations and messages as the window.",
    .commands = COMMANDS,
    .options = OPTIONS,
    .optionsNote =
        "Without --config, --fuse and --fusex the configuration words come from the "
        "file's configuration records; a file without them needs these options.",
    .streams =
        "Messages go to stderr, with a progress bar when stderr is a terminal. Results go "
        "to stdout: the USB driver in use (detect), the device word and the devices it fits "
        "(id), the HEX file (read "
        "without -o), the checksum (checksum), every difference with their count (verify --all) "
        "and the programmers "
        "(list); with --json stdout holds only the JSON object.",
    .exitStatuses = EXIT_STATUSES,
};

constexpr std::size_t LINE_WIDTH = 80;
constexpr std::size_t INDENT = 2;
constexpr std::size_t GAP = 2;

// The words of text in lines that start at column `column` and end before LINE_WIDTH; the
// first line goes on from whatever stands before it.
std::string Wrapped(std::string_view text, std::size_t column) {
    std::istringstream words{std::string(text)};
    std::string result;
    std::size_t lineLength = column;
    std::string word;
    for (bool first = true; words >> word; first = false) {
        if (!first && lineLength + 1 + word.size() > LINE_WIDTH) {
            result += '\n' + std::string(column, ' ');
            lineLength = column;
        } else if (!first) {
            result += ' ';
            ++lineLength;
        }
        result += word;
        lineLength += word.size();
    }
    return result + '\n';
}

// "name  summary" rows with the summaries in one column after the longest name.
template <typename Row>
std::string Table(std::span<const Row> rows, auto nameOf, auto summaryOf) {
    std::size_t nameWidth = 0;
    for (const Row& row : rows) {
        nameWidth = std::max(nameWidth, nameOf(row).size());
    }
    std::string result;
    for (const Row& row : rows) {
        const std::string name = nameOf(row);
        result += std::string(INDENT, ' ') + name + std::string(nameWidth - name.size() + GAP, ' ');
        result += Wrapped(summaryOf(row), INDENT + nameWidth + GAP);
    }
    return result;
}

std::string CommandName(const CommandUsage& command) {
    std::string name(command.name);
    if (!command.argument.empty()) {
        name += ' ' + std::string(command.argument);
    }
    return name;
}

// "-d, --device NAME", with the long names of all options in one column.
std::string OptionName(const OptionUsage& option) {
    std::string name = option.shortName.empty() ? "    " : std::string(option.shortName) + ", ";
    name += option.longName;
    if (!option.valueName.empty()) {
        name += ' ' + std::string(option.valueName);
    }
    return name;
}

}  // namespace

const Usage& CliUsage() {
    return CLI_USAGE;
}

const OptionUsage* OptionNamed(std::string_view name) {
    const auto named = std::find_if(OPTIONS.begin(), OPTIONS.end(), [&](const OptionUsage& option) {
        return name == option.longName || (!option.shortName.empty() && name == option.shortName);
    });
    return named == OPTIONS.end() ? nullptr : &*named;
}

std::string HelpText(const Usage& usage) {
    const auto summary = [](const auto& row) { return row.summary; };
    std::string text = "Usage: " + std::string(usage.program) + ' ' + std::string(usage.synopsis) +
                       "\n\n" + Wrapped(usage.description, 0);
    text += "\nCommands:\n" + Table(usage.commands, CommandName, summary);
    text += "\nOptions:\n" + Table(usage.options, OptionName, summary);
    text += "\n" + Wrapped(usage.optionsNote, 0);
    text += "\n" + Wrapped(usage.streams, 0);
    text += "\nExit status:\n";
    text += Table(
        usage.exitStatuses, [](const ExitStatusUsage& row) { return std::to_string(row.status); },
        [](const ExitStatusUsage& row) { return row.meaning; });
    return text;
}

}  // namespace vek::cli
