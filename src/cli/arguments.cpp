#include "cli/arguments.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <string_view>

#include "device/device_table.h"

namespace vek::cli {

namespace {

constexpr int PIC16_WORD_MAX = 0x3FFF;
constexpr int SX_WORD_MAX = 0xFFF;

struct CommandName {
    std::string_view name;
    Command command;
    bool takesFile;
};
constexpr std::array<CommandName, 7> COMMANDS = {{
    {"detect", Command::Detect, false},
    {"id", Command::Id, false},
    {"blank", Command::Blank, false},
    {"erase", Command::Erase, false},
    {"program", Command::Program, true},
    {"verify", Command::Verify, true},
    {"read", Command::Read, false},
}};

// Options that take a value, by every name they have.
enum class ValueOption { Device, Output, Config, Fuse, FuseX, Driver };

bool SameLetters(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::toupper(static_cast<unsigned char>(x)) ==
               std::toupper(static_cast<unsigned char>(y));
    });
}

int DeviceRowNamed(std::string_view name) {
    for (const DeviceInfo& device : DeviceTable) {
        if (SameLetters(device.name, name)) {
            return device.processorIndex;
        }
    }
    return -1;
}

// One to four hexadecimal digits, "0x" before them allowed, no larger than max.
std::optional<int> ConfigurationWord(std::string_view text, int max) {
    if (text.starts_with("0x") || text.starts_with("0X")) {
        text.remove_prefix(2);
    }
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (text.empty() || text.size() > 4 || error != std::errc() ||
        end != text.data() + text.size() || value > max) {
        return std::nullopt;
    }
    return value;
}

class Parser {
  public:
    ParsedArguments Parse(const std::vector<std::string>& words) {
        for (std::size_t i = 0; i < words.size() && error_.empty(); ++i) {
            const std::string& word = words[i];
            if (word == "--") {
                positional_.insert(positional_.end(), words.begin() + static_cast<long>(i) + 1,
                                   words.end());
                break;
            }
            if (word.size() < 2 || word[0] != '-') {
                positional_.push_back(word);
                continue;
            }
            const bool isLong = word[1] == '-';
            const std::size_t equals = word.find('=');
            const std::string name = isLong ? word.substr(0, equals) : word.substr(0, 2);
            std::optional<std::string> attached;
            if (isLong && equals != std::string::npos) {
                attached = word.substr(equals + 1);
            } else if (!isLong && word.size() > 2) {
                attached = word.substr(2);
            }
            Option(name, attached, words, i);
        }
        if (error_.empty() && !arguments_.help && !arguments_.version) {
            Check();
        }
        return {arguments_, error_};
    }

  private:
    void Option(const std::string& name, const std::optional<std::string>& attached,
                const std::vector<std::string>& words, std::size_t& i) {
        const std::optional<ValueOption> valueOption = ValueOptionNamed(name);
        if (!valueOption) {
            if (attached) {
                Fail("option '" + name + "' takes no value");
            } else {
                Flag(name);
            }
            return;
        }
        if (attached) {
            Value(*valueOption, *attached);
        } else if (i + 1 < words.size()) {
            Value(*valueOption, words[++i]);
        } else {
            Fail("option '" + name + "' needs a value");
        }
    }

    static std::optional<ValueOption> ValueOptionNamed(const std::string& name) {
        if (name == "-d" || name == "--device") {
            return ValueOption::Device;
        }
        if (name == "-o" || name == "--output") {
            return ValueOption::Output;
        }
        if (name == "--config") {
            return ValueOption::Config;
        }
        if (name == "--fuse") {
            return ValueOption::Fuse;
        }
        if (name == "--fusex") {
            return ValueOption::FuseX;
        }
        if (name == "--driver") {
            return ValueOption::Driver;
        }
        return std::nullopt;
    }

    void Flag(const std::string& name) {
        if (name == "--no-erase") {
            arguments_.noErase = true;
            used_.noErase = true;
        } else if (name == "--all") {
            arguments_.all = true;
        } else if (name == "-q" || name == "--quiet") {
            arguments_.quiet = true;
        } else if (name == "-h" || name == "--help") {
            arguments_.help = true;
        } else if (name == "--version") {
            arguments_.version = true;
        } else {
            Fail("unknown option '" + name + "'");
        }
    }

    void Value(ValueOption option, const std::string& value) {
        switch (option) {
            case ValueOption::Device:
                arguments_.deviceRow = DeviceRowNamed(value);
                if (arguments_.deviceRow < 0) {
                    Fail("unknown device '" + value +
                         "'; one of 16F84A, 16F870, 16F871, 16F872, 16F873, 16F874, 16F876, "
                         "16F877, SX28, SX48");
                }
                return;
            case ValueOption::Output:
                arguments_.outputFile = value;
                used_.output = true;
                return;
            case ValueOption::Config:
                words_.config = value;
                return;
            case ValueOption::Fuse:
                words_.fuse = value;
                return;
            case ValueOption::FuseX:
                words_.fuseX = value;
                return;
            case ValueOption::Driver:
                if (const auto choice = ParseUsbDriverChoice(value)) {
                    arguments_.driver = *choice;
                } else {
                    Fail("unknown driver '" + value + "'; one of auto, d2xx, libftdi");
                }
                return;
        }
    }

