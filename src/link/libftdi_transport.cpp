// The open-source libftdi1 on libusb as a USB transport, loaded at run time like D2XX so that
// the program starts where it is missing. It finds boards with one of FTDI's default product
// IDs by their USB strings, and keeps D2XX's read time-outs, purges and latency timer, so that
// the board sees the same bytes through either driver.
#include <ftdi.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "link/usb_drivers.h"
#include "platform/dynamic_library.h"
#include "platform/files.h"

namespace vek {

namespace {

// The functions of libftdi1 (and of libusb beneath it) that the transport calls.
struct LibftdiApi {
    ftdi_context* (*newContext)() = nullptr;
    void (*freeContext)(ftdi_context*) = nullptr;
    int (*findAll)(ftdi_context*, ftdi_device_list**, int, int) = nullptr;
    void (*listFree)(ftdi_device_list**) = nullptr;
    int (*getStrings)(ftdi_context*, libusb_device*, char*, int, char*, int, char*, int) = nullptr;
    int (*openDevice)(ftdi_context*, libusb_device*) = nullptr;
    int (*close)(ftdi_context*) = nullptr;
    int (*reset)(ftdi_context*) = nullptr;
    int (*tciflush)(ftdi_context*) = nullptr;
    int (*readData)(ftdi_context*, unsigned char*, int) = nullptr;
    int (*writeData)(ftdi_context*, const unsigned char*, int) = nullptr;
    int (*setLatencyTimer)(ftdi_context*, unsigned char) = nullptr;
    std::uint8_t (*busNumber)(libusb_device*) = nullptr;
    std::uint8_t (*deviceAddress)(libusb_device*) = nullptr;
};

// libftdi1's answer when libusb could not open the device node.
constexpr int FTDI_OPEN_FAILED = -4;
// What one poll of the chip asks for: more than it ever holds.
constexpr int POLL_BYTES = 4096;
// The chip's latency timer after every open, as D2XX leaves it.
constexpr unsigned char DEFAULT_LATENCY_MS = 16;
// D2XX takes 2 to 255 ms.
constexpr std::uint8_t MIN_LATENCY_MS = 2;

std::uint64_t SteadyNowMs() {
    using namespace std::chrono;
    return static_cast<std::uint64_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

bool BindApi(const DynamicLibrary& library, LibftdiApi& api) {
    // libusb's functions come through libftdi1's handle, which reaches its dependencies.
    return library.BindFunction("ftdi_new", api.newContext) &&
           library.BindFunction("ftdi_free", api.freeContext) &&
           library.BindFunction("ftdi_usb_find_all", api.findAll) &&
           library.BindFunction("ftdi_list_free", api.listFree) &&
           library.BindFunction("ftdi_usb_get_strings", api.getStrings) &&
           library.BindFunction("ftdi_usb_open_dev", api.openDevice) &&
           library.BindFunction("ftdi_usb_close", api.close) &&
           library.BindFunction("ftdi_usb_reset", api.reset) &&
           library.BindFunction("ftdi_tciflush", api.tciflush) &&
           library.BindFunction("ftdi_read_data", api.readData) &&
           library.BindFunction("ftdi_write_data", api.writeData) &&
           library.BindFunction("ftdi_set_latency_timer", api.setLatencyTimer) &&
           library.BindFunction("libusb_get_bus_number", api.busNumber) &&
           library.BindFunction("libusb_get_device_address", api.deviceAddress);
}

// The bound library with what it asks of the platform, shared by the transport and its
// channel.
struct Library {
    LibftdiApi api;
    bool bound = false;
    std::uint64_t (*nowMs)() = SteadyNowMs;
    bool (*accessRefused)(const char* path) = AccessRefused;
    bool permissionRefused = false;
};

// A context for enumerating, freed at the end of the scope.
struct Context {
    explicit Context(const LibftdiApi& libftdi) : api(libftdi), ftdi(api.newContext()) {}
    ~Context() {
        if (ftdi != nullptr) {
            api.freeContext(ftdi);
        }
    }
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;
    const LibftdiApi& api;
    ftdi_context* ftdi;
};

// The boards with one of FTDI's default product IDs, freed at the end of the scope.
struct BoardList {
    BoardList(const LibftdiApi& libftdi, ftdi_context* ftdi) : api(libftdi) {
        // Vendor and product 0 ask for FTDI's default IDs: 0x6001, 0x6010, 0x6011, 0x6014 and
        // 0x6015.
        if (ftdi == nullptr || api.findAll(ftdi, &head, 0, 0) < 0) {
            head = nullptr;
        }
    }
    ~BoardList() {
        if (head != nullptr) {
            api.listFree(&head);
        }
    }
    BoardList(const BoardList&) = delete;
    BoardList& operator=(const BoardList&) = delete;
    const LibftdiApi& api;
    ftdi_device_list* head = nullptr;
};

enum class Match { Yes, No, NoPermission };

// Reading the product string opens the board; a board we may not open could be ours.
Match MatchDescription(const Library& library, ftdi_context* ftdi, libusb_device* board,
                       const std::string& description) {
    std::array<char, 128> product{};
    const int status = library.api.getStrings(ftdi, board, nullptr, 0, product.data(),
                                              static_cast<int>(product.size()), nullptr, 0);
    if (status == 0) {
        return description == product.data() ? Match::Yes : Match::No;
    }
    if (status != FTDI_OPEN_FAILED) {
        return Match::No;
    }
    char node[32];
    std::snprintf(node, sizeof node, "/dev/bus/usb/%03u/%03u", library.api.busNumber(board),
                  library.api.deviceAddress(board));
    return library.accessRefused(node) ? Match::NoPermission : Match::No;
}

// The board's USB serial number, or nothing when it cannot be read.
std::optional<std::string> SerialOf(const LibftdiApi& api, ftdi_context* ftdi,
                                    libusb_device* board) {
    std::array<char, 128> serial{};
    if (api.getStrings(ftdi, board, nullptr, 0, nullptr, 0, serial.data(),
                       static_cast<int>(serial.size())) != 0) {
        return std::nullopt;
    }
    return std::string(serial.data());
}

Match MatchBoard(const Library& library, ftdi_context* ftdi, libusb_device* board,
                 const BoardSelector& wanted) {
    if (wanted.by == BoardSelector::By::Description) {
        return MatchDescription(library, ftdi, board, wanted.text);
    }
    const std::optional<std::string> serial = SerialOf(library.api, ftdi, board);
    return serial && *serial == wanted.text ? Match::Yes : Match::No;
}

// One open board: its context, and the bytes it has sent that no read has taken yet.
class LibftdiChannel final : public UsbChannel {
  public:
    explicit LibftdiChannel(Library& library) : library_(library) {}
    // A board still open goes back to the kernel's serial driver.
    ~LibftdiChannel() override { Close(); }
    LibftdiChannel(const LibftdiChannel&) = delete;
    LibftdiChannel& operator=(const LibftdiChannel&) = delete;

    UsbStatus Open(const BoardSelector& board) override {
        if (!library_.bound) {
            return UsbStatus::Unavailable;
        }
        if (ftdi_ != nullptr) {
            return UsbStatus::OpenRefused;  // in use, as D2XX answers for an open device
        }
        const LibftdiApi& api = library_.api;
        library_.permissionRefused = false;
        ftdi_context* ftdi = api.newContext();
        if (ftdi == nullptr) {
            return UsbStatus::IoError;
        }
        // Detach the kernel's serial driver while we hold the board, and give it back on close.
        ftdi->module_detach_mode = AUTO_DETACH_REATACH_SIO_MODULE;
        UsbStatus status = UsbStatus::NoBoard;
        {
            BoardList boards(api, ftdi);
            for (ftdi_device_list* found = boards.head; found != nullptr; found = found->next) {
                const Match match = MatchBoard(library_, ftdi, found->dev, board);
                if (match == Match::NoPermission) {
                    library_.permissionRefused = true;
                    status = UsbStatus::OpenRefused;
                }
                if (match != Match::Yes) {
                    continue;
                }
                if (api.openDevice(ftdi, found->dev) == 0) {
                    status = UsbStatus::Ok;
                    break;
                }
                status = UsbStatus::OpenRefused;
            }
        }
        if (status != UsbStatus::Ok) {
            api.freeContext(ftdi);
            return status;
        }
        api.setLatencyTimer(ftdi, DEFAULT_LATENCY_MS);
        ftdi_ = ftdi;
        received_.clear();
        readTimeoutMs_ = 0;
        return UsbStatus::Ok;
    }

    UsbStatus Close() override {
        if (ftdi_ == nullptr) {
            return UsbStatus::NotOpen;
        }
        // Releasing the interface gives the board back to ftdi_sio; a gone board is closed too.
        const int status = library_.api.close(ftdi_);
        library_.api.freeContext(ftdi_);
        ftdi_ = nullptr;
        received_.clear();
        return status == 0 ? UsbStatus::Ok : UsbStatus::IoError;
    }

    UsbStatus Reset() override {
        if (ftdi_ == nullptr) {
            return UsbStatus::NotOpen;
        }
        received_.clear();
        return library_.api.reset(ftdi_) == 0 ? UsbStatus::Ok : UsbStatus::IoError;
    }

    UsbStatus Write(std::span<const std::uint8_t> bytes, std::uint32_t& written) override {
        written = 0;
        if (ftdi_ == nullptr) {
            return UsbStatus::NotOpen;
        }
        // One call, one bulk transfer: libftdi splits only beyond its 4096-byte chunks.
        const int sent =
            library_.api.writeData(ftdi_, bytes.data(), static_cast<int>(bytes.size()));
        if (sent < 0) {
            return UsbStatus::IoError;
        }
        written = static_cast<std::uint32_t>(sent);
        return UsbStatus::Ok;
    }

    UsbStatus Read(std::span<std::uint8_t> buffer, std::uint32_t& received) override {
        received = 0;
        if (ftdi_ == nullptr) {
            return UsbStatus::NotOpen;
        }
        const std::uint64_t deadline = library_.nowMs() + readTimeoutMs_;
        while (received_.size() < buffer.size()) {
            if (!Receive(static_cast<int>(buffer.size() - received_.size()))) {
                return UsbStatus::IoError;
            }
            if (readTimeoutMs_ != 0 && library_.nowMs() >= deadline) {
                break;
            }
        }
        const std::size_t taken = std::min(buffer.size(), received_.size());
        std::copy_n(received_.begin(), taken, buffer.begin());
        received_.erase(received_.begin(), received_.begin() + static_cast<std::ptrdiff_t>(taken));
        received = static_cast<std::uint32_t>(taken);
        return UsbStatus::Ok;
    }

    UsbStatus SetTimeouts(std::uint32_t readMilliseconds,
                          std::uint32_t writeMilliseconds) override {
        if (ftdi_ == nullptr) {
            return UsbStatus::NotOpen;
        }
        readTimeoutMs_ = readMilliseconds;
        if (writeMilliseconds != 0) {
            ftdi_->usb_write_timeout = static_cast<int>(writeMilliseconds);
        }
        return UsbStatus::Ok;
    }

    // tciflush names the buffer the right way round; the older purge calls of libftdi swap
    // the two.
    UsbStatus Purge() override {
        if (ftdi_ == nullptr) {
            return UsbStatus::NotOpen;
        }
        received_.clear();
        return library_.api.tciflush(ftdi_) == 0 ? UsbStatus::Ok : UsbStatus::IoError;
    }

    UsbStatus Queued(std::uint32_t& count) override {
        if (ftdi_ == nullptr) {
            return UsbStatus::NotOpen;
        }
        // A gone board fails here, which is how the connection check notices it.
        if (!Receive(POLL_BYTES)) {
            return UsbStatus::IoError;
        }
        count = static_cast<std::uint32_t>(received_.size());
        return UsbStatus::Ok;
    }

    UsbStatus SetLatency(std::uint8_t milliseconds) override {
        if (ftdi_ == nullptr) {
            return UsbStatus::NotOpen;
        }
        if (milliseconds < MIN_LATENCY_MS) {
            return UsbStatus::InvalidArgument;
        }
        return library_.api.setLatencyTimer(ftdi_, milliseconds) == 0 ? UsbStatus::Ok
                                                                      : UsbStatus::IoError;
    }

  private:
    // Takes in what the chip has sent, asking for at most `wanted` bytes: the chip answers an
    // IN request at once with what it holds, or when its latency timer runs out with nothing,
    // so this never waits longer than that. False when the board is gone.
    bool Receive(int wanted) {
        std::array<std::uint8_t, POLL_BYTES> bytes{};
        const int count = library_.api.readData(ftdi_, bytes.data(), std::min(wanted, POLL_BYTES));
        if (count < 0) {
            return false;
        }
        received_.insert(received_.end(), bytes.begin(), bytes.begin() + count);
        return true;
    }

    Library& library_;
    ftdi_context* ftdi_ = nullptr;  // while a board is open
    std::vector<std::uint8_t> received_;
    std::uint32_t readTimeoutMs_ = 0;  // 0: wait until the bytes come, as after a D2XX open
};

class LibftdiTransport final : public UsbTransport {
  public:
    LibftdiTransport(std::string libraryName, const UsbSetup& setup)
        : libraryName_(std::move(libraryName)) {
        if (setup.nowMs != nullptr) {
            library_.nowMs = setup.nowMs;
        }
        if (setup.accessRefused != nullptr) {
            library_.accessRefused = setup.accessRefused;
        }
    }

    UsbBinding Bind() override {
        if (!dynamicLibrary_.IsLoaded() && !dynamicLibrary_.Load(libraryName_)) {
            return {};
        }
        LibftdiApi api;
        if (!BindApi(dynamicLibrary_, api)) {
            return {};
        }
        library_.api = api;
        library_.bound = true;
        return {true, ""};
    }

    // A board we may not open is counted, so that opening it fails visibly.
    UsbStatus Count(const std::string& description, std::int32_t& count) override {
        count = 0;
        if (!library_.bound) {
            return UsbStatus::Unavailable;
        }
        library_.permissionRefused = false;
        Context context(library_.api);
        BoardList boards(library_.api, context.ftdi);
        for (ftdi_device_list* board = boards.head; board != nullptr; board = board->next) {
            const Match match = MatchDescription(library_, context.ftdi, board->dev, description);
            library_.permissionRefused = library_.permissionRefused || match == Match::NoPermission;
            if (match != Match::No) {
                ++count;
            }
        }
        return UsbStatus::Ok;
    }

    // Indexed among the boards that carry the description, in the order libusb finds them.
    std::vector<UsbBoard> List(const std::string& description) override {
        std::vector<UsbBoard> boards;
        if (!library_.bound) {
            return boards;
        }
        library_.permissionRefused = false;
        Context context(library_.api);
        BoardList found(library_.api, context.ftdi);
        int index = 0;
        for (ftdi_device_list* board = found.head; board != nullptr; board = board->next) {
            const Match match = MatchDescription(library_, context.ftdi, board->dev, description);
            library_.permissionRefused = library_.permissionRefused || match == Match::NoPermission;
            if (match != Match::Yes) {
                continue;
            }
            const int at = index++;
            if (const auto serial = SerialOf(library_.api, context.ftdi, board->dev)) {
                boards.push_back({at, *serial, description});
            }
        }
        return boards;
    }

    std::unique_ptr<UsbChannel> NewChannel() override {
        return std::make_unique<LibftdiChannel>(library_);
    }

    bool PermissionRefused() const override { return library_.permissionRefused; }

  private:
    std::string libraryName_;
    DynamicLibrary dynamicLibrary_;  // loaded once, never unloaded
    Library library_;
};

}  // namespace

std::unique_ptr<UsbTransport> MakeLibftdiTransport(Reporter& /*reporter*/,
                                                   const std::string& library,
                                                   const UsbSetup& setup) {
    return std::make_unique<LibftdiTransport>(library, setup);
}

}  // namespace vek
