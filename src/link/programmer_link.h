// The driver binding with its one device handle, and the framing of the programmer protocol.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>

#include "link/d2xx.h"
#include "link/dynamic_library.h"
#include "link/protocol.h"
#include "link/usb_driver.h"
#include "link/user_interface.h"

namespace vek {

// The library's file name on this platform, found through the system's library search path.
const char* DefaultD2xxLibraryName();

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
    explicit ProgrammerLink(UserInterface& ui, std::string libraryName = DefaultD2xxLibraryName(),
                            std::string libftdiLibraryName = DefaultLibftdiLibraryName());

    // Which driver Bind takes; Auto unless set before it.
    void ChooseDriver(UsbDriverChoice choice) { choice_ = choice; }
    // Binds the chosen driver: for D2XX, loads its library and binds the ten functions
    // (FT_SetLatencyTimer too when the library has it; without it nothing is said); for
    // libftdi1, loads it and answers the same calls from it. 0 when bound, 1 otherwise.
    int Bind();
    bool IsBound() const;
    UsbDriver DriverInUse() const { return driverInUse_; }
    // The last count or open met a board that this user may not open.
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

    // Thin wrappers: the D2XX status unchanged, or 1 after a message when unbound.
    FT_STATUS Write(const void* buffer, std::uint32_t count, std::uint32_t* written);
    FT_STATUS Read(void* buffer, std::uint32_t count, std::uint32_t* received);
    FT_STATUS OpenEx(const void* argument, std::uint32_t flags);
    FT_STATUS ListDevices(void* argument1, void* argument2, std::uint32_t flags);
    FT_STATUS Close();
    FT_STATUS ResetDevice();
    FT_STATUS Purge(std::uint32_t mask);
    FT_STATUS SetTimeouts(std::uint32_t readMilliseconds, std::uint32_t writeMilliseconds);
    FT_STATUS GetQueueStatus(std::uint32_t* count);

    // Frames the payload, sends it and checks the acknowledgement; false after a message.
    bool SendCommand(const std::uint8_t* payload, std::size_t length);
    bool SendCommand(std::initializer_list<std::uint8_t> payload);
    // Sends the low 16 bits of value, low byte first; 0 on success, 1 after a message.
    int SendWord(int value);
    // A programming block: the address word, then the low 16 bits of each word. The caller
    // reads its acknowledgement, which decides whether a failed write mattered.
    void SendBlock(int address, std::span<const std::int32_t, BLOCK_WORDS> words);
    // Discards whatever the programmer has queued.
    void DrainInput();
    // Reads one reply byte under the time-outs in force.
    Reply ReadReply();
    // Closes the handle and asks the window to end once the current command has returned.
    // After it the link sends nothing more.
    void FatalLinkShutdown();
    bool IsShutDown() const { return shutDown_; }

    UserInterface& ui() { return ui_; }

  private:
    // Calls a bound entry, or reports the unbound one and answers 1.
    template <typename Fn, typename... Args>
    FT_STATUS CallBound(Fn entry, const char* name, Args... args);

    // Binds D2XX's entries in order up to the first missing one; its name, or null.
    const char* BindD2xx();
    bool BindLibftdiDriver();

    UserInterface& ui_;
    std::string libraryName_;
    std::string libftdiLibraryName_;
    DynamicLibrary library_;
    DynamicLibrary libftdiLibrary_;
    UsbDriverChoice choice_ = UsbDriverChoice::Auto;
    UsbDriver driverInUse_ = UsbDriver::None;
    FT_HANDLE handle_ = nullptr;
    bool shutDown_ = false;
    bool fastTransfers_ = true;
    std::uint32_t latencyMs_ = DRIVER_LATENCY_MS;
    D2xxEntries entries_;
};

}  // namespace vek
