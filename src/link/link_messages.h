// Message texts that more than one command shows.
#pragma once

#include <string>

namespace vek {

inline constexpr const char* MSG_NO_PROGRAMMER =
    "Error: No programmer detected. Attach programmer to \nUSB cable and Open with Setup, "
    "Connect...";
inline constexpr const char* MSG_PROGRAMMER_READY = "VEK Flash programmer ready.";
inline constexpr const char* MSG_UNABLE_TO_DETECT =
    "Error: Unable to detect presence of VEK Flash programmer.";
inline constexpr const char* MSG_COULD_NOT_OPEN = "Error: Could not open VEK Flash programmer.";
// Ours: a control command or operation that would interleave bytes with a running one.
inline constexpr const char* MSG_PROGRAMMER_BUSY =
    "The VEK Flash programmer is busy with another command. Try again when it has finished.";

// The message that ends the application, with the failing step's code, e.g. "(1f)".
std::string FatalMessage(const std::string& code);

}  // namespace vek
