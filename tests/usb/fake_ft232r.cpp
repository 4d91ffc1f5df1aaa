#include "fake_ft232r.h"

#include <linux/ioctl.h>
#include <linux/usbdevice_fs.h>
#include <umockdev.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <mutex>

#include "link/d2xx.h"
#include "sim_control.h"

namespace vek::test {

namespace {

constexpr std::uint8_t STATUS_BYTES[2] = {0x01, 0x60};  // modem and line status
constexpr std::size_t PACKET_DATA_BYTES = 62;
constexpr std::size_t SETUP_BYTES = 8;
constexpr unsigned DEFAULT_LATENCY_MS = 16;

// Device descriptor (FT232R: vendor 0403, product 6001, release 6.00, strings 1 to 3) and the
// configuration with one vendor interface and its two 64-byte bulk endpoints.
constexpr const char* DESCRIPTORS =
    "12010002000000080304016000060102030109022000010100a02d0904000002ffffff02"
    "0705810240000007050202400000";

// The simulated programmer's D2XX function, which the chip forwards to.
#define BOARD(function) (*reinterpret_cast<function##Fn>(SimControl::Get().Symbol(#function)))

struct Urb {
    UMockdevIoctlData* urb;
    UMockdevIoctlData* buffer;
};

// One testbed serves every board plugged in: umockdev puts one between the process and /dev.
struct SharedTestbed {
    UMockdevTestbed* testbed = nullptr;
    int boards = 0;
};

SharedTestbed& Testbed() {
    static SharedTestbed shared;
    return shared;
}

}  // namespace

struct FakeFt232r::State {
    std::string description;
    std::string serial;
    std::string node;     // /dev/bus/usb/001/NNN
    std::string sysPath;  // its device in sysfs
    UMockdevTestbed* testbed = nullptr;
    UMockdevIoctlBase* handler = nullptr;

    mutable std::mutex mutex;
    FT_HANDLE handle = nullptr;  // the board's D2XX handle while the interface is claimed
    unsigned latencyMs = DEFAULT_LATENCY_MS;
    bool kernelDriverBound = true;
    int urbsUntilUnplug = -1;
    bool unplugged = false;
    std::deque<Urb> done;
    UrbCounts counts;
    std::vector<std::string> chipRequests;

    bool Handle(UMockdevIoctlClient* client);
    int Submit(UMockdevIoctlData* arg);
    int Reap(UMockdevIoctlData* arg);
    int Control(std::uint8_t* setup, std::uint8_t* data, std::size_t room);
    std::size_t BulkIn(std::uint8_t* data, std::size_t room);
    std::size_t StringDescriptor(unsigned index, std::uint8_t* data, std::size_t room) const;
    void Claim();
    void Release();
};

namespace {

gboolean OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer state) {
    return static_cast<FakeFt232r::State*>(state)->Handle(client) ? TRUE : FALSE;
}

// The structure an ioctl's argument points to, while this lives.
template <typename T>
struct Resolved {
    explicit Resolved(UMockdevIoctlData* arg)
        : resolved(umockdev_ioctl_data_resolve(arg, 0, sizeof(T), nullptr)),
          data(reinterpret_cast<T*>(resolved->data)) {}
    ~Resolved() { umockdev_ioctl_data_unref(resolved); }
    Resolved(const Resolved&) = delete;
    Resolved& operator=(const Resolved&) = delete;

    UMockdevIoctlData* resolved;
    T* data;
};

}  // namespace

void FakeFt232r::State::Claim() {
    if (handle == nullptr) {
        BOARD(FT_OpenEx)(serial.data(), FT_OPEN_BY_SERIAL_NUMBER, &handle);
        latencyMs = DEFAULT_LATENCY_MS;
    }
}

void FakeFt232r::State::Release() {
    if (handle != nullptr) {
        BOARD(FT_Close)(handle);
        handle = nullptr;
    }
}

