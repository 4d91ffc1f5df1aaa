// The system the program was built for, where what a person is told depends on it.
#pragma once

namespace vek {

enum class OperatingSystem { Linux, OtherPosix, Windows };

OperatingSystem ThisOperatingSystem();

}  // namespace vek
