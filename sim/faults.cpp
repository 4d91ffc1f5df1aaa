#include "faults.h"

#include <algorithm>
#include <utility>

#include "link/protocol.h"

namespace vek::sim {

void ReadStreamFaults::AddProgramBlock(int block, int times, int bytesSent) {
    program_.push_back({block, times, bytesSent});
}

void ReadStreamFaults::AddEepromBlock(int block, int bytesSent) {
    eeprom_.push_back({block, 1, bytesSent});
}

int ReadStreamFaults::ProgramBlockLength(int block) {
    return TakeLength(program_, block);
}

int ReadStreamFaults::EepromBlockLength(int block) {
    return TakeLength(eeprom_, block);
}

int ReadStreamFaults::TakeLength(std::vector<ShortBlock>& blocks, int block) {
    auto found = std::find_if(blocks.begin(), blocks.end(), [block](const ShortBlock& entry) {
        return entry.block == block && entry.times > 0;
    });
    if (found == blocks.end()) {
        return READ_BLOCK_BYTES;
    }
    --found->times;
    return std::clamp(found->bytesSent, 0, READ_BLOCK_BYTES);
}

void Faults::FailCall(std::string_view function, int occurrence, FT_STATUS status) {
    calls_.push_back({std::string(function), occurrence, status});
}

std::optional<FT_STATUS> Faults::TakeCallFault(std::string_view function) {
    std::optional<FT_STATUS> due;
    for (auto fault = calls_.begin(); fault != calls_.end();) {
        if (fault->function != function) {
            ++fault;
        } else if (fault->skip < 0) {
            due = due.value_or(fault->status);
            ++fault;
        } else if (fault->skip == 0) {
            due = due.value_or(fault->status);
            fault = calls_.erase(fault);
        } else {
            --fault->skip;
            ++fault;
        }
    }
    return due;
}

void Faults::FaultReply(int anchor, int occurrence, int byteIndex, int action, int value) {
    armedReplies_.push_back({anchor, occurrence, byteIndex, action, value});
}

void Faults::StartAnswer(const std::vector<int>& anchors) {
    answerFaults_.clear();
    answerByte_ = 0;
    for (auto fault = armedReplies_.begin(); fault != armedReplies_.end();) {
        if (std::find(anchors.begin(), anchors.end(), fault->anchor) == anchors.end()) {
            ++fault;
        } else if (fault->skip > 0) {
            --fault->skip;
            ++fault;
        } else {
            answerFaults_.push_back(*fault);
            fault = armedReplies_.erase(fault);
        }
    }
}

std::optional<ReplyFault> Faults::NextAnswerByte() {
    const int index = answerByte_++;
    auto found =
        std::find_if(answerFaults_.begin(), answerFaults_.end(),
                     [index](const ReplyFault& fault) { return fault.byteIndex == index; });
    if (found == answerFaults_.end()) {
        return std::nullopt;
    }
    ReplyFault fault = *found;
    answerFaults_.erase(found);
    return fault;
}

void Faults::FaultRead(int occurrence, int byteIndex, int action, int value) {
    reads_.push_back({occurrence, byteIndex, action, value});
}

std::optional<ReadFault> Faults::TakeReadFault() {
    std::optional<ReadFault> due;
    for (auto fault = reads_.begin(); fault != reads_.end();) {
        if (fault->skip > 0) {
            --fault->skip;
            ++fault;
        } else {
            due = due.value_or(*fault);
            fault = reads_.erase(fault);
        }
    }
    return due;
}

void Faults::ShortReadBlock(int block, int times, int bytesSent) {
    nextReadStream_.AddProgramBlock(block, times, bytesSent);
}

void Faults::ShortEepromBlock(int block, int bytesSent) {
    nextReadStream_.AddEepromBlock(block, bytesSent);
}

ReadStreamFaults Faults::TakeReadStreamFaults() {
    return std::exchange(nextReadStream_, {});
}

}  // namespace vek::sim
