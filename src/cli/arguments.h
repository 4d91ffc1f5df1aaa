// The command line of vekflash-cli: its command, options and their checks.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "link/usb_driver.h"

namespace vek::cli {

enum class Command { Detect, Id, Blank, Erase, Program, Verify, Read };

struct Arguments {
    Command command = Command::Detect;
    int deviceRow = -1;      // the row of DeviceTable named by --device
    std::string file;        // program, verify
    std::string outputFile;  // read -o; empty: the HEX text goes to stdout
    bool noErase = false;
    // The configuration words given on the command line: the PIC16 configuration word, the
    // SX FUSE and FUSEX words.
    std::optional<int> config;
    std::optional<int> fuse;
    std::optional<int> fuseX;
    UsbDriverChoice driver = UsbDriverChoice::Auto;
    bool all = false;
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

std::string HelpText();

}  // namespace vek::cli
