// What the window's commands work from and leave behind besides the programmer: the chosen
// HEX file and what the last Read took from the chip.
#pragma once

#include <optional>
#include <string>

#include "device/device_table.h"
#include "device/image_compare.h"
#include "device/memory_image.h"

namespace vek {

// A HEX file as chosen: its full path, by which every reader opens it, and its name as the
// "Hex File:" field and the messages show it. Empty until a file is chosen.
struct ChosenHexFile {
    std::string path;
    std::string name;
};

// What was read from a chip: the target it was read as, the image with its program words and
// EEPROM bytes, and its configuration words (the PIC16 configuration word in fuse).
struct ReadContents {
    DeviceInfo target;
    MemoryImage image;
    ConfigurationWords words;
};

struct Workspace {
    ChosenHexFile hexFile;
    // The last successful Read, which "Save Read Data As..." writes. A Read that fails takes
    // it away.
    std::optional<ReadContents> lastRead;
};

}  // namespace vek
