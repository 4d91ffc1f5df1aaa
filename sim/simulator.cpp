#include "simulator.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "state_file.h"
#include "usb_timing.h"
#include "vek_sim.h"

namespace vek::sim {

namespace {

// The serial number of the one board attached when VEKSIM_BOARDS names none.
constexpr const char* DEFAULT_SERIAL = "VF000001";

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : std::string(value);
}

// "NAME:a,b,c" into its numbers (C syntax, so 0x58 too); nothing when malformed.
std::optional<std::vector<int>> Numbers(const std::string& arguments, std::size_t count) {
    std::vector<int> numbers;
    std::istringstream items(arguments);
    std::string item;
    while (std::getline(items, item, ',')) {
        char* end = nullptr;
        const long number = std::strtol(item.c_str(), &end, 0);
        if (item.empty() || *end != '\0') {
            return std::nullopt;
        }
        numbers.push_back(static_cast<int>(number));
    }
    if (numbers.size() != count) {
        return std::nullopt;
    }
    return numbers;
}

}  // namespace

Simulator& Sim() {
    static Simulator simulator;
    return simulator;
}

void Simulator::Reset() {
    clock_.Reset(Environment("VEKSIM_REAL_TIME") == "1");
    AttachBoards();
    active_ = 0;
    LoadChip(boards_.front());
    queue_.Clear();
    queue_.RestartTimer(clock_.Now());
    faults_.Clear();
    firmware_.PowerUp();
    logs_ = Logs{};
    ResetCounters();
    attached_ = true;
    openFails_ = false;
    unplugCountdown_ = -1;
    handleState_ = HandleState::CLOSED;
    readTimeoutMs_ = 0;
    ArmFaults(Environment("VEKSIM_FAULTS"));
    ScriptSocket(Environment("VEKSIM_SOCKET"));
}

void Simulator::ScriptSocket(const std::string& script) {
    std::string error;
    std::optional<SocketScript> parsed = SocketScript::Parse(script, error);
    if (!parsed) {
        std::fprintf(stderr, "VEKSIM_SOCKET: cannot read \"%s\"\n", error.c_str());
        parsed.emplace();
    }
    socket_ = std::move(*parsed);
    socket_.Start(chip_);
}

void Simulator::AttachBoards() {
    boards_.clear();
    std::istringstream items(Environment("VEKSIM_BOARDS"));
    std::string item;
    while (std::getline(items, item, ';')) {
        // SERIAL:CHIP[:STATE], the state file last so that its path may hold colons.
        const std::size_t chipAt = item.find(':');
        const std::size_t stateAt = item.find(':', chipAt == std::string::npos ? 0 : chipAt + 1);
        const ChipModel* model =
            chipAt == std::string::npos
                ? nullptr
                : FindChipModel(std::string_view(item).substr(chipAt + 1, stateAt - chipAt - 1));
        if (model == nullptr || chipAt == 0) {
            if (!item.empty()) {
                std::fprintf(stderr, "VEKSIM_BOARDS: cannot attach \"%s\"\n", item.c_str());
            }
            continue;
        }
        boards_.push_back({item.substr(0, chipAt),
                           model,
                           stateAt == std::string::npos ? "" : item.substr(stateAt + 1),
                           {}});
    }
    if (boards_.empty()) {
        const ChipModel* model = FindChipModel(Environment("VEKSIM_CHIP"));
        boards_.push_back({DEFAULT_SERIAL,
                           model != nullptr ? model : &DefaultChipModel(),
                           Environment("VEKSIM_STATE"),
                           {}});
    }
}

void Simulator::LoadChip(BoardSlot& board) {
    if (board.kept) {
        chip_ = *board.kept;
        board.kept.reset();
    } else {
        chip_.Insert(*board.model);
        if (!board.statePath.empty()) {
            LoadChipState(board.statePath, chip_);
        }
    }
    savedRevision_ = chip_.Revision();
}

void Simulator::Activate(std::size_t index) {
    if (index == active_) {
        return;
    }
    SaveIfChanged();
    boards_[active_].kept = chip_;
    active_ = index;
    LoadChip(boards_[active_]);
    // The board now served starts as it does when it is plugged in.
    queue_.Clear();
    firmware_.PowerUp();
}

std::optional<std::size_t> Simulator::BoardWithSerial(std::string_view serial) const {
    for (std::size_t index = 0; index < boards_.size(); ++index) {
        if (boards_[index].serial == serial) {
            return index;
        }
    }
    return std::nullopt;
}

void Simulator::ArmFaults(const std::string& list) {
    std::istringstream items(list);
    std::string item;
    while (std::getline(items, item, ';')) {
        const std::size_t colon = item.find(':');
        const std::string name = item.substr(0, colon);
        const std::string arguments = colon == std::string::npos ? "" : item.substr(colon + 1);
        if (name == "detached" && arguments.empty()) {
            SetAttached(false);
        } else if (const auto reply = Numbers(arguments, 5); name == "reply" && reply) {
            const std::vector<int>& n = *reply;
            faults_.FaultReply(n[0], n[1], n[2], n[3], n[4]);
        } else if (!item.empty()) {
            // The process under test has no other way to tell the test that its fault is not armed.
            std::fprintf(stderr, "VEKSIM_FAULTS: cannot arm \"%s\"\n", item.c_str());
        }
    }
}

