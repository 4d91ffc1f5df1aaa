// The command line of vekflash-cli: its command, options and their checks.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/serial_number.h"
#include "cli/usage.h"
#include "link/usb_drivers.h"

namespace vek::cli {

// How progress is shown on stderr: a bar when it is a terminal and nothing otherwise, or one
// line per tenth for a log.
enum class ProgressStyle { Automatic, Plain };

struct Arguments {
    Command command = Command::Detect;
    std::string commandName;  // as typed
    int deviceRow = -1;       // the row of DeviceTable named by --device
    std::string file;         // program, verify
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
    bool verifyAfterProgram = false;  // program --verify
    std::string board;                // the USB serial number of the board; empty: the first
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

struct ParsedArguments {
    Arguments arguments;
    std::string error;  // why the command line cannot be used; empty when it can
};

// Options may stand before and after the command; "--" ends them.
ParsedArguments ParseArguments(const std::vector<std::string>& words);

}  // namespace vek::cli
