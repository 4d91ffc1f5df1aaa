#include "cli/usage_documents.h"

#include "cli/arguments.h"
#include "device/device_table.h"

namespace vek::cli {

namespace {

constexpr std::string_view NAME_LETTERS = "ABCDEFGHIJKLMNOPQRSTUVWXYZ_";

// Text as roff reads it: a backslash is its escape character, "\-" is a hyphen that man
// keeps for copying, and a dot or quote opening a line would start a request.
std::string Roff(std::string_view text) {
    std::string result;
    if (text.starts_with('.') || text.starts_with('\'')) {
        result = "\\&";
    }
    for (const char c : text) {
        if (c == '\\') {
            result += "\\e";
        } else if (c == '-') {
            result += "\\-";
        } else {
            result += c;
        }
    }
    return result;
}

std::string Bold(std::string_view text) {
    return "\\fB" + Roff(text) + "\\fR";
}

std::string Italic(std::string_view text) {
    return "\\fI" + Roff(text) + "\\fR";
}

// One ".TP" paragraph: the tag line, then the text below it.
std::string TaggedParagraph(const std::string& tag, std::string_view text) {
    return ".TP\n" + tag + '\n' + Roff(text) + '\n';
}

std::string ManualCommands(const Usage& usage) {
    std::string roff;
    for (const CommandUsage& command : usage.commands) {
        std::string tag = Bold(command.name);
        if (!command.argument.empty()) {
            tag += ' ' + Italic(command.argument);
        }
        roff += TaggedParagraph(tag, command.summary);
    }
    return roff;
}

std::string ManualOptions(const Usage& usage) {
    std::string roff;
    for (const OptionUsage& option : usage.options) {
        std::string tag;
        if (!option.shortName.empty()) {
            tag = Bold(option.shortName) + ", ";
        }
        tag += Bold(option.longName);
        if (!option.valueName.empty()) {
            tag += ' ' + Italic(option.valueName);
        }
        roff += TaggedParagraph(tag, option.summary);
    }
    return roff;
}

std::string ManualExitStatuses(const Usage& usage) {
    std::string roff;
    for (const ExitStatusUsage& row : usage.exitStatuses) {
        roff += TaggedParagraph(Bold(std::to_string(row.status)), row.meaning);
    }
    return roff;
}

std::string Joined(const std::string& a, std::string_view separator, std::string_view b) {
    return a.empty() ? std::string(b) : a + std::string(separator) + std::string(b);
}

// "-d | --device": the option's names as a case pattern.
std::string NamePattern(const OptionUsage& option) {
    return Joined(std::string(option.shortName), " | ", option.longName);
}

// What the shell offers for an option's value. Device names are upper case and may be typed
// in any case, as the parser takes them; "auto" is lower case only.
std::string ValueCompletion(const OptionUsage& option) {
    switch (option.valueKind) {
        case ValueKind::DeviceName:
            return "COMPREPLY=($(compgen -W '" + std::string(AUTO_DEVICE) +
                   "' -- \"$cur\") $(compgen -W '" + DeviceNames(" ", " ") + "' -- \"${cur^^}\"))";
        case ValueKind::File:
            return "_filedir";
        case ValueKind::Choice:
            return "COMPREPLY=($(compgen -W '" + std::string(option.choices) + "' -- \"$cur\"))";
        case ValueKind::Hex:
        case ValueKind::Text:
        case ValueKind::None:
            break;
    }
    return "";
}

std::string ValueCases(const Usage& usage) {
    std::string branches;
    for (const OptionUsage& option : usage.options) {
        if (option.valueName.empty()) {
            continue;
        }
        branches += "        " + NamePattern(option) + ")\n";
        const std::string completion = ValueCompletion(option);
        if (!completion.empty()) {
            branches += "            " + completion + '\n';
        }
        branches += "            return\n            ;;\n";
    }
    if (!branches.empty()) {
        branches.pop_back();  // the template's line end follows
    }
    return branches;
}

}  // namespace

DocumentParts ManualParts(const Usage& usage) {
    return {
        {"MAN_DESCRIPTION", Roff(usage.description)},
        {"MAN_COMMANDS", ManualCommands(usage)},
        {"MAN_OPTIONS", ManualOptions(usage)},
        {"MAN_OPTIONS_NOTE", Roff(usage.optionsNote)},
        {"MAN_STREAMS", Roff(usage.streams)},
        {"MAN_EXIT_STATUS", ManualExitStatuses(usage)},
    };
}

DocumentParts CompletionParts(const Usage& usage) {
    std::string commands;
    std::string fileCommands;
    for (const CommandUsage& command : usage.commands) {
        commands = Joined(commands, " ", command.name);
        if (!command.argument.empty()) {
            fileCommands = Joined(fileCommands, " | ", command.name);
        }
    }
    std::string options;
    std::string valueOptions;
    for (const OptionUsage& option : usage.options) {
        options = Joined(options, " ", Joined(std::string(option.shortName), " ", option.longName));
        if (!option.valueName.empty()) {
            valueOptions = Joined(valueOptions, " | ", NamePattern(option));
        }
    }
    return {
        {"BASH_COMMANDS", commands},
        {"BASH_OPTIONS", options},
        {"BASH_VALUE_OPTIONS", valueOptions},
        {"BASH_FILE_COMMANDS", fileCommands},
        {"BASH_VALUE_CASES", ValueCases(usage)},
    };
}

FilledTemplate FillTemplate(std::string_view templateText, const DocumentParts& parts) {
    FilledTemplate filled;
    std::size_t at = 0;
    while (at < templateText.size()) {
        const std::size_t open = templateText.find('@', at);
        if (open == std::string_view::npos) {
            filled.text += templateText.substr(at);
            break;
        }
        filled.text += templateText.substr(at, open + 1 - at);
        at = open + 1;
        // An "@" not followed by a name in capitals and a closing "@" is the template's own,
        // as in a shell's "${array[@]}".
        const std::size_t nameEnd = templateText.find_first_not_of(NAME_LETTERS, at);
        if (nameEnd == at || nameEnd == std::string_view::npos || templateText[nameEnd] != '@') {
            continue;
        }
        const std::string_view name = templateText.substr(at, nameEnd - at);
        const auto part = parts.find(name);
        if (part == parts.end()) {
            return {"", "no part for @" + std::string(name) + "@"};
        }
        filled.text.pop_back();  // the opening "@"
        filled.text += part->second;
        at = nameEnd + 1;
    }
    return filled;
}

}  // namespace vek::cli
