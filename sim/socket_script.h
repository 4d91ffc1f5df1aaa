// The socket of a production line, scripted by VEKSIM_SOCKET: chips put in and taken out in
// turn, with the socket empty in between.
//
// The script's time runs on the host's ID reads, not on a clock: a host waiting for a chip (or
// for the socket to empty) reads the ID every 500 ms, so each answer to CMD_READ_ID counts as
// one such poll, and tests never wait. An empty interval lasts its duration in polls
// (`empty:1s` answers two reads). A chip stays until the operator takes it out, which is once
// the host has worked on it (anything but reading its ID) and then read its ID twice with
// nothing between: the first of those reads still finds it, the second finds what follows.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "virtual_chip.h"

namespace vek::sim {

class SocketScript {
  public:
    // Items separated by ',':
    //   empty[:DURATION][:ones]   no chip; DURATION as 1s or 500ms, to the end without one; the
    //                             ID reads all zeros, or all ones with `ones`
    //   CHIP[:fail-verify]        a fresh blank chip ("16F84A" .. "SX48"); fail-verify: its
    //                             program word 0 will not program and keeps its erased value
    //   interrupt                 the operator presses Ctrl+C: the process gets SIGINT, and
    //                             the socket stays empty
    // Nothing, and in `error` the item it cannot read, when the text is wrong.
    static std::optional<SocketScript> Parse(std::string_view text, std::string& error);

    bool Scripted() const { return !items_.empty(); }
    // Puts the script's first item in the socket.
    void Start(VirtualChip& chip);
    // A command other than CMD_READ_ID worked on what is in the socket.
    void NoteWork() { workSinceIdRead_ = worked_ = true; }
    // Before an ID read is answered: the socket as the script has it now.
    void BeforeIdRead(VirtualChip& chip);

  private:
    struct Item {
        const ChipModel* model = nullptr;  // nullptr: empty
        int polls = -1;                    // of an empty socket; -1 to the end
        bool readsOnes = false;
        bool failVerify = false;
        bool interrupt = false;
    };

    static std::optional<Item> ParseItem(std::string_view text);
    bool ItemOver() const;
    void Enter(std::size_t index, VirtualChip& chip);

    std::vector<Item> items_;
    std::size_t at_ = 0;
    int polls_ = 0;  // ID reads answered by the current item
    bool worked_ = false;
    bool workSinceIdRead_ = false;
};

}  // namespace vek::sim
