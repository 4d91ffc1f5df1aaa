// The time of day in UTC, as the program writes it.
#pragma once

#include <chrono>
#include <string>

namespace vek {

// "2026-12-07T14:03:22Z": ISO 8601 to the second.
std::string IsoTimeUtc(std::chrono::system_clock::time_point time);

}  // namespace vek
