// The udev rule that gives the programmer board to its user, as vekflash-cli udev-rule prints
// it for a system where the program was not installed from a package.
#pragma once

#include <string>

namespace vek::cli {

// Where an administrator puts a rule of their own; a package installs it below /usr/lib.
inline constexpr const char* UDEV_RULE_PATH = "/etc/udev/rules.d/60-vekflash.rules";

// The rule file as the program installs it.
extern const char* const UDEV_RULE_TEXT;

// The rule file behind a comment that says where it goes, ready for `sudo tee`.
std::string UdevRuleFileText();

}  // namespace vek::cli
