#include "cli/run_report.h"

#include <cstdio>
#include <nlohmann/json.hpp>
#include <sstream>

#include "device/device_table.h"
#include "device/hex_text.h"
#include "link/attached_boards.h"
#include "platform/locked_file.h"
#include "platform/utf8_path.h"
#include "platform/whole_file.h"
#include "session/job_file.h"

namespace vek::cli {

namespace {

// A text, or null when there is none.
nlohmann::json TextOrNull(const std::string& text) {
    return text.empty() ? nlohmann::json(nullptr) : nlohmann::json(text);
}

// "3BFF", or empty when the run found none.
std::string ChecksumText(const RunRecord& record) {
    return record.checksum ? HexDigits(*record.checksum, 4) : "";
}

// -d's device, or the one -d auto found; empty until there is one.
std::string DeviceName(const RunSummary& run) {
    const int row = run.arguments.autoDevice ? run.record.autoDeviceRow : run.arguments.deviceRow;
    return row < 0 ? "" : std::string(DeviceTable[row].name);
}

// The file's SHA-256 in lower-case hex, empty when it cannot be read.
std::string Sha256Text(const std::string& path) {
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
            fields[HEX_SHA256] != sha256 || fields[DEVICE_WORD].empty() ||
            fields[OUTCOME] == "started") {
            continue;
        }
        ++(fields[OUTCOME] == OutcomeName(EXIT_OK) ? counts.passed : counts.failed);
    }
    return counts;
}

std::optional<RunLog> RunLog::Open(const std::string& file, std::string& error) {
    LockedFile::Problem problem = LockedFile::Problem::None;
    std::optional<LockedFile> log =
        LockedFile::Open(PathFromUtf8(file), LockedFile::Mode::AppendOrCreate, problem);
    if (!log) {
        error = "Error: the log " + file + " could not be written" +
                (problem == LockedFile::Problem::NotRegular ? ": it is not a regular file." : ".");
        return std::nullopt;
    }
    return RunLog(std::move(*log));
}

bool RunLog::AppendStarted(const RunSummary& run) {
    return Append(run, true);
}

bool RunLog::AppendFinished(const RunSummary& run) {
    return Append(run, false);
}

bool RunLog::Append(const RunSummary& run, bool started) {
    const std::string header =
        CsvLine({"time", "board_serial", "device", "device_word", "hex_file", "hex_sha256",
                 "serial_number", "outcome", "exit_status", "seconds", "checksum"});
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.3f", run.seconds);
    const std::string& file = run.arguments.file;
    const std::optional<unsigned>& serial =
        started ? run.record.serialToWrite : run.record.serialWritten;
    const std::string line =
        CsvLine({run.startedAt, run.record.boardSerial, DeviceName(run), run.record.deviceWord,
                 file, Sha256Text(file), serial ? std::to_string(*serial) : "",
                 started ? "started" : OutcomeName(run.status),
                 started ? "" : std::to_string(static_cast<int>(run.status)),
                 started ? "" : seconds, started ? "" : ChecksumText(run.record)});
    return file_.Append(header, line);
}

std::string JsonReport(const RunSummary& run) {
    const Arguments& arguments = run.arguments;
    nlohmann::json report = {
        {"command", TextOrNull(arguments.commandName)},
        {"device", TextOrNull(DeviceName(run))},
        {"board_serial", TextOrNull(run.record.boardSerial)},
        {"driver", TextOrNull(run.record.driver)},
        {"outcome", OutcomeName(run.status)},
        {"exit_status", static_cast<int>(run.status)},
        {"messages", run.messages},
        {"seconds", run.seconds},
        {"device_word", TextOrNull(run.record.deviceWord)},
        {"serial_number", run.record.serialWritten ? nlohmann::json(*run.record.serialWritten)
                                                   : nlohmann::json(nullptr)},
        {"checksum", TextOrNull(ChecksumText(run.record))},
    };
    report.update(run.record.found);
    // Invalid UTF-8 in a file name or a message is replaced rather than refused.
    return report.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace vek::cli
