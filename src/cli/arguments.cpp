#include "cli/arguments.h"

#include <algorithm>
#include <charconv>
#include <span>
#include <string_view>

#include "device/device_table.h"
#include "device/hex_text.h"
#include "platform/utf8_path.h"
#include "session/job_file.h"

namespace vek::cli {

namespace {

// One to four hexadecimal digits, "0x" before them allowed, no larger than max; no sign.
std::optional<int> ConfigurationWord(std::string_view text, int max) {
    if (text.starts_with("0x") || text.starts_with("0X")) {
        text.remove_prefix(2);
    }
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (text.empty() || text.size() > 4 || error != std::errc() ||
        end != text.data() + text.size() || value > static_cast<unsigned>(max)) {
        return std::nullopt;
    }
    return static_cast<int>(value);
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
            TakeOption(name, attached, words, i);
        }
        if (error_.empty() && !arguments_.help && !arguments_.version) {
            Check();
        }
        return {arguments_, error_, status_};
    }

  private:
    void TakeOption(const std::string& name, const std::optional<std::string>& attached,
                    const std::vector<std::string>& words, std::size_t& i) {
        const OptionUsage* option = OptionNamed(name);
        if (option == nullptr) {
            Fail("unknown option '" + name + "'");
        } else if (option->valueName.empty()) {
            if (attached) {
                Fail("option '" + name + "' takes no value");
            } else {
                Use(option->option, "");
            }
        } else if (attached) {
            Use(option->option, *attached);
        } else if (i + 1 < words.size()) {
            Use(option->option, words[++i]);
        } else {
            Fail("option '" + name + "' needs a value");
        }
    }

    // An option without a value comes with an empty one.
    void Use(Option option, const std::string& value) {
        switch (option) {
            case Option::Device:
                arguments_.autoDevice = value == AUTO_DEVICE;
                if (arguments_.autoDevice) {
                    arguments_.deviceRow = -1;
                } else if (const DeviceInfo* device = DeviceNamed(value)) {
                    arguments_.deviceRow = device->processorIndex;
                } else {
                    arguments_.deviceRow = -1;
                    Fail("unknown device '" + value + "'; one of " + DeviceNames(", ", ", "));
                }
                return;
            case Option::Output:
                // "-" is stdout, as without the option, for a pipe.
                arguments_.outputFile = value == "-" ? "" : value;
                used_.output = true;
                if (value.empty()) {
                    Fail("-o needs a file name, or - for stdout");
                }
                return;
            case Option::Config:
                words_.config = value;
                return;
            case Option::Fuse:
                words_.fuse = value;
                return;
            case Option::FuseX:
                words_.fuseX = value;
                return;
            case Option::NoErase:
                arguments_.noErase = true;
                used_.noErase = true;
                return;
            case Option::AllowCodeProtection:
                arguments_.allowCodeProtection = true;
                used_.allowCodeProtection = true;
                return;
            case Option::Verify:
                arguments_.verifyAfterProgram = true;
                return;
            case Option::Loop:
                arguments_.loop = true;
                return;
            case Option::Job:
                arguments_.jobFile = value;
                if (value.empty()) {
                    Fail("--job needs a job file");
                }
                return;
            case Option::Watch:
                arguments_.watch = true;
                return;
            case Option::Json:
                arguments_.json = true;
                return;
            case Option::SerialOverwrite:
                arguments_.serialOverwrite = true;
                return;
            case Option::PreserveEeprom:
                arguments_.preserveEeprom = true;
                return;
            case Option::Board:
                arguments_.board = value;
                if (value.empty()) {
                    Fail("--board needs the board's USB serial number");
                }
                return;
            case Option::Log:
                arguments_.logFile = value;
                if (value.empty()) {
                    Fail("--log needs a file name");
                }
                return;
            case Option::SerialNumber:
                arguments_.serialNumber = ParseSerialNumber(value);
                if (!arguments_.serialNumber) {
                    Fail("--serial-number '" + value + "' is no decimal number of 32 bits");
                }
                return;
            case Option::SerialFile:
                arguments_.serialFile = value;
                if (value.empty()) {
                    Fail("--serial-file needs a file name");
                }
                return;
            case Option::SerialAt: {
                std::string error;
                arguments_.serialAt = ParseSerialPlace(value, error);
                if (!arguments_.serialAt) {
                    Fail("--serial-at '" + value + "': " + error);
                }
                return;
            }
            case Option::Progress:
                if (value == "plain") {
                    arguments_.progress = ProgressStyle::Plain;
                } else if (value != "auto") {
                    Fail("--progress '" + value + "': plain or auto");
                }
                return;
            case Option::Driver:
                if (const auto choice = ParseUsbDriverChoice(value)) {
                    arguments_.driver = *choice;
                } else {
                    Fail("unknown driver '" + value + "'; one of " + AUTO_USB_DRIVER + ", " +
                         UsbDriverKeys(", ", ", "));
                }
                return;
            case Option::All:
                arguments_.all = true;
                return;
            case Option::Quiet:
                arguments_.quiet = true;
                return;
            case Option::Help:
                arguments_.help = true;
                return;
            case Option::Version:
                arguments_.version = true;
                return;
        }
    }

