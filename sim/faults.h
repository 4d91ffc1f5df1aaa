// Faults a test arms: failing D2XX calls, damaged reply bytes and short read blocks.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/d2xx.h"

namespace vek::sim {

struct ReplyFault {
    int anchor;
    int skip;  // answers picked by the anchor that still go by untouched
    int byteIndex;
    int action;
    int value;
};

// What happens on the host's side to what one FT_Read call gets.
struct ReadFault {
    int skip;  // FT_Read calls that still go by untouched
    int byteIndex;
    int action;  // VEKSIM_DROP or VEKSIM_REPLACE
    int value;
};

// Program and EEPROM blocks of one read stream that arrive short.
class ReadStreamFaults {
  public:
    void AddProgramBlock(int block, int times, int bytesSent);
    void AddEepromBlock(int block, int bytesSent);
    // How many of the block's bytes go out this time.
    int ProgramBlockLength(int block);
    int EepromBlockLength(int block);

  private:
    struct ShortBlock {
        int block;
        int times;
        int bytesSent;
    };
    static int TakeLength(std::vector<ShortBlock>& blocks, int block);

    std::vector<ShortBlock> program_;
    std::vector<ShortBlock> eeprom_;
};

class Faults {
  public:
    void Clear() { *this = Faults(); }

    void FailCall(std::string_view function, int occurrence, FT_STATUS status);
    // The status this call of the function must fail with, if one is due.
    std::optional<FT_STATUS> TakeCallFault(std::string_view function);

    void FaultReply(int anchor, int occurrence, int byteIndex, int action, int value);
    // A frame or a programming block starts a new answer; anchors are the keys that pick it.
    void StartAnswer(const std::vector<int>& anchors);
    // The fault for the next byte of the current answer, if one is due.
    std::optional<ReplyFault> NextAnswerByte();

    void FaultRead(int occurrence, int byteIndex, int action, int value);
    // Counts one FT_Read call; the fault due on it, if one is.
    std::optional<ReadFault> TakeReadFault();

    void ShortReadBlock(int block, int times, int bytesSent);
    void ShortEepromBlock(int block, int bytesSent);
    // The short blocks armed for the next read stream, which takes them.
    ReadStreamFaults TakeReadStreamFaults();

  private:
    struct CallFault {
        std::string function;
        int skip;  // calls that still succeed; -1 fails every call
        FT_STATUS status;
    };

    std::vector<CallFault> calls_;
    std::vector<ReplyFault> armedReplies_;
    std::vector<ReplyFault> answerFaults_;
    std::vector<ReadFault> reads_;
    int answerByte_ = 0;
    ReadStreamFaults nextReadStream_;
};

}  // namespace vek::sim
