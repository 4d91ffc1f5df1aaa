// The read stream that Read and Verify's read-back take from the programmer: CMD_READ, a
// header with the configuration words, then the memory in 64-byte blocks, each answered.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "device/device_table.h"
#include "device/image_compare.h"
#include "device/memory_image.h"
#include "link/protocol.h"
#include "session/programmer.h"

namespace vek {

class ReadStream {
  public:
    // The memory goes into image.
    ReadStream(Programmer& programmer, const DeviceInfo& target, MemoryImage& image);

    // CMD_READ with the target's sizes; false after SendCommand's own message.
    bool Request();
    // The byte that opens the stream. Its value says nothing, but a read call that failed may
    // have left it queued, and every later block would be taken a byte late: that fails.
    bool TakeFirstByte();
    // The four configuration bytes as two words: the FUSE or configuration word, then the
    // FUSEX word (a PIC16's second word means nothing). unreadable is shown when the read call
    // fails; fewer bytes, or a word wider than the target's words, fail too.
    bool TakeConfiguration(const std::string& unreadable, ConfigurationWords& words);

    // The memory part after the header, into the image: the program blocks (a short one
    // resent once), the byte a PIC16 sends after them (its value unexamined, its read call
    // not), then the EEPROM blocks; nothing may follow them. programBlockUnreadable is shown
    // when a program block's read call fails. False after a failure, whose message has been
    // shown.
    bool ReadMemoryBlocks(const std::string& programBlockUnreadable);

    // A program block arrived short: drops what is queued, asks for the block again and
    // takes it whole into block. False after a failure, as above.
    bool ResendShortBlock(std::span<std::uint8_t, READ_BLOCK_BYTES> block);

  private:
    int ProgramBlocks() const;
    int EepromBlocks() const;
    bool ReadProgramBlock(int block, const std::string& unreadable);
    bool ReadEepromBlock(int block);
    bool Acknowledge(const char* writeFailed);
    bool FitsTargetWord(int word) const;
    bool CheckNothingLeftOver();
    bool Fail(const std::string& message);

    Reporter& reporter_;
    ProgrammerLink& link_;
    const DeviceInfo& target_;
    MemoryImage& image_;
};

}  // namespace vek