std::optional<FT_STATUS> Simulator::CallFailure(std::string_view function) {
    if (function == "FT_Write") {
        ++counters_.writeCalls;
    } else if (function == "FT_Read") {
        ++counters_.readCalls;
    }
    if (unplugCountdown_ == 0) {
        SetAttached(false);
    }
    if (unplugCountdown_ >= 0) {
        --unplugCountdown_;
    }
    return faults_.TakeCallFault(function);
}

std::optional<FT_STATUS> Simulator::HandleFailure(FT_HANDLE handle) const {
    if (handleState_ == HandleState::CLOSED || handle != handle_) {
        return FT_INVALID_HANDLE;
    }
    if (handleState_ == HandleState::LOST) {
        return FT_IO_ERROR;
    }
    return std::nullopt;
}

// Unplugging takes the board's power: it starts afresh when it comes back.
void Simulator::SetAttached(bool attached) {
    if (attached == attached_) {
        return;
    }
    attached_ = attached;
    if (!attached && handleState_ == HandleState::OPEN) {
        handleState_ = HandleState::LOST;
    }
    queue_.Clear();
    firmware_.PowerUp();
}

FT_STATUS Simulator::Open(std::size_t index, FT_HANDLE* handle) {
    if (!attached_ || index >= boards_.size()) {
        return FT_DEVICE_NOT_FOUND;
    }
    // An open device is in use: a second open fails, as with the real driver. The simulator
    // serves one open board at a time, so any open board counts.
    if (openFails_ || handleState_ == HandleState::OPEN) {
        return FT_DEVICE_NOT_OPENED;
    }
    Activate(index);
    ++opens_;
    // A new value for every open, so that a handle kept from before is recognised as stale.
    handle_ = reinterpret_cast<FT_HANDLE>(static_cast<std::uintptr_t>(0x10000 + 0x10 * opens_));
    handleState_ = HandleState::OPEN;
    queue_.RestartTimer(clock_.Now());
    *handle = handle_;
    return FT_OK;
}

void Simulator::Send(const std::uint8_t* bytes, std::size_t count) {
    clock_.WaitUntil(clock_.Now() + USB_FRAME_MS);
    for (std::size_t i = 0; i < count; ++i) {
        logs_.hostBytes.push_back(bytes[i]);
        firmware_.Receive(bytes[i]);
    }
    SaveIfChanged();
}

std::vector<std::uint8_t> Simulator::Receive(std::size_t count,
                                             const std::optional<ReadFault>& fault) {
    if (count == 0) {
        return {};
    }
    const Millis now = clock_.Now();
    const std::optional<Millis> wanted = queue_.ArrivalOf(count, now);
    if (readTimeoutMs_ == 0) {
        // No time-out: wait for the bytes the board will send, however long that takes.
        const std::optional<Millis> last = wanted ? wanted : queue_.LastArrival(now);
        clock_.WaitUntil(last.value_or(now));
    } else if (wanted && *wanted <= now + readTimeoutMs_) {
        clock_.WaitUntil(*wanted);
    } else {
        clock_.WaitUntil(now + readTimeoutMs_);
    }
    std::vector<std::uint8_t> bytes = queue_.Take(count, clock_.Now());
    if (fault) {
        ApplyReadFault(*fault, count, now, bytes);
    }
    logs_.deviceBytes.insert(logs_.deviceBytes.end(), bytes.begin(), bytes.end());
    return bytes;
}

// Lost bytes leave the read short, so it waits out its time-out; a replaced byte beyond
// what the read got arrives after those bytes.
void Simulator::ApplyReadFault(const ReadFault& fault, std::size_t count, Millis startedAt,
                               std::vector<std::uint8_t>& bytes) {
    const auto at = static_cast<std::size_t>(std::max(fault.byteIndex, 0));
    if (fault.action == VEKSIM_DROP && at < bytes.size()) {
        bytes.resize(at);
        if (readTimeoutMs_ != 0) {
            clock_.WaitUntil(startedAt + readTimeoutMs_);
        }
    } else if (fault.action == VEKSIM_REPLACE && at < bytes.size()) {
        bytes[at] = static_cast<std::uint8_t>(fault.value);
    } else if (fault.action == VEKSIM_REPLACE && bytes.size() < count) {
        bytes.push_back(static_cast<std::uint8_t>(fault.value));
    }
}

Counters Simulator::GetCounters() const {
    Counters counters = counters_;
    counters.boardBusyMs = firmware_.BusyMs();
    counters.elapsedMs = clock_.Now() - countersSince_;
    return counters;
}

void Simulator::ResetCounters() {
    counters_ = Counters{};
    firmware_.ResetBusyMs();
    countersSince_ = clock_.Now();
}

void Simulator::ResetDevice() {
    firmware_.DropPartialState();
    queue_.Clear();
}

void Simulator::InjectStrayBytes(const std::vector<std::uint8_t>& bytes) {
    queue_.InjectNow(bytes, clock_.Now());
}

bool Simulator::SelectChip(std::string_view name) {
    const ChipModel* model = FindChipModel(name);
    if (model == nullptr) {
        return false;
    }
    chip_.Insert(*model);
    SaveIfChanged();
    return true;
}

void Simulator::SaveIfChanged() {
    const std::string& statePath = boards_[active_].statePath;
    if (statePath.empty() || chip_.Revision() == savedRevision_) {
        return;
    }
    SaveChipState(statePath, chip_);
    savedRevision_ = chip_.Revision();
}

}  // namespace vek::sim
