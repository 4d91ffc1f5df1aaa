#include "operations/run_log.h"

#include <charconv>
#include <chrono>
#include <cstdio>
#include <sstream>
#include <string_view>
#include <vector>

#include "device/device_table.h"
#include "device/hex_text.h"
#include "platform/utc_time.h"
#include "platform/utf8_path.h"
#include "platform/whole_file.h"
#include "session/job_file.h"

namespace vek {

namespace {

// The file's SHA-256 in lower-case hex, empty when it cannot be read.
std::string FileSha256Text(const std::string& path) {
    return path.empty() ? "" : Sha256OfFile(PathFromUtf8(path)).value_or("");
}

// A field quoted when it holds a comma, a quote or a line break, its quotes doubled. One that
// a spreadsheet would take for a formula (a board's serial number or a file name can begin
// like one) starts with a quote, which shows it as the text it is.
std::string CsvField(const std::string& field) {
    const std::string text =
        !field.empty() && std::string_view("=+-@").find(field[0]) != std::string_view::npos
            ? "'" + field
            : field;
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        return text;
    }
    std::string quoted = "\"";
    for (const char c : text) {
        quoted += c == '"' ? "\"\"" : std::string(1, c);
    }
    return quoted + "\"";
}

// The fields of one CSV line as CsvLine writes them, quotes undone.
std::vector<std::string> CsvFields(std::string_view line) {
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '"' && quoted && i + 1 < line.size() && line[i + 1] == '"') {
            fields.back() += '"';
            ++i;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (c == ',' && !quoted) {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

std::string CsvLine(const std::vector<std::string>& fields) {
    std::string line;
    for (const std::string& field : fields) {
        line += (line.empty() ? "" : ",") + CsvField(field);
    }
    return line + "\n";
}

// Whether the row's device word was read from a chip: not empty, and not what an empty socket
// answers (a Program or a command run on an empty socket logs that too).
bool ReadFromAChip(const DeviceInfo* target, const std::string& deviceWord) {
    int id = 0;
    const char* end = deviceWord.data() + deviceWord.size();
    const auto [last, error] = std::from_chars(deviceWord.data(), end, id, 16);
    if (deviceWord.empty() || error != std::errc() || last != end) {
        return false;
    }
    return target == nullptr || !IdOfEmptySocket(*target, id);
}

}  // namespace

LoopCounts CountsInLog(const std::string& file, const std::string& device,
                       const std::string& sha256, const std::string& day) {
    // A log begun before the checksum column was added has ten fields a row; its rows count.
    enum { TIME, BOARD, DEVICE, DEVICE_WORD, HEX_FILE, HEX_SHA256, SERIAL, OUTCOME, FIELDS = 10 };
    LoopCounts counts;
    std::istringstream lines(ReadWholeFile(PathFromUtf8(file)).value_or(""));
    for (std::string line; std::getline(lines, line);) {
        const std::vector<std::string> fields = CsvFields(line);
        if (fields.size() < FIELDS || !fields[TIME].starts_with(day) || fields[DEVICE] != device ||
            fields[HEX_SHA256] != sha256 ||
            !ReadFromAChip(DeviceNamed(device), fields[DEVICE_WORD]) ||
            fields[OUTCOME] == "started") {
            continue;
        }
        ++(fields[OUTCOME] == OutcomeName(EXIT_OK) ? counts.passed : counts.failed);
    }
    return counts;
}

LoopCounts TodaysCountsInLog(const std::string& file, const std::string& device,
                             const std::string& sha256) {
    return CountsInLog(file, device, sha256,
                       IsoTimeUtc(std::chrono::system_clock::now()).substr(0, 10));
}

std::string LogNotWrittenMessage(const std::string& file) {
    return "Error: the log " + file + " could not be written.";
}

std::optional<RunLog> RunLog::Open(const std::string& file, std::string& error) {
    LockedFile::Problem problem = LockedFile::Problem::None;
    std::optional<LockedFile> log =
        LockedFile::Open(PathFromUtf8(file), LockedFile::Mode::AppendOrCreate, problem);
    if (!log) {
        error = problem == LockedFile::Problem::NotRegular
                    ? "Error: the log " + file + " could not be written: it is not a regular file."
                    : LogNotWrittenMessage(file);
        return std::nullopt;
    }
    return RunLog(std::move(*log));
}

bool RunLog::Append(const RunLogRow& row) {
    const std::string header =
        CsvLine({"time", "board_serial", "device", "device_word", "hex_file", "hex_sha256",
                 "serial_number", "outcome", "exit_status", "seconds", "checksum"});
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.3f", row.seconds);
    const bool started = !row.status;
    const std::string line = CsvLine(
        {row.startedAt, row.boardSerial, row.device, row.deviceWord, row.hexFile,
         FileSha256Text(row.hexFile), row.serialNumber ? std::to_string(*row.serialNumber) : "",
         started ? "started" : OutcomeName(*row.status),
         started ? "" : std::to_string(static_cast<int>(*row.status)), started ? "" : seconds,
         started || !row.checksum ? "" : HexDigits(*row.checksum, 4)});
    return file_.Append(header, line);
}

}  // namespace vek
