// Everything vekflash-cli accepts and answers, in one table: the parser, --help, the manual
// page and the shell completion all read it, so none of them can miss a command or an option.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "operations/run_outcome.h"

namespace vek::cli {

enum class Command {
    Detect,
    Id,
    Blank,
    Erase,
    Program,
    SaveJob,
    Verify,
    Read,
    Checksum,
    List,
    UdevRule
};

struct CommandUsage {
    std::string_view name;
    Command command;
    std::string_view argument;  // "FILE" for a command that takes a HEX file ("JOB FILE": and a
                                // job file before it), else empty
    bool needsDevice;           // -d NAME
    std::string_view summary;
};

enum class Option {
    Device,
    Output,
    NoErase,
    AllowCodeProtection,
    Config,
    Fuse,
    FuseX,
    All,
    Verify,
    Job,
    Loop,
    Watch,
    Board,
    Json,
    SerialNumber,
    SerialFile,
    SerialAt,
    SerialOverwrite,
    PreserveEeprom,
    Log,
    Progress,
    Driver,
    Quiet,
    Version,
    Help
};

// What an option's value is, which tells the shell completion what to offer for it; a Hex or
// Text value gets no offer.
enum class ValueKind { None, DeviceName, File, Hex, Text, Choice };

struct OptionUsage {
    Option option;
    std::string_view shortName;  // "-d", or empty
    std::string_view longName;   // "--device"
    std::string_view valueName;  // "NAME"; empty for an option without a value
    ValueKind valueKind;
    std::string_view summary;
    std::string_view choices = {};  // the values of a Choice option, separated by spaces
};

// The exit statuses are the engine's, which the window's log writes too.
using vek::ExitStatus;
using enum vek::ExitStatus;

struct ExitStatusUsage {
    ExitStatus status;
    std::string_view meaning;
};

// The whole usage: the tables and the prose around them, each paragraph one line of text.
struct Usage {
    std::string_view program;
    std::string_view synopsis;  // what follows the program's name on the usage line
    std::string_view description;
    std::span<const CommandUsage> commands;
    std::span<const OptionUsage> options;
    std::string_view optionsNote;  // a paragraph after the options
    std::string_view streams;      // what goes to stdout and what to stderr
    std::span<const ExitStatusUsage> exitStatuses;
};

const Usage& CliUsage();

// The option with this name, short or long; nullptr for none.
const OptionUsage* OptionNamed(std::string_view name);

std::string HelpText(const Usage& usage);

}  // namespace vek::cli
