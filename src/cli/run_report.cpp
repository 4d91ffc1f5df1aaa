#include "cli/run_report.h"

#include <nlohmann/json.hpp>

#include "device/device_table.h"
#include "device/hex_text.h"

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

}  // namespace

RunLogRow LogRowOf(const RunSummary& run, bool started) {
    RunLogRow row{
        run.startedAt,      run.record.boardSerial,
        DeviceName(run),    run.record.deviceWord,
        run.arguments.file, started ? run.record.serialToWrite : run.record.serialWritten};
    if (!started) {
        row.status = run.status;
        row.seconds = run.seconds;
        row.checksum = run.record.checksum;
    }
    return row;
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
