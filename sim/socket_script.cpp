#include "socket_script.h"

#include <charconv>
#include <csignal>

namespace vek::sim {

namespace {

// How often a waiting host reads the ID: one ID read stands for this much of the script's time.
constexpr int POLL_MS = 500;

// "1s" or "500ms" in polls, rounded up; nothing for another text or no time at all.
std::optional<int> DurationInPolls(std::string_view text) {
    int scale = 0;
    if (text.ends_with("ms")) {
        scale = 1;
        text.remove_suffix(2);
    } else if (text.ends_with("s")) {
        scale = 1000;
        text.remove_suffix(1);
    }
    int amount = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), amount);
    if (scale == 0 || text.empty() || error != std::errc() || end != text.data() + text.size() ||
        amount <= 0) {
        return std::nullopt;
    }
    return (amount * scale + POLL_MS - 1) / POLL_MS;
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    for (std::size_t start = 0;;) {
        const std::size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end - start));
        if (end == std::string_view::npos) {
            return parts;
        }
        start = end + 1;
    }
}

}  // namespace

std::optional<SocketScript> SocketScript::Parse(std::string_view text, std::string& error) {
    SocketScript script;
    if (text.empty()) {
        return script;
    }
    for (const std::string_view itemText : Split(text, ',')) {
        const std::optional<Item> item = ParseItem(itemText);
        if (!item) {
            error = std::string(itemText);
            return std::nullopt;
        }
        script.items_.push_back(*item);
    }
    return script;
}

std::optional<SocketScript::Item> SocketScript::ParseItem(std::string_view text) {
    const std::vector<std::string_view> parts = Split(text, ':');
    Item item;
    if (parts[0] == "interrupt" && parts.size() == 1) {
        item.interrupt = true;
        return item;
    }
    const bool empty = parts[0] == "empty";
    if (!empty && (item.model = FindChipModel(parts[0])) == nullptr) {
        return std::nullopt;
    }
    for (std::size_t i = 1; i < parts.size(); ++i) {
        const std::optional<int> polls = DurationInPolls(parts[i]);
        if (empty && polls && item.polls < 0) {
            item.polls = *polls;
        } else if (empty && parts[i] == "ones" && !item.readsOnes) {
            item.readsOnes = true;
        } else if (!empty && parts[i] == "fail-verify" && !item.failVerify) {
            item.failVerify = true;
        } else {
            return std::nullopt;
        }
    }
    return item;
}

void SocketScript::Start(VirtualChip& chip) {
    if (Scripted()) {
        Enter(0, chip);
    }
}

bool SocketScript::ItemOver() const {
    const Item& item = items_[at_];
    if (item.model != nullptr) {
        return worked_ && !workSinceIdRead_;
    }
    return item.polls >= 0 && polls_ >= item.polls;
}

void SocketScript::BeforeIdRead(VirtualChip& chip) {
    if (!Scripted()) {
        return;
    }
    if (ItemOver()) {
        Enter(at_ + 1, chip);
    }
    ++polls_;
    workSinceIdRead_ = false;
}

// After the last item the socket stays empty.
void SocketScript::Enter(std::size_t index, VirtualChip& chip) {
    if (index >= items_.size()) {
        items_.push_back(Item{});
    }
    at_ = index;
    polls_ = 0;
    worked_ = workSinceIdRead_ = false;
    const Item& item = items_[at_];
    if (item.model == nullptr) {
        // Nothing answers in the socket: the board reads its idle lines.
        chip.Insert(DefaultChipModel());
        chip.SetDeviceId(item.readsOnes ? 0xFFFF : 0x0000);
    } else {
        chip.Insert(*item.model);
        if (item.failVerify) {
            chip.SetStuckProgramWord(0);
        }
    }
    if (item.interrupt) {
        std::raise(SIGINT);
    }
}

}  // namespace vek::sim
