// The command line of vekflash-cli: its command, options and their checks.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/usage.h"
#include "device/device_table.h"
#include "link/usb_drivers.h"
#include "session/serial_number.h"

namespace vek::cli {

// How progress is shown on stderr: a bar when it is a terminal and nothing otherwise, or one
// line per tenth for a log.
enum class ProgressStyle { Automatic, Plain };

struct Arguments {
    Command command = Command::Detect;
    std::string commandName;  // as typed
    int deviceRow = -1;       // the row of DeviceTable named by --device
    bool autoDevice = false;  // -d auto: the row is found once the chip answers
    std::string file;         // program, verify, save-job
    std::string outputFile;   // read -o; empty (also for -o -): the HEX text goes to stdout
    bool noErase = false;
    bool allowCodeProtection = false;  // program: write a word that turns on code protection
    // The configuration words given on the command line: the PIC16 configuration word, the
    // SX FUSE and FUSEX words.
    std::optional<int> config;
    std::optional<int> fuse;
    std::optional<int> fuseX;
    UsbDriverChoice driver = AUTO_USB_DRIVER;
    bool all = false;
    bool verifyAfterProgram = false;  // program --verify, and always with --loop
    bool loop = false;                // program chip after chip until Ctrl+C
    bool watch = false;               // program --watch
    // program --job, or the job that save-job writes; with --job the job's fields are in the
    // other members, and the HEX file must hash to its SHA-256.
    std::string jobFile;
    std::string pinnedSha256;
    std::string board;  // the USB serial number of the board; empty: the first
    bool json = false;
    std::string logFile;  // --log: the CSV file that gets a line per run
    // program: the serial number written into each chip, given or taken from serialFile, at
    // serialAt; serialOverwrite lets it replace what the file gives there.
    std::optional<unsigned> serialNumber;
    std::string serialFile;
    std::optional<SerialPlace> serialAt;
    bool serialOverwrite = false;
    bool preserveEeprom = false;  // program: keep the chip's data EEPROM
    ProgressStyle progress = ProgressStyle::Automatic;
    bool quiet = false;
    bool help = false;
    bool version = false;
};

// -d auto asks the chip for its ID with the entry of the first row of AUTO_FAMILY and picks the
// row of that family that the ID fits; no other family's programming sequence is ever tried on
// a chip that may not be of it.
inline constexpr std::string_view AUTO_DEVICE = "auto";
inline constexpr TargetFamily AUTO_FAMILY = TargetFamily::PIC16;
const DeviceInfo& FirstAutoDevice();

struct ParsedArguments {
    Arguments arguments;
    std::string error;  // why the command line cannot be used; empty when it can
    // EXIT_USAGE, or EXIT_HEX_FILE when the job of --job cannot be read (error is its message)
    ExitStatus status = EXIT_USAGE;
};

// Options may stand before and after the command; "--" ends them. The job of --job is read
// here, its fields taken where the command line gives none.
ParsedArguments ParseArguments(const std::vector<std::string>& words);

}  // namespace vek::cli