bool FakeFt232r::State::Handle(UMockdevIoctlClient* client) {
    std::lock_guard lock(mutex);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    if (unplugged) {
        umockdev_ioctl_client_complete(client, -1, ENODEV);
        return true;
    }
    int error = 0;
    switch (umockdev_ioctl_client_get_request(client)) {
        case USBDEVFS_GET_CAPABILITIES:
            *Resolved<guint32>(arg).data =
                USBDEVFS_CAP_BULK_CONTINUATION | USBDEVFS_CAP_NO_PACKET_SIZE_LIM;
            break;
        case USBDEVFS_GETDRIVER:
            if (!kernelDriverBound) {
                error = ENODATA;
                break;
            }
            std::strcpy(Resolved<usbdevfs_getdriver>(arg).data->driver, "ftdi_sio");
            break;
        case USBDEVFS_DISCONNECT_CLAIM:
            kernelDriverBound = false;
            Claim();
            break;
        case USBDEVFS_IOCTL: {
            const int code = Resolved<usbdevfs_ioctl>(arg).data->ioctl_code;
            if (code == static_cast<int>(USBDEVFS_DISCONNECT)) {
                kernelDriverBound = false;
            } else if (code == static_cast<int>(USBDEVFS_CONNECT)) {
                kernelDriverBound = true;
            }
            break;
        }
        case USBDEVFS_CLAIMINTERFACE:
            if (kernelDriverBound) {
                error = EBUSY;
                break;
            }
            Claim();
            break;
        case USBDEVFS_RELEASEINTERFACE:
            Release();
            break;
        case USBDEVFS_SETCONFIGURATION:
        case USBDEVFS_SETINTERFACE:
        case USBDEVFS_RESET:
        case USBDEVFS_CLEAR_HALT:
        case USBDEVFS_RESETEP:
        case USBDEVFS_CONNECTINFO:
            break;
        case USBDEVFS_SUBMITURB:
            error = Submit(arg);
            break;
        case USBDEVFS_REAPURB:
        case USBDEVFS_REAPURBNDELAY:
            error = Reap(arg);
            break;
        case USBDEVFS_DISCARDURB:
            error = EINVAL;  // every transfer is done at once
            break;
        default:
            return false;
    }
    umockdev_ioctl_client_complete(client, error == 0 ? 0 : -1, error);
    return true;
}

// Every transfer is answered as it is submitted; the reap hands it back.
int FakeFt232r::State::Submit(UMockdevIoctlData* arg) {
    if (urbsUntilUnplug == 0) {
        unplugged = true;
        Release();
        return ENODEV;
    }
    if (urbsUntilUnplug > 0) {
        --urbsUntilUnplug;
    }
    UMockdevIoctlData* urbData = umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), nullptr);
    auto* urb = reinterpret_cast<usbdevfs_urb*>(urbData->data);
    UMockdevIoctlData* buffer = umockdev_ioctl_data_resolve(
        urbData, G_STRUCT_OFFSET(usbdevfs_urb, buffer), urb->buffer_length, nullptr);
    auto* bytes = buffer->data;
    const auto room = static_cast<std::size_t>(urb->buffer_length);
    urb->status = 0;
    if (urb->type == USBDEVFS_URB_TYPE_CONTROL) {
        ++counts.control;
        const int length = Control(bytes, bytes + SETUP_BYTES, room - SETUP_BYTES);
        urb->status = length < 0 ? -EPIPE : 0;
        urb->actual_length = std::max(length, 0);
    } else if ((urb->endpoint & 0x80) != 0) {
        ++counts.bulkIn;
        urb->actual_length = static_cast<int>(BulkIn(bytes, room));
    } else {
        ++counts.bulkOut;
        D2xxDword written = 0;
        BOARD(FT_Write)(handle, bytes, static_cast<D2xxDword>(room), &written);
        urb->actual_length = static_cast<int>(written);
    }
    done.push_back({urbData, buffer});
    return 0;
}

