// The controller on the programmer board: it takes host bytes as they come and queues its
// answers with the time each one is ready.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "clock.h"
#include "faults.h"
#include "reply_queue.h"
#include "socket_script.h"
#include "virtual_chip.h"

namespace vek::sim {

class Firmware {
  public:
    Firmware(VirtualChip& chip, SocketScript& socket, ReplyQueue& queue, Faults& faults,
             Clock& clock)
        : chip_(chip), socket_(socket), queue_(queue), faults_(faults), clock_(clock) {}

    // The board has just been powered from USB: idle, target power off and not allowed.
    void PowerUp();
    // The USB side was reset: a partly received frame or block and any stream are dropped.
    void DropPartialState();
    void Receive(std::uint8_t byte);

    // Bit 0: target power allowed; bit 1: target power on.
    int PowerState() const;
    bool InTransaction() const { return inTransaction_; }
    // The board's own work since the last reset of the count: its answers and the chip's
    // writes, erases, checks and reads, without the time bytes spend on the USB link.
    Millis BusyMs() const { return busyMs_; }
    void ResetBusyMs() { busyMs_ = 0; }

  private:
    enum class Mode { FRAMES, PROGRAM_STREAM, READ_STREAM };

    struct ReadStream {
        int programBlocks = 0;
        int eepromBlocks = 0;
        int block = 0;  // program blocks first, then EEPROM blocks
        bool extraByteSent = false;
        ReadStreamFaults shortBlocks;
    };

    // Frames and commands.
    void ReceiveFrameByte(std::uint8_t byte);
    void Execute();
    void ExecuteTargetCommand(std::uint8_t code);
    void ReadId();
    void BlankCheck();
    void BulkErase();
    void ProgramFusex();
    void StartProgramming();
    std::uint8_t PayloadByte(std::size_t offset) const;
    std::uint16_t PayloadWord(std::size_t offset) const;

    // Programming stream.
    void ReceiveBlockByte(std::uint8_t byte);
    void ExecuteBlock();
    void WriteProgramBlock(int address, const std::vector<std::uint16_t>& words);
    void WriteConfigBlock(const std::vector<std::uint16_t>& words);
    void WriteEepromBlock(int offset, const std::vector<std::uint16_t>& words);

    // Read stream.
    void StartReadStream();
    void ReceiveReadAnswer(std::uint8_t byte);
    void SendNextReadPart();
    void SendReadBlock();

    // Queues one answer byte `after` ms after the board's previous one, through the armed
    // faults; returns the byte as the host will get it, or nothing when it is lost.
    std::optional<std::uint8_t> Reply(std::uint8_t byte, Millis after);

    VirtualChip& chip_;
    SocketScript& socket_;
    ReplyQueue& queue_;
    Faults& faults_;
    Clock& clock_;

    Mode mode_ = Mode::FRAMES;
    bool inTransaction_ = false;
    bool powerAllowed_ = false;
    bool powerOn_ = false;
    Millis busyUntil_ = 0;
    Millis busyMs_ = 0;
    std::vector<std::uint8_t> frame_;    // length byte and payload received so far
    std::vector<std::uint8_t> payload_;  // of the frame being executed
    std::vector<std::uint8_t> block_;    // programming block received so far
    bool eepromReadySent_ = false;
    ReadStream read_;
};

}  // namespace vek::sim
