#include "link/libftdi_driver.h"

#include <ftdi.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#if !defined(_WIN32)
#include <unistd.h>
#endif

#include "link/connection.h"

namespace vek {

namespace {

// The functions of libftdi1 (and of libusb beneath it) that the driver calls.
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
    int (*tcoflush)(ftdi_context*) = nullptr;
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

bool AccessRefused(const char* path) {
#if defined(_WIN32)
    (void)path;
    return false;
#else
    return access(path, R_OK | W_OK) != 0 && errno == EACCES;
#endif
}

// One open board: its libftdi context and the bytes it has sent that no read has taken yet.
struct Device {
    ftdi_context* ftdi = nullptr;
    std::vector<std::uint8_t> received;
    std::uint32_t readTimeoutMs = 0;  // 0: wait until the bytes come, as after a D2XX open
};

struct Driver {
    LibftdiApi api;
    LibftdiPlatform platform{SteadyNowMs, AccessRefused};
    // One board at most is open; a handle is valid only while it is this one.
    std::unique_ptr<Device> device;
    bool permissionRefused = false;
};

Driver& TheDriver() {
    static Driver driver;
    return driver;
}

const LibftdiApi& Api() {
    return TheDriver().api;
}

Device* OpenDevice(FT_HANDLE handle) {
    Device* device = TheDriver().device.get();
    return handle != nullptr && handle == device ? device : nullptr;
}

// A context for enumerating, freed at the end of the scope.
struct Context {
    Context() : ftdi(Api().newContext()) {}
    ~Context() {
        if (ftdi != nullptr) {
            Api().freeContext(ftdi);
        }
    }
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;
    ftdi_context* ftdi;
};

// The boards with one of FTDI's default product IDs, freed at the end of the scope.
struct BoardList {
    explicit BoardList(ftdi_context* ftdi) {
        // Vendor and product 0 ask for FTDI's default IDs: 0x6001, 0x6010, 0x6011, 0x6014 and
        // 0x6015.
        if (ftdi == nullptr || Api().findAll(ftdi, &head, 0, 0) < 0) {
            head = nullptr;
        }
    }
    ~BoardList() {
        if (head != nullptr) {
            Api().listFree(&head);
        }
    }
    BoardList(const BoardList&) = delete;
    BoardList& operator=(const BoardList&) = delete;
    ftdi_device_list* head = nullptr;
};

enum class Match { Yes, No, NoPermission };

// Reading the product string opens the board; a board we may not open could be ours.
Match MatchDescription(ftdi_context* ftdi, libusb_device* board, const char* description) {
    std::array<char, 128> product{};
    const int status = Api().getStrings(ftdi, board, nullptr, 0, product.data(),
                                        static_cast<int>(product.size()), nullptr, 0);
    if (status == 0) {
        return std::strcmp(product.data(), description) == 0 ? Match::Yes : Match::No;
    }
    if (status != FTDI_OPEN_FAILED) {
        return Match::No;
    }
    char node[32];
    std::snprintf(node, sizeof node, "/dev/bus/usb/%03u/%03u", Api().busNumber(board),
                  Api().deviceAddress(board));
    return TheDriver().platform.accessRefused(node) ? Match::NoPermission : Match::No;
}

// The board's USB serial number, or nothing when it cannot be read.
std::optional<std::string> SerialOf(ftdi_context* ftdi, libusb_device* board) {
    std::array<char, 128> serial{};
    if (Api().getStrings(ftdi, board, nullptr, 0, nullptr, 0, serial.data(),
                         static_cast<int>(serial.size())) != 0) {
        return std::nullopt;
    }
    return std::string(serial.data());
}

// A board matches by its description or, with FT_OPEN_BY_SERIAL_NUMBER, by its serial number.
Match MatchBoard(ftdi_context* ftdi, libusb_device* board, D2xxDword by, const char* text) {
    if (by != FT_OPEN_BY_SERIAL_NUMBER) {
        return MatchDescription(ftdi, board, text);
    }
    const std::optional<std::string> serial = SerialOf(ftdi, board);
    return serial && *serial == text ? Match::Yes : Match::No;
}

// Takes in what the chip has sent, asking for at most `wanted` bytes: the chip answers an
// IN request at once with what it holds, or when its latency timer runs out with nothing,
// so this never waits longer than that. False when the board is gone.
bool Receive(Device& device, int wanted) {
    std::array<std::uint8_t, POLL_BYTES> bytes{};
    const int count = Api().readData(device.ftdi, bytes.data(), std::min(wanted, POLL_BYTES));
    if (count < 0) {
        return false;
    }
    device.received.insert(device.received.end(), bytes.begin(), bytes.begin() + count);
    return true;
}

// A write's or read's arguments as D2XX checks them, the count done set to 0 first.
FT_STATUS CheckTransfer(Device* device, const void* buffer, D2xxDword count, D2xxDword* done) {
    if (done != nullptr) {
        *done = 0;
    }
    if (device == nullptr) {
        return FT_INVALID_HANDLE;
    }
    if ((buffer == nullptr && count > 0) || done == nullptr) {
        return FT_INVALID_PARAMETER;
    }
    return FT_OK;
}

FT_STATUS VEK_WINAPI Write(FT_HANDLE handle, void* buffer, D2xxDword count, D2xxDword* written) {
    Device* device = OpenDevice(handle);
    if (const FT_STATUS checked = CheckTransfer(device, buffer, count, written); checked != FT_OK) {
        return checked;
    }
    // One call, one bulk transfer: libftdi splits only beyond its 4096-byte chunks.
    const int sent = Api().writeData(device->ftdi, static_cast<const unsigned char*>(buffer),
                                     static_cast<int>(count));
    if (sent < 0) {
        return FT_IO_ERROR;
    }
    *written = static_cast<D2xxDword>(sent);
    return FT_OK;
}

// Returns when count bytes have come or the read time-out has run out, whichever is first.
FT_STATUS VEK_WINAPI Read(FT_HANDLE handle, void* buffer, D2xxDword count, D2xxDword* received) {
    Device* device = OpenDevice(handle);
    if (const FT_STATUS checked = CheckTransfer(device, buffer, count, received);
        checked != FT_OK) {
        return checked;
    }
    const LibftdiPlatform& platform = TheDriver().platform;
    const std::uint64_t deadline = platform.nowMs() + device->readTimeoutMs;
    while (device->received.size() < count) {
        if (!Receive(*device, static_cast<int>(count - device->received.size()))) {
            return FT_IO_ERROR;
        }
        if (device->readTimeoutMs != 0 && platform.nowMs() >= deadline) {
            break;
        }
    }
    const std::size_t taken = std::min<std::size_t>(count, device->received.size());
    std::copy_n(device->received.begin(), taken, static_cast<std::uint8_t*>(buffer));
    device->received.erase(device->received.begin(), device->received.begin() + taken);
    *received = static_cast<D2xxDword>(taken);
    return FT_OK;
}

FT_STATUS VEK_WINAPI Open(int /*deviceNumber*/, FT_HANDLE* /*handle*/) {
    return FT_DEVICE_NOT_OPENED;  // the link opens by description only
}

FT_STATUS VEK_WINAPI OpenEx(void* argument, D2xxDword flags, FT_HANDLE* handle) {
    Driver& driver = TheDriver();
    if (handle == nullptr || argument == nullptr ||
        (flags != FT_OPEN_BY_DESCRIPTION && flags != FT_OPEN_BY_SERIAL_NUMBER)) {
        return FT_INVALID_PARAMETER;
    }
    if (driver.device != nullptr) {
        return FT_DEVICE_NOT_OPENED;  // in use, as D2XX answers for an open device
    }
    const auto* wanted = static_cast<const char*>(argument);
    driver.permissionRefused = false;
    auto device = std::make_unique<Device>();
    device->ftdi = Api().newContext();
    if (device->ftdi == nullptr) {
        return FT_IO_ERROR;
    }
    // Detach the kernel's serial driver while we hold the board, and give it back on close.
    device->ftdi->module_detach_mode = AUTO_DETACH_REATACH_SIO_MODULE;
    FT_STATUS status = FT_DEVICE_NOT_FOUND;
    {
        BoardList boards(device->ftdi);
        for (ftdi_device_list* board = boards.head; board != nullptr; board = board->next) {
            const Match match = MatchBoard(device->ftdi, board->dev, flags, wanted);
            if (match == Match::NoPermission) {
                driver.permissionRefused = true;
                status = FT_DEVICE_NOT_OPENED;
            }
            if (match != Match::Yes) {
                continue;
            }
            if (Api().openDevice(device->ftdi, board->dev) == 0) {
                status = FT_OK;
                break;
            }
            status = FT_DEVICE_NOT_OPENED;
        }
    }
    if (status != FT_OK) {
        Api().freeContext(device->ftdi);
        return status;
    }
    Api().setLatencyTimer(device->ftdi, DEFAULT_LATENCY_MS);
    *handle = device.get();
    driver.device = std::move(device);
    return FT_OK;
}

// With FT_LIST_BY_INDEX: the description or the serial number of the board at the index
// (in argument1 itself) among those that carry the programmer's description.
FT_STATUS ListedString(std::uintptr_t index, char* text, D2xxDword which) {
    if (text == nullptr || (which != FT_OPEN_BY_DESCRIPTION && which != FT_OPEN_BY_SERIAL_NUMBER)) {
        return FT_INVALID_PARAMETER;
    }
    Context context;
    BoardList boards(context.ftdi);
    std::uintptr_t seen = 0;
    for (ftdi_device_list* board = boards.head; board != nullptr; board = board->next) {
        if (MatchDescription(context.ftdi, board->dev, PROGRAMMER_DESCRIPTION) != Match::Yes ||
            seen++ != index) {
            continue;
        }
        const std::optional<std::string> found = which == FT_OPEN_BY_DESCRIPTION
                                                     ? PROGRAMMER_DESCRIPTION
                                                     : SerialOf(context.ftdi, board->dev);
        if (!found || found->size() >= FT_STRING_BUFFER) {
            return FT_IO_ERROR;
        }
        std::memcpy(text, found->c_str(), found->size() + 1);
        return FT_OK;
    }
    return FT_DEVICE_NOT_FOUND;
}

// Counts the boards that carry the programmer's description (FT_LIST_NUMBER_ONLY), or names
// one of them (FT_LIST_BY_INDEX).
FT_STATUS VEK_WINAPI ListDevices(void* argument1, void* argument2, D2xxDword flags) {
    if ((flags & FT_LIST_BY_INDEX) != 0) {
        return ListedString(reinterpret_cast<std::uintptr_t>(argument1),
                            static_cast<char*>(argument2), flags & ~FT_LIST_BY_INDEX);
    }
    if (argument1 == nullptr || flags != FT_LIST_NUMBER_ONLY) {
        return FT_INVALID_PARAMETER;
    }
    Driver& driver = TheDriver();
    driver.permissionRefused = false;
    Context context;
    BoardList boards(context.ftdi);
    D2xxDword count = 0;
    for (ftdi_device_list* board = boards.head; board != nullptr; board = board->next) {
        const Match match = MatchDescription(context.ftdi, board->dev, PROGRAMMER_DESCRIPTION);
        driver.permissionRefused = driver.permissionRefused || match == Match::NoPermission;
        if (match != Match::No) {
            ++count;  // a board we may not open is counted, so that opening it fails visibly
        }
    }
    std::memcpy(argument1, &count, sizeof count);
    return FT_OK;
}

FT_STATUS VEK_WINAPI Close(FT_HANDLE handle) {
    Device* device = OpenDevice(handle);
    if (device == nullptr) {
        return FT_INVALID_HANDLE;
    }
    // Releasing the interface gives the board back to ftdi_sio; a gone board is closed too.
    const int status = Api().close(device->ftdi);
    Api().freeContext(device->ftdi);
    TheDriver().device.reset();
    return status == 0 ? FT_OK : FT_IO_ERROR;
}

FT_STATUS VEK_WINAPI ResetDevice(FT_HANDLE handle) {
    Device* device = OpenDevice(handle);
    if (device == nullptr) {
        return FT_INVALID_HANDLE;
    }
    device->received.clear();
    return Api().reset(device->ftdi) == 0 ? FT_OK : FT_IO_ERROR;
}

FT_STATUS VEK_WINAPI Purge(FT_HANDLE handle, D2xxDword mask) {
    Device* device = OpenDevice(handle);
    if (device == nullptr) {
        return FT_INVALID_HANDLE;
    }
    // tciflush and tcoflush name the buffers the right way round; the older purge calls of
    // libftdi swap them.
    int status = 0;
    if ((mask & FT_PURGE_RX) != 0) {
        device->received.clear();
        status = Api().tciflush(device->ftdi);
    }
    if ((mask & FT_PURGE_TX) != 0 && status == 0) {
        status = Api().tcoflush(device->ftdi);
    }
    return status == 0 ? FT_OK : FT_IO_ERROR;
}

FT_STATUS VEK_WINAPI SetTimeouts(FT_HANDLE handle, D2xxDword readTimeout, D2xxDword writeTimeout) {
    Device* device = OpenDevice(handle);
    if (device == nullptr) {
        return FT_INVALID_HANDLE;
    }
    device->readTimeoutMs = readTimeout;
    if (writeTimeout != 0) {
        device->ftdi->usb_write_timeout = static_cast<int>(writeTimeout);
    }
    return FT_OK;
}

FT_STATUS VEK_WINAPI GetQueueStatus(FT_HANDLE handle, D2xxDword* count) {
    Device* device = OpenDevice(handle);
    if (device == nullptr) {
        return FT_INVALID_HANDLE;
    }
    if (count == nullptr) {
        return FT_INVALID_PARAMETER;
    }
    // A gone board fails here, which is how the connection check notices it.
    if (!Receive(*device, POLL_BYTES)) {
        return FT_IO_ERROR;
    }
    *count = static_cast<D2xxDword>(device->received.size());
    return FT_OK;
}

FT_STATUS VEK_WINAPI SetLatencyTimer(FT_HANDLE handle, std::uint8_t milliseconds) {
    Device* device = OpenDevice(handle);
    if (device == nullptr) {
        return FT_INVALID_HANDLE;
    }
    if (milliseconds < MIN_LATENCY_MS) {
        return FT_INVALID_PARAMETER;
    }
    return Api().setLatencyTimer(device->ftdi, milliseconds) == 0 ? FT_OK : FT_IO_ERROR;
}

template <typename Fn>
bool BindSymbol(const DynamicLibrary& library, const char* name, Fn& entry) {
    entry = reinterpret_cast<Fn>(library.Symbol(name));
    return entry != nullptr;
}

bool BindApi(const DynamicLibrary& library, LibftdiApi& api) {
    // libusb's functions come through libftdi1's handle, which reaches its dependencies.
    return BindSymbol(library, "ftdi_new", api.newContext) &&
           BindSymbol(library, "ftdi_free", api.freeContext) &&
           BindSymbol(library, "ftdi_usb_find_all", api.findAll) &&
           BindSymbol(library, "ftdi_list_free", api.listFree) &&
           BindSymbol(library, "ftdi_usb_get_strings", api.getStrings) &&
           BindSymbol(library, "ftdi_usb_open_dev", api.openDevice) &&
           BindSymbol(library, "ftdi_usb_close", api.close) &&
           BindSymbol(library, "ftdi_usb_reset", api.reset) &&
           BindSymbol(library, "ftdi_tciflush", api.tciflush) &&
           BindSymbol(library, "ftdi_tcoflush", api.tcoflush) &&
           BindSymbol(library, "ftdi_read_data", api.readData) &&
           BindSymbol(library, "ftdi_write_data", api.writeData) &&
           BindSymbol(library, "ftdi_set_latency_timer", api.setLatencyTimer) &&
           BindSymbol(library, "libusb_get_bus_number", api.busNumber) &&
           BindSymbol(library, "libusb_get_device_address", api.deviceAddress);
}

}  // namespace

void UseLibftdiPlatform(const LibftdiPlatform& platform) {
    TheDriver().platform = platform;
}

bool BindLibftdi(DynamicLibrary& library, const std::string& libraryName, D2xxEntries& entries) {
    if (!library.IsLoaded() && !library.Load(libraryName)) {
        return false;
    }
    LibftdiApi api;
    if (!BindApi(library, api)) {
        return false;
    }
    TheDriver().api = api;
    entries = D2xxEntries{Write,       Read,  Open,        OpenEx,         ListDevices,    Close,
                          ResetDevice, Purge, SetTimeouts, GetQueueStatus, SetLatencyTimer};
    return true;
}

bool LibftdiPermissionRefused() {
    return TheDriver().permissionRefused;
}

}  // namespace vek
