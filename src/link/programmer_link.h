// The programmer's link: the USB driver in use with the channel to the board, and the framing
// of the programmer protocol on top of it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "link/protocol.h"
#include "link/reporter.h"
#include "link/usb_drivers.h"
#include "link/usb_transport.h"

namespace vek {

// The USB chip's latency timer as the driver sets it on every open.
inline constexpr std::uint32_t DRIVER_LATENCY_MS = 16;

// One reply byte: the read call can fail, or the byte can miss the read time-out.
struct Reply {
    enum class Status { Arrived, Missing, ReadFailed };
    Status status = Status::Missing;
    std::uint8_t byte = 0;

    bool ReadFailed() const { return status == Status::ReadFailed; }
    // A byte that did not arrive is never the expected one.
    bool Is(std::uint8_t expected) const { return status == Status::Arrived && byte == expected; }
};

class ProgrammerLink {
  public:
    explicit ProgrammerLink(Reporter& reporter, const UsbSetup& usb = {});
    ProgrammerLink(const ProgrammerLink&) = delete;
    ProgrammerLink& operator=(const ProgrammerLink&) = delete;

    // Which driver Bind takes; auto unless set before it.
    void ChooseDriver(UsbDriverChoice choice) { choice_ = std::move(choice); }
    // Binds the chosen driver, or with auto the first of the table that binds. When none
    // does, the problems they met are shown, and the calls go on to the table's first driver
    // as its binding left it. True when bound.
    bool Bind();
    bool IsBound() const { return driverInUse_ != nullptr; }
    // The driver bound; null for none.
    const UsbDriver* DriverInUse() const { return driverInUse_; }
    // The last count, list or open met a board that this user may not open.
    bool PermissionRefused() const;

    // Fast transfers (the default): a programming block goes out in one write, and every open
    // shortens the driver's latency timer so that short replies come without its 16 ms wait.
    // Off: one write per word and the driver's default latency, for a board that cannot keep up.
    void SetFastTransfers(bool fast) { fastTransfers_ = fast; }
    bool FastTransfers() const { return fastTransfers_; }
    // Called after every successful open; a driver that refuses is left as it is.
    void ShortenLatencyTimer();
    // How long the USB chip may hold a short reply before it sends it on.
    std::uint32_t LatencyTimerMs() const { return latencyMs_; }

    // The driver's answers, unchanged: how many boards may carry the description, and which
    // do.
    UsbStatus CountBoards(const std::string& description, std::int32_t& count);
    std::vector<UsbBoard> ListBoards(const std::string& description);
    // The channel to the board, its statuses unchanged.
    UsbStatus Open(const BoardSelector& board);
    UsbStatus Write(std::span<const std::uint8_t> bytes, std::uint32_t& written);
    UsbStatus Read(std::span<std::uint8_t> buffer, std::uint32_t& received);
    UsbStatus Close();
    UsbStatus Reset();
    // Empties the receive queue.
    UsbStatus Purge();
    UsbStatus SetTimeouts(std::uint32_t readMilliseconds, std::uint32_t writeMilliseconds);
    // How many reply bytes wait; a failure means the board has gone.
    UsbStatus Queued(std::uint32_t& count);

    // Frames the payload, sends it and checks the acknowledgement; false after a message.
    bool SendCommand(const std::uint8_t* payload, std::size_t length);
    bool SendCommand(std::initializer_list<std::uint8_t> payload);
    // Sends the low 16 bits of value, low byte first; false after a message.
    bool SendWord(int value);
    // A programming block: the address word, then the low 16 bits of each word. The caller
    // reads its acknowledgement, which decides whether a failed write mattered.
    void SendBlock(int address, std::span<const std::int32_t, BLOCK_WORDS> words);
    // Discards whatever the programmer has queued.
    void DrainInput();
    // Reads one reply byte under the time-outs in force.
    Reply ReadReply();
    // Closes the handle for good: the link sends nothing more, and the window ends once the
    // command in progress has returned.
    void FatalLinkShutdown();
    bool IsShutDown() const { return shutDown_; }

  private:
    // The driver in the table's row, with a fresh channel when it was another.
    void UseTransport(std::size_t row);
    UsbTransport& Transport() { return *transports_[transportInUse_]; }

    Reporter& reporter_;
    UsbDriverChoice choice_ = AUTO_USB_DRIVER;
    // One per row of the table, empty where this build leaves the driver out.
    std::vector<std::unique_ptr<UsbTransport>> transports_;
    std::size_t transportInUse_ = 0;
    const UsbDriver* driverInUse_ = nullptr;
    // On transportInUse_'s driver; declared after the transports, so that it goes first.
    std::unique_ptr<UsbChannel> channel_;
    bool shutDown_ = false;
    bool fastTransfers_ = true;
    std::uint32_t latencyMs_ = DRIVER_LATENCY_MS;
};

}  // namespace vek
