// The scan of a HEX file, with and without taking the configuration words of its records, for
// a PIC16 and an SX target.
#include <cstddef>
#include <cstdint>

#include "fuzz_input.h"
#include "session/hex_file_open.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vek;
    const std::string path = fuzz::WriteInput(data, size);
    const int lines = fuzz::CountLines(data, size);
    for (const int row : {0, 8}) {  // 16F84A, SX28
        for (const bool extractConfig : {false, true}) {
            int lineNo = -1;
            HexScanResult result = HexScanResult::Ok;
            if (extractConfig) {
                const HexFileScan scan = ScanWithWords(DeviceTable[row], path);
                result = scan.result;
                lineNo = scan.lineNo;
            } else {
                result = ScanHexFile(path, DeviceTable[row], nullptr, lineNo);
            }
            fuzz::Require(result == HexScanResult::Ok || result == HexScanResult::ChecksumError ||
                              result == HexScanResult::TooLarge || result == HexScanResult::NoData,
                          "the scan opens the file and gives one of its results");
            if (result == HexScanResult::ChecksumError) {
                fuzz::Require(lineNo >= 1 && lineNo <= lines, "the failing line is in the file");
            } else {
                fuzz::Require(lineNo == lines, "the scan counts every line");
            }
        }
    }
    return 0;
}
