// What each device operation is asked to do: its target from the chip table, and what else it
// works from (the HEX file, the configuration words, its options). The window builds them from
// its controls, the command line from its arguments; an option is one more field.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "device/device_table.h"
#include "device/image_compare.h"
#include "device/memory_image.h"
#include "session/workspace.h"

namespace vek {

// What a word that is absent is sent and expected as where the exchange needs one: the value
// the window's "---" has always stood for (a PIC16 has no FUSEX word, yet its frame carries
// one).
inline constexpr int ABSENT_WORD_VALUE = -3;

struct BlankCheckRequest {
    DeviceInfo target;
};

struct EraseRequest {
    DeviceInfo target;
};

// The HEX file a production job expects, by its SHA-256 (64 lower-case hex digits), and the
// job's file, named when the file is another.
struct PinnedHexFile {
    std::string sha256;
    std::string jobFile;
};

struct ProgramRequest {
    DeviceInfo target;
    ChosenHexFile file;
    // Written with the file's words, in place of the file's own configuration words.
    GivenWords words;
    // A chip that is not blank is erased first ("Enable Erase Before Program").
    bool eraseBeforeProgram = true;
    // Entries placed over the file's: the serial number that the command line writes into
    // each chip.
    std::vector<ImageWord> overlay = {};
    // PIC16 with EEPROM: the chip's own EEPROM bytes, read before it is erased, are written
    // in place of the file's ("Preserve Device EEPROM"); the overlay goes over them.
    bool preserveEeprom = false;
    // A Program that succeeded is followed by Verify under the same claim, and one final
    // message names both results ("Verify After Program").
    bool verifyAfterProgram = false;
    // Programs only the file with this hash, checked on the very bytes loaded before the chip
    // is touched, so that a file rewritten after the caller's own check is never written.
    std::optional<PinnedHexFile> pin = std::nullopt;
};

struct VerifyRequest {
    DeviceInfo target;
    ChosenHexFile file;
    // What the chip's configuration words must be.
    GivenWords words;
    // As Program's: placed over the file's entries before they are compared.
    std::vector<ImageWord> overlay = {};
};

struct ReadRequest {
    DeviceInfo target;
};

// Which chip sits in the socket, without a warning when it is not the target.
struct ReadIdRequest {
    DeviceInfo target;
};

}  // namespace vek
