// A production job: what programming one kind of chip takes, kept in a small JSON file
// (extension .vekjob) so that a line recalls it in one step and nobody retypes a configuration
// word. The job pins the exact firmware by its SHA-256.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "device/device_table.h"
#include "device/image_compare.h"
#include "session/pinned_file.h"

namespace vek {

struct ProductionJob {
    DeviceInfo target;
    std::filesystem::path hexFile;  // absolute once read
    std::string hexSha256;          // 64 lower-case hexadecimal digits
    // The target's configuration words: the PIC16 configuration word in fuse, or the SX FUSE
    // and FUSEX words.
    GivenWords words;
    bool eraseBeforeProgram = true;
    bool verify = false;
    bool preserveEeprom = false;  // the chip's data EEPROM is kept across Program
    bool allowCodeProtection = false;
    std::string serialAt;          // the serial number's place as --serial-at takes it; empty: none
    bool serialOverwrite = false;  // the number may go over data the HEX file gives there
    std::filesystem::path serialFile;
    std::filesystem::path logFile;
};

// The file's SHA-256 in lower-case hexadecimal; nothing when it cannot be read.
std::optional<std::string> Sha256OfFile(const std::filesystem::path& path);

// The job of the file, its paths made whole against the job's folder; nothing, and in `error`
// why, when the file cannot be read or is not a job.
std::optional<ProductionJob> ReadJobFile(const std::filesystem::path& path, std::string& error);

// Writes the job whole or not at all. A path in the job's folder or below it is kept relative
// to the job, so that the folder can move with its files.
bool WriteJobFile(const std::filesystem::path& path, const ProductionJob& job);

}  // namespace vek