    void Check() {
        if (positional_.empty()) {
            Fail("no command given");
            return;
        }
        const std::span<const CommandUsage> commands = CliUsage().commands;
        const auto named = std::find_if(commands.begin(), commands.end(), [&](const auto& entry) {
            return entry.name == positional_.front();
        });
        if (named == commands.end()) {
            Fail("unknown command '" + positional_.front() + "'");
            return;
        }
        arguments_.command = named->command;
        arguments_.commandName = named->name;
        const std::string command(named->name);
        const std::size_t files = positional_.size() - 1;
        const bool takesFile = !named->argument.empty();
        const bool savesJob = arguments_.command == Command::SaveJob;
        const bool fromJob = arguments_.command == Command::Program && !arguments_.jobFile.empty();
        if (savesJob && files != 2) {
            Fail("save-job needs the job file to write and one HEX file");
            return;
        }
        if (takesFile && !savesJob && files != 1 && !(fromJob && files == 0)) {
            Fail(command + " needs one HEX file");
            return;
        }
        if (!takesFile && files != 0) {
            Fail(command + " takes no file: '" + positional_[1] + "'");
            return;
        }
        if (savesJob && !arguments_.jobFile.empty()) {
            Fail("--job belongs to program, not to save-job");
            return;
        }
        if (savesJob) {
            arguments_.jobFile = positional_[1];
        }
        if (files > 0) {
            arguments_.file = positional_.back();
        }
        if (arguments_.watch && (arguments_.loop || !arguments_.jobFile.empty())) {
            Fail("--watch programs the file it watches: --loop and --job are runs of their own");
            return;
        }
        if (fromJob && !TakeJob()) {
            return;
        }
        if (named->needsDevice && arguments_.deviceRow < 0 && !arguments_.autoDevice) {
            Fail(command + " needs the device: -d NAME");
            return;
        }
        if (arguments_.autoDevice && arguments_.command != Command::Id &&
            arguments_.command != Command::Read && arguments_.command != Command::Verify) {
            Fail("-d auto belongs to id, read and verify, not to " + command);
            return;
        }
        CheckOptionsBelongTo(command);
        if (error_.empty() && takesFile) {
            CheckConfigurationWords();
        }
        if (error_.empty() && (arguments_.command == Command::Program || savesJob)) {
            CheckSerialNumber();
        }
        if (error_.empty() && job_) {
            CheckWordsAgainstJob();
        }
        if (error_.empty() && arguments_.preserveEeprom &&
            DeviceTable[arguments_.deviceRow].eepromBytes == 0) {
            Fail("an " + std::string(DeviceTable[arguments_.deviceRow].name) +
                 " has no EEPROM to preserve");
        }
        // Every chip of the loop is verified: its PASS says so.
        arguments_.verifyAfterProgram = arguments_.verifyAfterProgram || arguments_.loop;
    }