    void Check() {
        if (positional_.empty()) {
            Fail("no command given");
            return;
        }
        const auto named = std::find_if(COMMANDS.begin(), COMMANDS.end(), [&](const auto& entry) {
            return entry.name == positional_.front();
        });
        if (named == COMMANDS.end()) {
            Fail("unknown command '" + positional_.front() + "'");
            return;
        }
        arguments_.command = named->command;
        const std::string command(named->name);
        const std::size_t files = positional_.size() - 1;
        if (named->takesFile && files != 1) {
            Fail(command + " needs one HEX file");
            return;
        }
        if (!named->takesFile && files != 0) {
            Fail(command + " takes no file: '" + positional_[1] + "'");
            return;
        }
        if (named->takesFile) {
            arguments_.file = positional_[1];
        }
        if (arguments_.command != Command::Detect && arguments_.deviceRow < 0) {
            Fail(command + " needs the device: -d NAME");
            return;
        }
        CheckOptionsBelongTo(command);
        if (error_.empty() && named->takesFile) {
            CheckConfigurationWords();
        }
    }

    void CheckOptionsBelongTo(const std::string& command) {
        const Command c = arguments_.command;
        if (used_.noErase && c != Command::Program) {
            Fail("--no-erase belongs to program, not to " + command);
        } else if (arguments_.all && c != Command::Verify) {
            Fail("--all belongs to verify, not to " + command);
        } else if (used_.output && c != Command::Read) {
            Fail("-o belongs to read, not to " + command);
        } else if ((words_.config || words_.fuse || words_.fuseX) && c != Command::Program &&
                   c != Command::Verify) {
            Fail("configuration words belong to program and verify, not to " + command);
        }
    }

    void CheckConfigurationWords() {
        const bool isSx = FamilyOfIndex(arguments_.deviceRow) == TargetFamily::SX;
        const std::string device(DeviceTable[arguments_.deviceRow].name);
        if (isSx && words_.config) {
            Fail("--config is the PIC16 configuration word; an " + device +
                 " has --fuse and --fusex");
            return;
        }
        if (!isSx && (words_.fuse || words_.fuseX)) {
            Fail("--fuse and --fusex are SX words; a " + device + " has --config");
            return;
        }
        Word("--config", words_.config, PIC16_WORD_MAX, arguments_.config);
        Word("--fuse", words_.fuse, SX_WORD_MAX, arguments_.fuse);
        Word("--fusex", words_.fuseX, SX_WORD_MAX, arguments_.fuseX);
    }

    void Word(const char* option, const std::optional<std::string>& text, int max,
              std::optional<int>& word) {
        if (!text || !error_.empty()) {
            return;
        }
        word = ConfigurationWord(*text, max);
        if (!word) {
            Fail(std::string(option) + " '" + *text +
                 "' is no configuration word: 1 to 4 hexadecimal digits, at most " +
                 (max == PIC16_WORD_MAX ? "3FFF" : "FFF"));
        }
    }

    void Fail(const std::string& message) {
        if (error_.empty()) {
            error_ = message;
        }
    }

    struct Used {
        bool noErase = false;
        bool output = false;
    };
    struct WordTexts {
        std::optional<std::string> config;
        std::optional<std::string> fuse;
        std::optional<std::string> fuseX;
    };

    Arguments arguments_;
    std::vector<std::string> positional_;
    Used used_;
    WordTexts words_;
    std::string error_;
};

}  // namespace

ParsedArguments ParseArguments(const std::vector<std::string>& words) {
    return Parser().Parse(words);
}

std::string HelpText() {
    return R"(Usage: vekflash-cli [options] COMMAND

Runs the VEK Flash programmer from the command line, with the same operations and
messages as the window.

Commands:
  detect          is a programmer attached, and does it answer?
  id              the chip's device word and the devices it fits
  blank           is the chip's program memory blank?
  erase           erase the chip, then check that it is blank
  program FILE    write the HEX file and the configuration words into the chip
  verify FILE     compare the chip with the HEX file and the configuration words
  read            read the chip as an Intel HEX file, to stdout or to the file of -o

Options:
  -d, --device NAME  the chip in the socket: 16F84A, 16F870, 16F871, 16F872, 16F873,
                     16F874, 16F876, 16F877, SX28 or SX48, in any letter case; every
                     command but detect needs it
  -o, --output FILE  read: write the HEX file FILE instead of stdout
      --no-erase     program: refuse a chip that is not blank instead of erasing it
      --config HEX   program, verify: the PIC16 configuration word
      --fuse HEX     program, verify: the SX FUSE word
      --fusex HEX    program, verify: the SX FUSEX word
                     Without them the words come from the file's configuration records;
                     a file without them needs these options.
      --all          verify: list every difference, not only the first
      --driver NAME  the USB driver: auto (the default: D2XX when its library is
                     installed, else libftdi1), d2xx or libftdi
  -q, --quiet        no progress bar, and the messages only when the command fails
      --version      print the version
  -h, --help         print this help

Messages go to stderr, with a progress bar when stderr is a terminal. Results go to
stdout: the USB driver in use (detect), the device word and the devices it fits (id),
the HEX file (read without -o), and every difference with their count (verify --all).

Exit status:
  0  success
  1  verify found a difference, or the chip is not blank
  2  the command line cannot be used
  3  the HEX file is missing, has a checksum error or is too large for the chip, or
     the file of -o cannot be written
  4  no programmer, or the communication with it failed
  5  the chip's device ID differs from --device
)";
}

}  // namespace vek::cli
