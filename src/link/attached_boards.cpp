#include "link/attached_boards.h"

namespace vek {

std::vector<AttachedBoard> ListAttachedBoards(ProgrammerLink& link) {
    std::vector<AttachedBoard> boards;
    if (!link.IsBound()) {
        return boards;
    }
    for (const UsbBoard& board : link.ListBoards(PROGRAMMER_DESCRIPTION)) {
        boards.push_back(
            {board.index, board.serial, board.description, UsbDriverKey(link.DriverInUse())});
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
