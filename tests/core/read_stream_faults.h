// Faults in the memory blocks of a 16F84A read stream, which Read and Verify's read-back
// report alike. Reads of either command in order: BEGIN ack 0, reply 1, READ_ID ack 2, ID 3,
// READ ack 4, first byte 5, configuration 6, the byte after it 7, program blocks 8 to 39, the
// extra byte 40, EEPROM block 41. Writes: BEGIN 0, READ_ID 1, READ 2, the program blocks'
// acknowledgements 3 to 34, the EEPROM block's 35.
#pragma once

#include <string>
#include <vector>

#include "sim_fixture.h"

namespace vek::test {

struct BlockFault {
    const char* name;
    Injection inject;
    std::string message;
};

inline Injection ShortBlockThen(Injection then) {
    return [then](SimControl& s) {
        s.ShortReadBlock(1, 1, 10);
        then(s);
    };
}

inline std::vector<BlockFault> MemoryBlockFaults() {
    const std::string programWriteFailed = "Could not WRITE the device during program memory read.";
    return {
        {"short twice", [](SimControl& s) { s.ShortReadBlock(1, 2, 10); },
         "Could not read from device. (64)"},
        // After the short block and the one drain read that finds nothing.
        {"resend unreadable", ShortBlockThen(FailRead(11)), "Could not read from device. (T4)"},
        {"resend not written", ShortBlockThen(FailWrite(4)), programWriteFailed},
        {"program acknowledgement", FailWrite(3), programWriteFailed},
        {"EEPROM unreadable", FailRead(41), "Could not read from device. (T9)"},
        {"EEPROM short", [](SimControl& s) { s.ShortEepromBlock(0, 10); },
         "Could not read from device. (128)"},
        {"EEPROM acknowledgement", FailWrite(35),
         "Could not WRITE the programmer during EEPROM read."},
    };
}

}  // namespace vek::test
