// All of the simulator's state in one place: the board and its chip, the USB side the host
// sees through the D2XX functions, the armed faults and the logs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "clock.h"
#include "faults.h"
#include "firmware.h"
#include "link/d2xx.h"
#include "reply_queue.h"
#include "socket_script.h"
#include "virtual_chip.h"

namespace vek::sim {

struct Logs {
    std::vector<std::uint8_t> hostBytes;
    std::vector<std::uint8_t> deviceBytes;
    std::vector<std::string> calls;
};

// One attached board of VEKSIM_BOARDS: its USB serial number, the chip in its socket and the
// file that keeps that chip's memory. Only one board is open at a time; the chip of the others
// waits in `kept`.
struct BoardSlot {
    std::string serial;
    const ChipModel* model = nullptr;
    std::string statePath;
    std::optional<VirtualChip> kept;
};

// Where the time went since the counters were last reset.
struct Counters {
    std::uint64_t writeCalls = 0;
    std::uint64_t readCalls = 0;
    Millis boardBusyMs = 0;
    Millis elapsedMs = 0;
};

class Simulator {
  public:
    Simulator() { Reset(); }
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Reads the environment: VEKSIM_BOARDS (or VEKSIM_CHIP and VEKSIM_STATE for one board),
    // VEKSIM_REAL_TIME, VEKSIM_FAULTS and VEKSIM_SOCKET.
    void Reset();

    // Every D2XX call passes here first: it is counted, counts towards an unplug and may be
    // made to fail.
    std::optional<FT_STATUS> CallFailure(std::string_view function);
    // Why a call on this handle cannot go on, if it cannot.
    std::optional<FT_STATUS> HandleFailure(FT_HANDLE handle) const;

    bool Attached() const { return attached_; }
    void SetAttached(bool attached);
    void SetOpenFails(bool fails) { openFails_ = fails; }
    void UnplugAfterCalls(int calls) { unplugCountdown_ = calls; }
    const std::vector<BoardSlot>& Boards() const { return boards_; }
    // The board with this serial number, if one is attached.
    std::optional<std::size_t> BoardWithSerial(std::string_view serial) const;
    // Opens board `index`, its chip taking the socket; one board may be open at a time.
    FT_STATUS Open(std::size_t index, FT_HANDLE* handle);
    void Close() { handleState_ = HandleState::CLOSED; }

    // The board's controller takes every byte at once, so only the read time-out matters.
    void SetReadTimeout(D2xxDword milliseconds) { readTimeoutMs_ = milliseconds; }
    void SetLatencyTimer(Millis milliseconds) { queue_.SetLatency(milliseconds, clock_.Now()); }
    // The bytes reach the board once their USB frame has gone.
    void Send(const std::uint8_t* bytes, std::size_t count);
    // What the host gets for a read of count bytes under the read time-out, after what the
    // fault does to it on the way.
    std::vector<std::uint8_t> Receive(std::size_t count, const std::optional<ReadFault>& fault);
    std::size_t ReadyCount() { return queue_.ReadyCount(clock_.Now()); }
    // Everything the board has sent so far, arrived or not; answers to later host bytes come.
    void Purge() { queue_.Clear(); }
    void ResetDevice();
    void InjectStrayBytes(const std::vector<std::uint8_t>& bytes);

    bool SelectChip(std::string_view name);
    VirtualChip& Chip() { return chip_; }
    // Keeps the state file up to date after anything that may have changed the memory.
    void SaveIfChanged();

    Faults& GetFaults() { return faults_; }
    Logs& GetLogs() { return logs_; }
    const Firmware& Board() const { return firmware_; }
    Millis ElapsedMs() const { return clock_.Now(); }
    Counters GetCounters() const;
    void ResetCounters();

  private:
    enum class HandleState { CLOSED, OPEN, LOST };

    // The faults of VEKSIM_FAULTS (vek_sim.h).
    void ArmFaults(const std::string& list);
    // The scripted socket of VEKSIM_SOCKET, its first item in the socket.
    void ScriptSocket(const std::string& script);
    // The boards of VEKSIM_BOARDS, or the one board of VEKSIM_CHIP and VEKSIM_STATE.
    void AttachBoards();
    // Puts the chip of board `index` in the socket, keeping the one there for its own board.
    void Activate(std::size_t index);
    void LoadChip(BoardSlot& board);
    void ApplyReadFault(const ReadFault& fault, std::size_t count, Millis startedAt,
                        std::vector<std::uint8_t>& bytes);

    Clock clock_;
    VirtualChip chip_;
    SocketScript socket_;
    ReplyQueue queue_;
    Faults faults_;
    Firmware firmware_{chip_, socket_, queue_, faults_, clock_};
    Logs logs_;
    Counters counters_;
    Millis countersSince_ = 0;

    bool attached_ = true;
    bool openFails_ = false;
    int unplugCountdown_ = -1;
    HandleState handleState_ = HandleState::CLOSED;
    FT_HANDLE handle_ = nullptr;
    unsigned opens_ = 0;
    D2xxDword readTimeoutMs_ = 0;  // 0: no time-out, as on a freshly opened device

    std::vector<BoardSlot> boards_;
    std::size_t active_ = 0;
    unsigned savedRevision_ = 0;
};

// The one simulator, set up on first use.
Simulator& Sim();

}  // namespace vek::sim