    // The job's fields where the command line gives none; a device or HEX file of its own
    // contradicts the job. False after the failure.
    bool TakeJob() {
        std::string error;
        job_ = ReadJobFile(PathFromUtf8(arguments_.jobFile), error);
        if (!job_) {
            error_ = error;
            status_ = EXIT_HEX_FILE;
            return false;
        }
        const std::string jobName = "the job " + arguments_.jobFile;
        const int row = job_->target.processorIndex;
        if (arguments_.deviceRow >= 0 && arguments_.deviceRow != row) {
            Fail("--device " + std::string(DeviceTable[arguments_.deviceRow].name) +
                 " contradicts " + jobName + ", which is for the " +
                 std::string(job_->target.name));
            return false;
        }
        arguments_.deviceRow = row;
        const std::string jobHex = Utf8FromPath(job_->hexFile);
        std::error_code unknown;
        if (!arguments_.file.empty() &&
            !std::filesystem::equivalent(PathFromUtf8(arguments_.file), job_->hexFile, unknown)) {
            Fail(arguments_.file + " contradicts " + jobName + ", which programs " + jobHex);
            return false;
        }
        arguments_.file = jobHex;
        arguments_.pinnedSha256 = job_->hexSha256;
        arguments_.noErase = arguments_.noErase || !job_->eraseBeforeProgram;
        arguments_.verifyAfterProgram = arguments_.verifyAfterProgram || job_->verify;
        arguments_.preserveEeprom = arguments_.preserveEeprom || job_->preserveEeprom;
        arguments_.allowCodeProtection =
            arguments_.allowCodeProtection || job_->allowCodeProtection;
        return TakeJobSerialNumberAndLog(jobName);
    }

    bool TakeJobSerialNumberAndLog(const std::string& jobName) {
        if (!job_->serialAt.empty()) {
            std::string error;
            const std::optional<SerialPlace> place = ParseSerialPlace(job_->serialAt, error);
            if (!place) {
                error_ = "Error: " + arguments_.jobFile + " is no VEK Flash job: serial_at '" +
                         job_->serialAt + "': " + error;
                status_ = EXIT_HEX_FILE;
                return false;
            }
            if (arguments_.serialAt && *arguments_.serialAt != *place) {
                Fail("--serial-at contradicts " + jobName + ", which places the number at " +
                     job_->serialAt);
                return false;
            }
            arguments_.serialAt = place;
        }
        arguments_.serialOverwrite = arguments_.serialOverwrite || job_->serialOverwrite;
        if (!arguments_.serialNumber && arguments_.serialFile.empty()) {
            arguments_.serialFile = Utf8FromPath(job_->serialFile);
        }
        if (arguments_.logFile.empty()) {
            arguments_.logFile = Utf8FromPath(job_->logFile);
        }
        return true;
    }

    // A configuration word given as well must be the job's; one left out is the job's.
    void CheckWordsAgainstJob() {
        const bool isSx = job_->target.family == TargetFamily::SX;
        std::optional<int>& fuse = isSx ? arguments_.fuse : arguments_.config;
        for (auto [given, pinned, option] :
             {std::tuple{&fuse, job_->words.fuse, isSx ? "--fuse" : "--config"},
              std::tuple{&arguments_.fuseX, job_->words.fuseX, "--fusex"}}) {
            if (!isSx && given == &arguments_.fuseX) {
                continue;
            }
            if (*given && *given != pinned) {
                Fail(std::string(option) + " " + WordText(job_->target, **given) +
                     " contradicts the job " + arguments_.jobFile + ", which writes " +
                     WordText(job_->target, pinned.value_or(0)));
                return;
            }
            *given = pinned;
        }
    }

    // save-job takes program's options, to keep them in the job.
    void CheckOptionsBelongTo(const std::string& command) {
        const Command c = arguments_.command;
        const bool programs = c == Command::Program || c == Command::SaveJob;
        if (used_.noErase && !programs) {
            Fail("--no-erase belongs to program, not to " + command);
        } else if (used_.allowCodeProtection && !programs) {
            Fail("--allow-code-protection belongs to program, not to " + command);
        } else if (arguments_.all && c != Command::Verify) {
            Fail("--all belongs to verify, not to " + command);
        } else if (arguments_.verifyAfterProgram && !programs) {
            Fail("--verify belongs to program, not to " + command);
        } else if (arguments_.watch && c != Command::Program) {
            Fail("--watch belongs to program, not to " + command);
        } else if (arguments_.watch &&
                   (arguments_.json || !arguments_.logFile.empty() || arguments_.serialNumber ||
                    !arguments_.serialFile.empty())) {
            Fail(
                "--watch programs one chip again and again: --json, --log and serial numbers "
                "belong to runs of their own");
        } else if (arguments_.preserveEeprom && !programs) {
            Fail("--preserve-eeprom belongs to program, not to " + command);
        } else if ((arguments_.serialNumber || !arguments_.serialFile.empty() ||
                    arguments_.serialAt || arguments_.serialOverwrite) &&
                   !programs) {
            Fail("serial numbers belong to program, not to " + command);
        } else if (arguments_.serialNumber && c == Command::SaveJob) {
            Fail("a job numbers its chips from --serial-file, not --serial-number");
        } else if (arguments_.loop && c != Command::Program) {
            Fail("--loop belongs to program, not to " + command);
        } else if (!arguments_.jobFile.empty() && !programs) {
            Fail("--job belongs to program, not to " + command);
        } else if (used_.output && c != Command::Read) {
            Fail("-o belongs to read, not to " + command);
        } else if ((words_.config || words_.fuse || words_.fuseX) && !programs &&
                   c != Command::Verify && c != Command::Checksum) {
            Fail("configuration words belong to program, verify and checksum, not to " + command);
        }
    }

