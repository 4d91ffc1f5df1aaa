// The text of an INI file, read and changed as the platform's private-profile functions do:
// sections and keys match without regard to case, the first matching section header and the
// first matching key line in it win, and a value is the text after the first '=' with the
// blanks around it and one pair of enclosing quotation marks removed, nothing else interpreted.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vek {

// The value of key in section, or nothing when the file has no such key.
std::optional<std::string> FindIniValue(std::string_view text, std::string_view section,
                                        std::string_view key);

// text with key's value in section set to value: the value of the key's line replaced in
// place, else a "key=value" line added to the section, else the section added at the end.
// Every other byte stays as it was; added lines end as the file's first line does.
std::string SetIniValue(std::string_view text, std::string_view section, std::string_view key,
                        std::string_view value);

}  // namespace vek
