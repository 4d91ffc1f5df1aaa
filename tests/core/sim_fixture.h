// Core tests drive the real link through the simulated programmer.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "device/listing.h"
#include "memory_settings.h"
#include "operations/blank_erase.h"
#include "operations/program.h"
#include "operations/read.h"
#include "operations/verify.h"
#include "recording_reporter.h"
#include "session/processor_selection.h"
#include "session/programmer.h"
#include "session/window_state.h"
#include "sim_control.h"
#include "temp_folder.h"
#include "vek_sim.h"
#include "wire_text.h"

namespace vek::test {

inline std::string Join(const std::vector<std::string>& parts) {
    std::string text;
    for (const std::string& part : parts) {
        text += (text.empty() ? "" : " ") + part;
    }
    return text;
}

// A command frame as hex text.
inline std::string Frame(std::initializer_list<std::uint8_t> payload) {
    return Hex(FrameBytes(payload));
}

// How often a frame occurs in a byte string.
inline int Count(const std::string& haystack, const std::string& needle) {
    int count = 0;
    for (std::size_t at = haystack.find(needle); at != std::string::npos;
         at = haystack.find(needle, at + needle.size())) {
        ++count;
    }
    return count;
}

// Texts that several commands show.
const std::string DRIVER_ERROR = "Driver error writing to VEK Flash. ";
const std::string NO_PROGRAMMER =
    "Error: No programmer detected. Attach programmer to \nUSB cable and Open with Setup, "
    "Connect...";
const std::string BUSY =
    "The VEK Flash programmer is busy with another command. Try again when it has finished.";
// The message that ends the application, with the failing step's code.
inline std::string Fatal(const std::string& code) {
    return "VEK Flash programmer is not responding to commands." + code +
           "\nDisconnect the programmer from the USB cable, check\nthe processor type and try "
           "again.\n\nThis application will now terminate!";
}
const std::string FATAL_1F = Fatal("(1f)");  // a command frame without its acknowledgement

// The warning shown when the chip in the socket is not the selected one.
inline std::string WrongTargetWarning(const std::string& name, const std::string& id) {
    return "Warning: The processor selected (" + name +
           ") may be different from the target\nthat is currently connected to the "
           "programmer.\nThe programmer detected an ID of " +
           id +
           ". \n\nValid IDs:\n16F84A: 560\t\t16F870: D00\n16F871: D20\t\t16F872: 8E0\n16F873: "
           "960\t\t16F874: 920\n16F876: 9E0\t\t16F877: 9A0\nSX28:  FCE\t\tSX48:  002 \n\n Power "
           "may need to be enabled from the Setup menu.";
}

// A fault put into the simulated board before a command.
using Injection = std::function<void(SimControl&)>;
const Injection NOTHING = [](SimControl&) {};
// The occurrence-th call from now (0 = the next) fails.
inline Injection FailRead(int occurrence) {
    return [occurrence](SimControl& s) { s.FailCall("FT_Read", occurrence); };
}
inline Injection FailWrite(int occurrence) {
    return [occurrence](SimControl& s) { s.FailCall("FT_Write", occurrence); };
}
// The reply fault of VekSim_FaultReply, on the occurrence-th answer that its anchor picks.
inline Injection NthReply(int anchor, int occurrence, int byteIndex, int action, int value = 0) {
    return [=](SimControl& s) { s.FaultReply(anchor, occurrence, byteIndex, action, value); };
}
inline Injection FaultReply(int anchor, int byteIndex, int action, int value = 0) {
    return NthReply(anchor, 0, byteIndex, action, value);
}
inline Injection SetWord(int space, int index, int value) {
    return [=](SimControl& s) { s.WriteWord(space, index, value); };
}

// A fresh simulated board and a programmer on it, with what the window turns into requests: the
// Device list's row, the chosen file and the configuration fields. A table gives each row its
// own, since a fatal row ends its link for good.
struct Bench {
    Bench() { sim.Reset(); }
    explicit Bench(int row) : Bench() { Open(row); }

    // Binds and opens the programmer as start-up would, selects a Device list row and puts the
    // matching chip in the socket, then forgets that traffic.
    void Open(int row = 0) {
        ASSERT_TRUE(programmer.link.Bind());
        ASSERT_EQ(programmer.link.Open(BoardWithDescription("VEK Flash")), UsbStatus::Ok);
        programmer.Connected = true;
        UseTarget(row);
        sim.ClearLogs();
    }
    void UseTarget(int row) {
        selectedRow = row;
        RefreshCurrentTarget(state, row, programmer.BusyFlag);
        ASSERT_TRUE(sim.SelectChip(std::string(DeviceTable[row].name)));
    }
    // The HEX file as chosen, and the configuration fields as the person left them.
    void UseFile(const std::string& path, const std::string& fuse, const std::string& fuseX) {
        file = {path, "test.hex"};
        fields.FuseText = fuse;
        fields.FuseXText = fuseX;
    }
    // The list's row, as the window takes it for a command.
    const DeviceInfo& Target() {
        RefreshCurrentTarget(state, selectedRow, programmer.BusyFlag);
        return state.CurrentTarget;
    }

    // Each operation as the window asks for it; a Read's words go into the fields.
    OperationResult BlankCheck() { return last = vek::BlankCheck(programmer, {Target()}); }
    OperationResult Erase() { return last = vek::Erase(programmer, {Target()}); }
    OperationResult Program() {
        return last = vek::Program(programmer,
                                   {Target(), file, WordsInFields(fields), eraseBeforeProgram});
    }
    OperationResult Verify() {
        return last = vek::Verify(programmer, {Target(), file, WordsInFields(fields)});
    }
    OperationResult Read() {
        last = vek::Read(programmer, {Target()});
        if (last.readBack) {
            ShowReadWords(state, fields, *last.readBack);
        }
        return last;
    }
    // What the Hex Data window lists after the last Read: nothing when it failed.
    std::vector<std::string> Listing() const {
        return last.readBack ? DeviceListingLines(last.readBack->image, last.readBack->target)
                             : std::vector<std::string>{};
    }

    std::string HostHex() { return Hex(sim.HostBytes()); }
    std::string DeviceHex() { return Hex(sim.DeviceBytes()); }
    int EndFrames() { return Count(HostHex(), Frame({0x54, Target().processorIndex})); }

    SimControl& sim = SimControl::Get();
    RecordingReporter ui;
    MemorySettings settings;
    Programmer programmer{ui, D2xxFrom(SimControl::Get().LibraryPath())};
    WindowState state{settings};
    int selectedRow = 0;
    ChosenHexFile file;
    FieldTexts fields;
    bool eraseBeforeProgram = true;
    OperationResult last;  // of the operation run last
};

// A bench with a folder of its own for the files a test writes.
class SimTest : public ::testing::Test, protected Bench {
  protected:
    TempFolder folder;
};

// A bench opened on the Device list's first row before each test.
class OpenedSimTest : public SimTest {
  protected:
    void SetUp() override { Open(); }
};

}  // namespace vek::test
