// The seam between the programmer's link and a USB driver. A transport counts and lists the
// boards attached; a channel opens one of them and carries its bytes. Each driver implements
// both in a file of its own, and the table of drivers (usb_drivers.cpp) names it.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace vek {

enum class UsbStatus {
    Ok,
    NotOpen,          // the channel holds no open board
    NoBoard,          // no attached board fits
    OpenRefused,      // a board fits, but it is in use or this user may not open it
    InvalidArgument,  // the driver refused the call's arguments
    IoError,          // the transfer failed: the board may have gone
    Unavailable,      // the driver lacks the function
};

// Which board to open: the first whose USB description is the text, or the one whose USB
// serial number it is.
struct BoardSelector {
    enum class By { Description, SerialNumber };
    By by = By::Description;
    std::string text;
};

inline BoardSelector BoardWithDescription(std::string description) {
    return {BoardSelector::By::Description, std::move(description)};
}
inline BoardSelector BoardWithSerial(std::string serial) {
    return {BoardSelector::By::SerialNumber, std::move(serial)};
}

struct UsbBoard {
    int index = 0;  // the driver's index of the board
    std::string serial;
    std::string description;
};

// One board at a time, opened and closed as often as needed. The channel is there before its
// first open, as a driver's handle is: calls while no board is open still reach the driver,
// and fail harmlessly.
class UsbChannel {
  public:
    virtual ~UsbChannel() = default;

    // Opens the board at the driver's default latency, with no read time-out: a read then
    // waits until its bytes come.
    virtual UsbStatus Open(const BoardSelector& board) = 0;
    virtual UsbStatus Close() = 0;
    virtual UsbStatus Reset() = 0;
    // Hands the bytes to the driver; written tells how many it took.
    virtual UsbStatus Write(std::span<const std::uint8_t> bytes, std::uint32_t& written) = 0;
    // Returns when the buffer is full or the read time-out has run out, whichever is first;
    // received tells how many bytes came.
    virtual UsbStatus Read(std::span<std::uint8_t> buffer, std::uint32_t& received) = 0;
    virtual UsbStatus SetTimeouts(std::uint32_t readMilliseconds,
                                  std::uint32_t writeMilliseconds) = 0;
    // Drops what the board has sent and no read has taken yet.
    virtual UsbStatus Purge() = 0;
    // How many received bytes wait to be read; a failure means the board has gone.
    virtual UsbStatus Queued(std::uint32_t& count) = 0;
    // The USB chip's latency timer; Unavailable from a driver that cannot set it.
    virtual UsbStatus SetLatency(std::uint8_t milliseconds) = 0;
};

// What binding a transport came to. problem: what the person is told when no other driver
// binds in its place; empty when there is nothing to add to the missing-driver message.
struct UsbBinding {
    bool bound = false;
    std::string problem;
};

class UsbTransport {
  public:
    virtual ~UsbTransport() = default;

    // Loads the driver's library and binds its functions; may run again.
    virtual UsbBinding Bind() = 0;
    // How many attached boards may carry the description. A driver that cannot tell without
    // opening them counts every board it serves.
    virtual UsbStatus Count(const std::string& description, std::int32_t& count) = 0;
    // The attached boards that carry the description, in the driver's order; a board the
    // driver cannot name is left out.
    virtual std::vector<UsbBoard> List(const std::string& description) = 0;
    // A channel for this driver's boards, with none open yet.
    virtual std::unique_ptr<UsbChannel> NewChannel() = 0;
    // The last count, list or open met a board that this user may not open.
    virtual bool PermissionRefused() const { return false; }
};

// What the link makes its transports with. The program leaves it empty; tests put the
// simulator's libraries and clock in.
struct UsbSetup {
    // Library file names by driver key, in place of the drivers' own.
    std::map<std::string, std::string, std::less<>> libraries;
    // A steady clock in milliseconds, for a transport that times its reads itself; null: the
    // system's.
    std::uint64_t (*nowMs)() = nullptr;
    // Whether the system refuses this process the USB device node at path; null: ask it.
    bool (*accessRefused)(const char* path) = nullptr;
};

}  // namespace vek