int FakeFt232r::State::Reap(UMockdevIoctlData* arg) {
    if (done.empty()) {
        return EAGAIN;
    }
    const Urb urb = done.front();
    done.pop_front();
    umockdev_ioctl_data_set_ptr(Resolved<gpointer>(arg).resolved, 0, urb.urb);
    umockdev_ioctl_data_unref(urb.buffer);
    umockdev_ioctl_data_unref(urb.urb);
    return 0;
}

// The chip's packet: its status bytes, then what the board has sent. With nothing waiting the
// chip answers when its latency timer runs out.
std::size_t FakeFt232r::State::BulkIn(std::uint8_t* data, std::size_t room) {
    std::memcpy(data, STATUS_BYTES, sizeof STATUS_BYTES);
    std::size_t length = sizeof STATUS_BYTES;
    const std::size_t wanted = std::min(room - length, PACKET_DATA_BYTES);
    D2xxDword ready = 0;
    BOARD(FT_GetQueueStatus)(handle, &ready);
    if (ready == 0) {
        BOARD(FT_SetTimeouts)(handle, latencyMs, latencyMs);
        D2xxDword got = 0;
        BOARD(FT_Read)(handle, data + length, 1, &got);
        length += got;
        BOARD(FT_GetQueueStatus)(handle, &ready);
    }
    const D2xxDword take =
        std::min<D2xxDword>(ready, static_cast<D2xxDword>(wanted - (length - 2)));
    D2xxDword got = 0;
    if (take > 0) {
        BOARD(FT_Read)(handle, data + length, take, &got);
    }
    return length + got;
}

std::size_t FakeFt232r::State::StringDescriptor(unsigned index, std::uint8_t* data,
                                                std::size_t room) const {
    std::vector<std::uint8_t> descriptor;
    if (index == 0) {
        descriptor = {4, 3, 0x09, 0x04};  // English (United States)
    } else {
        const std::string text = index == 1 ? "FTDI" : index == 2 ? description : serial;
        descriptor = {static_cast<std::uint8_t>(2 + 2 * text.size()), 3};
        for (char c : text) {
            descriptor.push_back(static_cast<std::uint8_t>(c));
            descriptor.push_back(0);
        }
    }
    const std::size_t length = std::min(room, descriptor.size());
    std::memcpy(data, descriptor.data(), length);
    return length;
}

// The answer's length, or -1 to stall.
int FakeFt232r::State::Control(std::uint8_t* setup, std::uint8_t* data, std::size_t room) {
    const std::uint8_t type = setup[0];
    const std::uint8_t request = setup[1];
    const unsigned value = setup[2] | (setup[3] << 8);
    const std::size_t length = std::min<std::size_t>(room, setup[6] | (setup[7] << 8));
    if (type == 0x80 && request == 6 && (value >> 8) == 3) {
        return static_cast<int>(StringDescriptor(value & 0xFF, data, length));
    }
    if (type == 0x80 && request == 8 && length >= 1) {
        data[0] = 1;  // the configuration in use
        return 1;
    }
    if (type == 0xC0) {
        // Vendor reads: the latency timer, the modem status, EEPROM words.
        std::memset(data, 0, length);
        if (request == 0x0A && length >= 1) {
            data[0] = static_cast<std::uint8_t>(latencyMs);
        } else if (request == 0x05 && length >= 2) {
            std::memcpy(data, STATUS_BYTES, 2);
        }
        return static_cast<int>(length);
    }
    if (type != 0x40) {
        return -1;
    }
    if (request == 0x00) {
        // 0 resets the chip, 1 empties the bytes from the host, 2 those for the host.
        if (value == 0) {
            chipRequests.push_back("reset");
            BOARD(FT_ResetDevice)(handle);
        } else if (value == 1) {
            chipRequests.push_back("purge tx");
        } else if (value == 2) {
            chipRequests.push_back("purge rx");
            BOARD(FT_Purge)(handle, FT_PURGE_RX);
        }
    } else if (request == 0x09) {
        chipRequests.push_back("latency " + std::to_string(value));
        latencyMs = value;
        BOARD(FT_SetLatencyTimer)(handle, static_cast<std::uint8_t>(value));
    }
    return 0;
}