    void CheckConfigurationWords() {
        // -d auto finds a PIC16 only; every PIC16 has the same configuration word.
        const DeviceInfo& target =
            arguments_.autoDevice ? FirstAutoDevice() : DeviceTable[arguments_.deviceRow];
        const bool isSx = target.family == TargetFamily::SX;
        const std::string device =
            arguments_.autoDevice ? "PIC16 of -d auto" : std::string(target.name);
        if (isSx && words_.config) {
            Fail("--config is the PIC16 configuration word; an " + device +
                 " has --fuse and --fusex");
            return;
        }
        if (!isSx && (words_.fuse || words_.fuseX)) {
            Fail("--fuse and --fusex are SX words; a " + device + " has --config");
            return;
        }
        // Only the target's own words are left; none may be wider than its words.
        Word("--config", words_.config, target.WordMask(), arguments_.config);
        Word("--fuse", words_.fuse, target.WordMask(), arguments_.fuse);
        Word("--fusex", words_.fuseX, target.WordMask(), arguments_.fuseX);
    }

    void CheckSerialNumber() {
        const bool numbered = arguments_.serialNumber || !arguments_.serialFile.empty();
        if (arguments_.serialNumber && !arguments_.serialFile.empty()) {
            Fail("--serial-number and --serial-file both give the number; give one");
        } else if (numbered != arguments_.serialAt.has_value()) {
            Fail(numbered ? "a serial number needs its place: --serial-at eeprom:LOC[:BYTES] or id"
                          : "--serial-at needs --serial-number or --serial-file");
        } else if (arguments_.serialOverwrite && !numbered) {
            Fail("--serial-overwrite needs --serial-number or --serial-file");
        }
        if (!error_.empty() || !numbered) {
            return;
        }
        const DeviceInfo& device = DeviceTable[arguments_.deviceRow];
        const SerialPlace& place = *arguments_.serialAt;
        const SerialPlaceFit fit = FitOfSerialPlace(place, device);
        if (fit == SerialPlaceFit::NoPlaceOnSx) {
            Fail("an " + std::string(device.name) +
                 " has no EEPROM and no ID locations for a serial number");
        } else if (fit == SerialPlaceFit::BeyondEeprom) {
            Fail("--serial-at eeprom:" + std::to_string(place.location) + ":" +
                 std::to_string(place.bytes) + " lies beyond the " +
                 std::to_string(device.eepromBytes) + " EEPROM bytes of the " +
                 std::string(device.name));
        } else if (arguments_.serialNumber && *arguments_.serialNumber > LargestSerialAt(place)) {
            Fail("serial number " + std::to_string(*arguments_.serialNumber) +
                 " does not fit its place, which holds at most " +
                 std::to_string(LargestSerialAt(place)));
        }
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
                 HexDigits(static_cast<unsigned>(max), 1));
        }
    }

    void Fail(const std::string& message) {
        if (error_.empty()) {
            error_ = message;
        }
    }

    struct Used {
        bool noErase = false;
        bool allowCodeProtection = false;
        bool output = false;
    };
    struct WordTexts {
        std::optional<std::string> config;
        std::optional<std::string> fuse;
        std::optional<std::string> fuseX;
    };

    Arguments arguments_;
    std::optional<ProductionJob> job_;  // of program --job
    ExitStatus status_ = EXIT_USAGE;
    std::vector<std::string> positional_;
    Used used_;
    WordTexts words_;
    std::string error_;
};

}  // namespace

const DeviceInfo& FirstAutoDevice() {
    return *std::find_if(DeviceTable.begin(), DeviceTable.end(),
                         [](const DeviceInfo& device) { return device.family == AUTO_FAMILY; });
}

ParsedArguments ParseArguments(const std::vector<std::string>& words) {
    return Parser().Parse(words);
}

}  // namespace vek::cli
