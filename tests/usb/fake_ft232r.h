// A full-speed FT232R on a simulated USB bus. umockdev serves its device node to libusb, and
// the usbdevfs requests are answered from the simulated programmer: bulk OUT bytes go to the
// board, bulk IN packets carry the chip's two status bytes and what the board has sent, and an
// empty packet comes only when the latency timer has run out (on the simulator's clock).
// The process must run under umockdev-wrapper.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace vek::test {

struct UrbCounts {
    int bulkOut = 0;
    int bulkIn = 0;
    int control = 0;
};

class FakeFt232r {
  public:
    // Plugs in one board whose product string is `description`, at the device number of bus 1
    // given; it serves the simulated board with its serial number (the simulator's first by
    // default). Several boards may be plugged in at once, each at its own number.
    explicit FakeFt232r(const std::string& description = "VEK Flash",
                        const std::string& serial = "VF000001", int deviceNumber = 2);
    ~FakeFt232r();
    FakeFt232r(const FakeFt232r&) = delete;
    FakeFt232r& operator=(const FakeFt232r&) = delete;

    // After `urbs` more transfers every request fails as for a board pulled out.
    void UnplugAfterUrbs(int urbs);
    // The device node disappears, so that opening it fails.
    void RemoveDeviceNode();

    UrbCounts Counts() const;
    void ResetCounts();
    // The chip's own requests in order: "reset", "purge rx", "purge tx", "latency 2".
    std::vector<std::string> ChipRequests() const;
    // Whether the kernel's ftdi_sio holds the interface.
    bool KernelDriverBound() const;

    struct State;

  private:
    std::unique_ptr<State> state_;
};

}  // namespace vek::test
