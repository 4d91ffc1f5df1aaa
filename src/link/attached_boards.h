// The programmer boards attached to this computer, told apart by their USB serial numbers.
#pragma once

#include <string>
#include <vector>

#include "link/programmer_link.h"

namespace vek {

// The USB description string that the programmer's boards carry, by which they are found and
// opened.
inline constexpr const char* PROGRAMMER_DESCRIPTION = "VEK Flash";

struct AttachedBoard {
    int index = 0;  // the driver's index of the device
    std::string serial;
    std::string description;
    std::string driver;  // through which it was found, as --driver names it

    bool operator==(const AttachedBoard&) const = default;
};

// Every attached device that carries the programmer's description, in the driver's order.
// Empty when the library is not bound or nothing is attached; a device the driver cannot
// name is left out.
std::vector<AttachedBoard> ListAttachedBoards(ProgrammerLink& link);

// "A123, B456", or "none" when the list is empty.
std::string SerialNumbers(const std::vector<AttachedBoard>& boards);

}  // namespace vek
