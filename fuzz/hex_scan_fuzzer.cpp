// The scan of a HEX file, with and without taking its configuration records into the fields,
// for a PIC16 and an SX target.
#include <cstddef>
#include <cstdint>

#include "fuzz_input.h"
#include "memory_settings.h"
#include "recording_ui.h"
#include "session/hex_file_open.h"
#include "session/session.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vek;
    static test::RecordingUi ui;
    static test::MemorySettings settings;
    static Session session(ui, settings);

    session.HexFilePath = fuzz::WriteInput(data, size);
    const int lines = fuzz::CountLines(data, size);
    for (const int row : {0, 8}) {  // 16F84A, SX28
        ui.selectedRow = row;
        for (const bool extractConfig : {false, true}) {
            int lineNo = -1;
            const HexScanResult result = ScanHexFile(session, extractConfig, lineNo);
            fuzz::Require(result == HEX_OK || result == HEX_CHECKSUM_ERROR ||
                              result == HEX_TOO_LARGE || result == HEX_NO_DATA,
                          "the scan opens the file and gives one of its results");
            if (result == HEX_CHECKSUM_ERROR) {
                fuzz::Require(lineNo >= 1 && lineNo <= lines, "the failing line is in the file");
            } else {
                fuzz::Require(lineNo == lines, "the scan counts every line");
            }
        }
    }
    // Only what the last input set counts; the window's record would grow without end.
    ui.messages.clear();
    ui.events.clear();
    settings.Clear();
    return 0;
}
