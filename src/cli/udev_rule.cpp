#include "cli/udev_rule.h"

#include "udev_rule_text.h"

namespace vek::cli {

const char* const UDEV_RULE_TEXT = INSTALLED_UDEV_RULE;

std::string UdevRuleFileText() {
    return std::string("# Save as ") + UDEV_RULE_PATH +
           ", then run: sudo udevadm control --reload-rules\n# and plug the board in again.\n" +
           UDEV_RULE_TEXT;
}

}  // namespace vek::cli
