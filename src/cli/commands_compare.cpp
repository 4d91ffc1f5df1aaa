// verify, checksum and read: the chip compared with a file, or read into one.
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "cli/command_run.h"
#include "device/hex_text.h"
#include "device/hex_writer.h"
#include "operations/program.h"
#include "operations/read.h"
#include "operations/verify.h"
#include "platform/utf8_path.h"
#include "platform/whole_file.h"

namespace vek::cli {

namespace {

// One place where the chip differs, as verify --all lists it and --json gives it.
struct DifferenceText {
    std::string kind, address, expected, read;
};

// The address is the word address, an EEPROM byte's its location.
DifferenceText DescribeDifference(const ImageDifference& difference, const DeviceInfo& target) {
    const bool isSx = target.family == TargetFamily::SX;
    std::string kind = "program";
    int address = difference.address;
    int digits = target.WordDigits();
    switch (difference.kind) {
        case DifferenceKind::ProgramWord:
            break;
        case DifferenceKind::FuseXWord:
            kind = "fusex";
            break;
        case DifferenceKind::FuseWord:
            kind = isSx ? "fuse" : "config";
            break;
        case DifferenceKind::EepromByte:
            kind = "eeprom";
            address -= EEPROM_ADDR;
            digits = 2;
            break;
    }
    return {kind, HexDigits(static_cast<unsigned>(address), 4),
            HexDigits(static_cast<unsigned>(difference.expected), digits),
            HexDigits(static_cast<unsigned>(difference.read), digits)};
}

}  // namespace

ExitStatus CommandRun::Verify() {
    if (!arguments_.autoDevice) {
        if (const ExitStatus chosen = ChooseFile(); chosen != EXIT_OK) {
            return chosen;
        }
    }
    if (const std::optional<ExitStatus> refused = ReachTarget()) {
        return *refused;
    }
    if (arguments_.autoDevice) {
        if (const ExitStatus found = FindAutoDevice(); found != EXIT_OK) {
            return found;
        }
        if (const ExitStatus chosen = ChooseFile(); chosen != EXIT_OK) {
            return chosen;
        }
    }
    return CompareWithTarget({Target(), file_, words_, overlay_});
}

ExitStatus CommandRun::CompareWithTarget(const VerifyRequest& request) {
    reporter_.SetProgressLabel("verify");
    const OperationResult result = Noted(vek::Verify(programmer_, request));
    reporter_.FinishProgress(result.Succeeded());
    if (arguments_.command == Command::Verify && result.readBack) {
        record_.checksum = ChecksumOfRead(*result.readBack);
    }
    if (result.outcome == Outcome::Mismatch || result.Succeeded()) {
        ListDifferences(result.differences);
    }
    return StatusOf(result);
}

void CommandRun::ListDifferences(const std::vector<ImageDifference>& differences) {
    nlohmann::json found = nlohmann::json::array();
    std::string lines;
    for (const ImageDifference& difference : differences) {
        const DifferenceText text = DescribeDifference(difference, Target());
        lines += text.kind + " " + text.address + ": expected " + text.expected + ", read " +
                 text.read + "\n";
        found.push_back({{"kind", text.kind},
                         {"address", text.address},
                         {"expected", text.expected},
                         {"read", text.read}});
    }
    record_.found["differences"] = found;
    if (arguments_.all) {
        Result(lines + std::to_string(differences.size()) + " difference" +
               (differences.size() == 1 ? "" : "s") + "\n");
    }
}

ExitStatus CommandRun::Checksum() {
    if (const ExitStatus chosen = ChooseFile(); chosen != EXIT_OK) {
        return chosen;
    }
    record_.checksum = ProgramChecksum({Target(), file_, words_});
    if (!record_.checksum) {
        // The file has changed since its scan.
        reporter_.ShowMessage("The hex file " + file_.name + " could not be opened.");
        return EXIT_HEX_FILE;
    }
    Result(HexDigits(*record_.checksum, 4) + "\n");
    return EXIT_OK;
}

std::string CommandRun::OutputProblem() const {
    const std::filesystem::path output = PathFromUtf8(arguments_.outputFile);
    if (const std::filesystem::path folder = output.parent_path();
        !folder.empty() && !std::filesystem::is_directory(folder)) {
        return "there is no folder " + Utf8FromPath(folder);
    }
    std::error_code error;
    const bool link = std::filesystem::is_symlink(output, error);
    const std::filesystem::file_type type = std::filesystem::status(output, error).type();
    if ((link || type != std::filesystem::file_type::not_found) &&
        type != std::filesystem::file_type::regular) {
        return "it is not a regular file";
    }
    return "";
}

ExitStatus CommandRun::Read() {
    if (!arguments_.outputFile.empty()) {
        if (const std::string problem = OutputProblem(); !problem.empty()) {
            reporter_.ShowMessage("Error: " + arguments_.outputFile +
                                  " could not be written: " + problem + ".");
            return EXIT_HEX_FILE;
        }
    }
    if (const std::optional<ExitStatus> refused = ReachTarget()) {
        return *refused;
    }
    if (const ExitStatus found = FindAutoDevice(); found != EXIT_OK) {
        return found;
    }
    reporter_.SetProgressLabel("read");
    const OperationResult result = Noted(vek::Read(programmer_, {Target()}));
    reporter_.FinishProgress(result.Succeeded());
    if (!result.Succeeded() || !result.readBack) {
        return StatusOf(result);
    }
    const ReadContents& read = *result.readBack;
    record_.checksum = ChecksumOfRead(read);
    const std::string text = HexFileText(read.image, read.target, read.words);
    if (arguments_.outputFile.empty()) {
        Result(text);
        record_.found["file"] = nullptr;
        record_.found["hex"] = text;
        return EXIT_OK;
    }
    if (!ReplaceWholeFile(PathFromUtf8(arguments_.outputFile), text)) {
        reporter_.ShowMessage("Error: " + arguments_.outputFile + " could not be written.");
        return EXIT_HEX_FILE;
    }
    record_.found["file"] = arguments_.outputFile;
    return EXIT_OK;
}

}  // namespace vek::cli
