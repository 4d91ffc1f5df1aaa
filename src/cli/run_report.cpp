#include "cli/run_report.h"

#include <nlohmann/json.hpp>

#include "device/device_table.h"
#include "link/attached_boards.h"

namespace vek::cli {

namespace {

// A text, or null when there is none.
nlohmann::json TextOrNull(const std::string& text) {
    return text.empty() ? nlohmann::json(nullptr) : nlohmann::json(text);
}

}  // namespace

std::string JsonReport(const RunSummary& run) {
    const Arguments& arguments = run.arguments;
    nlohmann::json report = {
        {"command", TextOrNull(arguments.commandName)},
        {"device", arguments.deviceRow < 0
                       ? nlohmann::json(nullptr)
                       : nlohmann::json(DeviceTable[arguments.deviceRow].name)},
        {"board_serial", TextOrNull(run.record.boardSerial)},
        {"driver", D2XX_DRIVER_NAME},
        {"outcome", OutcomeName(run.status)},
        {"exit_status", static_cast<int>(run.status)},
        {"messages", run.messages},
        {"seconds", run.seconds},
        {"device_word", TextOrNull(run.record.deviceWord)},
        {"serial_number", run.record.serialWritten ? nlohmann::json(*run.record.serialWritten)
                                                   : nlohmann::json(nullptr)},
    };
    report.update(run.record.found);
    // Invalid UTF-8 in a file name or a message is replaced rather than refused.
    return report.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace vek::cli