FakeFt232r::FakeFt232r(const std::string& description, const std::string& serial, int deviceNumber)
    : state_(std::make_unique<State>()) {
    char number[4];
    std::snprintf(number, sizeof number, "%03d", deviceNumber);
    state_->description = description;
    state_->serial = serial;
    state_->node = std::string("/dev/bus/usb/001/") + number;
    SharedTestbed& shared = Testbed();
    if (shared.boards++ == 0) {
        shared.testbed = umockdev_testbed_new();
    }
    state_->testbed = shared.testbed;
    state_->handler = umockdev_ioctl_base_new();
    g_signal_connect_after(state_->handler, "handle-ioctl", G_CALLBACK(OnIoctl), state_.get());
    umockdev_testbed_attach_ioctl(state_->testbed, state_->node.c_str(), state_->handler, nullptr);
    const std::string port = std::to_string(deviceNumber - 1);
    const std::string device = "P: /devices/pci0000:00/0000:00:14.0/usb1/1-" + port +
                               "\nN: bus/usb/001/" + number +
                               "\n"
                               "E: SUBSYSTEM=usb\n"
                               "E: DEVTYPE=usb_device\n"
                               "E: DRIVER=usb\n"
                               "E: BUSNUM=001\n"
                               "E: DEVNUM=" +
                               number + "\nE: DEVNAME=" + state_->node +
                               "\n"
                               "A: busnum=1\\n\n"
                               "A: devnum=" +
                               std::to_string(deviceNumber) +
                               "\\n\n"
                               "A: bConfigurationValue=1\\n\n"
                               "A: speed=12\\n\n"
                               "A: idVendor=0403\\n\n"
                               "A: idProduct=6001\\n\n"
                               "A: product=" +
                               description + "\\n\nH: descriptors=" + DESCRIPTORS + "\n";
    state_->sysPath = umockdev_testbed_add_from_string(state_->testbed, device.c_str(), nullptr)
                          ? "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-" + port
                          : "";
}

FakeFt232r::~FakeFt232r() {
    {
        std::lock_guard lock(state_->mutex);
        state_->Release();
        for (const Urb& urb : state_->done) {
            umockdev_ioctl_data_unref(urb.buffer);
            umockdev_ioctl_data_unref(urb.urb);
        }
    }
    // Unplugged: the next board at this number is a new one.
    umockdev_testbed_detach_ioctl(state_->testbed, state_->node.c_str(), nullptr);
    if (!state_->sysPath.empty()) {
        umockdev_testbed_remove_device(state_->testbed, state_->sysPath.c_str());
    }
    g_clear_object(&state_->handler);
    SharedTestbed& shared = Testbed();
    if (--shared.boards == 0) {
        g_clear_object(&shared.testbed);
    }
}

void FakeFt232r::UnplugAfterUrbs(int urbs) {
    std::lock_guard lock(state_->mutex);
    state_->urbsUntilUnplug = urbs;
}

void FakeFt232r::RemoveDeviceNode() {
    gchar* root = umockdev_testbed_get_root_dir(state_->testbed);
    std::filesystem::remove(std::string(root) + state_->node);
    g_free(root);
}

UrbCounts FakeFt232r::Counts() const {
    std::lock_guard lock(state_->mutex);
    return state_->counts;
}

void FakeFt232r::ResetCounts() {
    std::lock_guard lock(state_->mutex);
    state_->counts = {};
    state_->chipRequests.clear();
}

std::vector<std::string> FakeFt232r::ChipRequests() const {
    std::lock_guard lock(state_->mutex);
    return state_->chipRequests;
}

bool FakeFt232r::KernelDriverBound() const {
    std::lock_guard lock(state_->mutex);
    return state_->kernelDriverBound;
}

}  // namespace vek::test
