#include "link/attached_boards.h"

#include <cstdint>

#include "link/connection.h"

namespace vek {

namespace {

// One of the device's strings, or nothing when the driver cannot tell it.
bool ListedString(ProgrammerLink& link, int index, std::uint32_t which, std::string& text) {
    char buffer[FT_STRING_BUFFER] = {};
    // The driver takes the index in the pointer argument itself.
    void* indexArgument = reinterpret_cast<void*>(static_cast<std::uintptr_t>(index));
    if (link.ListDevices(indexArgument, buffer, FT_LIST_BY_INDEX | which) != FT_OK) {
        return false;
    }
    buffer[FT_STRING_BUFFER - 1] = '\0';
    text = buffer;
    return true;
}

}  // namespace

std::vector<AttachedBoard> ListAttachedBoards(ProgrammerLink& link) {
    std::vector<AttachedBoard> boards;
    std::int32_t deviceCount = 0;
    if (!link.IsBound() || link.ListDevices(&deviceCount, nullptr, FT_LIST_NUMBER_ONLY) != FT_OK) {
        return boards;
    }
    for (int index = 0; index < deviceCount; ++index) {
        AttachedBoard board{index, "", "", UsbDriverKey(link.DriverInUse())};
        if (ListedString(link, index, FT_OPEN_BY_DESCRIPTION, board.description) &&
            board.description == PROGRAMMER_DESCRIPTION &&
            ListedString(link, index, FT_OPEN_BY_SERIAL_NUMBER, board.serial)) {
            boards.push_back(board);
        }
    }
    return boards;
}

std::string SerialNumbers(const std::vector<AttachedBoard>& boards) {
    if (boards.empty()) {
        return "none";
    }
    std::string text;
    for (const AttachedBoard& board : boards) {
        text += (text.empty() ? "" : ", ") + board.serial;
    }
    return text;
}

}  // namespace vek
