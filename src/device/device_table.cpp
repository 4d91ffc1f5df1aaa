#include "device/device_table.h"

#include <algorithm>
#include <cctype>

#include "device/hex_text.h"

namespace vek {

namespace {

bool SameLetters(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::toupper(static_cast<unsigned char>(x)) ==
               std::toupper(static_cast<unsigned char>(y));
    });
}

}  // namespace

std::string WordText(const DeviceInfo& target, int word) {
    return HexDigits(static_cast<unsigned>(word), target.WordDigits());
}

std::string IdText(int id) {
    return HexDigits(static_cast<unsigned>(id), 3);
}

const DeviceInfo* DeviceNamed(std::string_view name) {
    const auto named = std::ranges::find_if(
        DeviceTable, [name](const DeviceInfo& device) { return SameLetters(device.name, name); });
    return named == DeviceTable.end() ? nullptr : &*named;
}

std::string DeviceNames(std::string_view separator, std::string_view lastSeparator) {
    std::string names;
    for (int row = 0; row < DEVICE_COUNT; ++row) {
        if (row > 0) {
            names += row + 1 < DEVICE_COUNT ? separator : lastSeparator;
        }
        names += DeviceTable[row].name;
    }
    return names;
}

bool IdFits(const DeviceInfo& device, int id) {
    return (id & device.IdMask()) == device.deviceId;
}

std::vector<std::string_view> DevicesFittingId(int id) {
    std::vector<std::string_view> names;
    for (const DeviceInfo& device : DeviceTable) {
        if (IdFits(device, id)) {
            names.push_back(device.name);
        }
    }
    return names;
}

std::vector<const DeviceInfo*> RowsFittingId(int id, TargetFamily family) {
    std::vector<const DeviceInfo*> rows;
    for (const DeviceInfo& device : DeviceTable) {
        if (device.family == family && IdFits(device, id)) {
            rows.push_back(&device);
        }
    }
    return rows;
}

int UnprotectedProgramWords(const DeviceInfo& device, int configWord) {
    constexpr int UPPER_WORDS = 256;
    switch (device.ProtectionBits(configWord)) {
        case 3:
            return device.programWords;
        case 1:
            return device.partialProtection ? device.programWords / 2 : 0;
        case 2:
            return device.partialProtection ? device.programWords - UPPER_WORDS : 0;
        default:
            return 0;
    }
}

bool IdOfEmptySocket(const DeviceInfo& target, int id) {
    const int compared = id & target.IdMask();
    return (compared == 0 || compared == target.IdMask()) && DevicesFittingId(id).empty();
}

}  // namespace vek
