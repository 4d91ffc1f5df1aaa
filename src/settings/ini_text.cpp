#include "settings/ini_text.h"

#include <algorithm>
#include <vector>

namespace vek {

namespace {

constexpr std::string_view BLANKS = " \t\r\v\f";

enum class LineKind { Section, Key, Comment, Blank, Other };

// One line of the text, by offsets into it.
struct IniLine {
    LineKind kind = LineKind::Other;
    std::string_view name;  // a section's or key's name without the blanks around it
    size_t valueBegin = 0;  // a key's value without the blanks around it
    size_t valueEnd = 0;
    size_t next = 0;  // where the next line begins
    bool hasLineBreak = false;
};

// Where a key lives, as line numbers.
struct KeyPlace {
    std::optional<size_t> section;  // the section's first header
    std::optional<size_t> key;      // the key's first line in that section
    size_t lastEntry = 0;           // the section's last line that is no blank and no comment
};

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
    return std::ranges::equal(a, b, {}, LowerAscii, LowerAscii);
}

std::string_view Trimmed(std::string_view text) {
    const size_t first = text.find_first_not_of(BLANKS);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(BLANKS) - first + 1);
}

IniLine ParseLine(std::string_view text, size_t begin) {
    IniLine line;
    const size_t lineBreak = text.find('\n', begin);
    line.hasLineBreak = lineBreak != std::string_view::npos;
    const size_t end = line.hasLineBreak ? lineBreak : text.size();
    line.next = line.hasLineBreak ? end + 1 : end;

    const size_t first = text.find_first_not_of(BLANKS, begin);
    if (first == std::string_view::npos || first >= end) {
        line.kind = LineKind::Blank;
        return line;
    }
    const std::string_view content = text.substr(first, end - first);
    const size_t closing = content.find(']');
    if (content.front() == ';') {
        line.kind = LineKind::Comment;
    } else if (content.front() == '[' && closing != std::string_view::npos) {
        line.kind = LineKind::Section;
        line.name = Trimmed(content.substr(1, closing - 1));
    } else if (const size_t equals = content.find('=');
               equals != std::string_view::npos && !Trimmed(content.substr(0, equals)).empty()) {
        line.kind = LineKind::Key;
        line.name = Trimmed(content.substr(0, equals));
        const size_t afterEquals = first + equals + 1;
        const std::string_view value = Trimmed(text.substr(afterEquals, end - afterEquals));
        // An empty value is replaced right after the '='.
        line.valueBegin =
            value.empty() ? afterEquals : static_cast<size_t>(value.data() - text.data());
        line.valueEnd = line.valueBegin + value.size();
    }
    return line;
}

std::vector<IniLine> SplitLines(std::string_view text) {
    std::vector<IniLine> lines;
    for (size_t begin = 0; begin < text.size(); begin = lines.back().next) {
        lines.push_back(ParseLine(text, begin));
    }
    return lines;
}

KeyPlace Locate(const std::vector<IniLine>& lines, std::string_view section, std::string_view key) {
    KeyPlace place;
    size_t index = 0;
    while (index < lines.size() && !(lines[index].kind == LineKind::Section &&
                                     EqualIgnoringCase(lines[index].name, section))) {
        ++index;
    }
    if (index == lines.size()) {
        return place;
    }
    place.section = place.lastEntry = index;
    for (++index; index < lines.size() && lines[index].kind != LineKind::Section; ++index) {
        const IniLine& line = lines[index];
        if (line.kind == LineKind::Key && !place.key && EqualIgnoringCase(line.name, key)) {
            place.key = index;
        }
        if (line.kind == LineKind::Key || line.kind == LineKind::Other) {
            place.lastEntry = index;
        }
    }
    return place;
}

std::string_view Unquoted(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

std::string_view LineBreakOf(std::string_view text) {
    const size_t first = text.find('\n');
    return first != std::string_view::npos && first > 0 && text[first - 1] == '\r' ? "\r\n" : "\n";
}

}  // namespace

std::optional<std::string> FindIniValue(std::string_view text, std::string_view section,
                                        std::string_view key) {
    const std::vector<IniLine> lines = SplitLines(text);
    const KeyPlace place = Locate(lines, section, key);
    if (!place.key) {
        return std::nullopt;
    }
    const IniLine& line = lines[*place.key];
    return std::string(Unquoted(text.substr(line.valueBegin, line.valueEnd - line.valueBegin)));
}

std::string SetIniValue(std::string_view text, std::string_view section, std::string_view key,
                        std::string_view value) {
    const std::vector<IniLine> lines = SplitLines(text);
    const KeyPlace place = Locate(lines, section, key);
    std::string result(text);
    if (place.key) {
        const IniLine& line = lines[*place.key];
        return result.replace(line.valueBegin, line.valueEnd - line.valueBegin, value);
    }

    const std::string_view lineBreak = LineBreakOf(text);
    std::string added;
    size_t insertAt = text.size();
    bool breakBefore = !text.empty() && text.back() != '\n';
    if (place.section) {
        const IniLine& last = lines[place.lastEntry];
        insertAt = last.next;
        breakBefore = !last.hasLineBreak;
    } else {
        added.append("[").append(section).append("]").append(lineBreak);
    }
    added.append(key).append("=").append(value).append(lineBreak);
    if (breakBefore) {
        added.insert(0, lineBreak);
    }
    return result.insert(insertAt, added);
}

}  // namespace vek
