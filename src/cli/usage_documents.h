// The manual page and the shell completion of vekflash-cli, made from its usage table at build
// time: templates in data/ hold the prose and layout, "@NAME@" marks where a part goes.
#pragma once

#include <map>
#include <string>
#include <string_view>

#include "cli/usage.h"

namespace vek::cli {

using DocumentParts = std::map<std::string, std::string, std::less<>>;

// MAN_DESCRIPTION, MAN_COMMANDS, MAN_OPTIONS, MAN_OPTIONS_NOTE, MAN_STREAMS, MAN_EXIT_STATUS:
// roff for a section 1 manual page.
DocumentParts ManualParts(const Usage& usage);

// BASH_COMMANDS, BASH_OPTIONS: word lists; BASH_VALUE_OPTIONS, BASH_FILE_COMMANDS: case
// patterns; BASH_VALUE_CASES: the case branches that complete an option's value.
DocumentParts CompletionParts(const Usage& usage);

struct FilledTemplate {
    std::string text;   // empty on an error
    std::string error;  // names a "@NAME@" without a part; empty when every one had its part
};

FilledTemplate FillTemplate(std::string_view templateText, const DocumentParts& parts);

}  // namespace vek::cli
