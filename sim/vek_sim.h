/* Control interface of the simulated programmer. The simulator is built as the platform's D2XX
 * library (libftd2xx.so, Ftd2xx.dll) and exports the ten D2XX functions the link needs and
 * FT_SetLatencyTimer; tests reach these functions through the same loaded library, so the
 * link under test and the test share one simulated board. */
#ifndef VEK_SIM_H
#define VEK_SIM_H

#include <stddef.h>

/* The library exports only the D2XX functions and this interface. */
#if defined(_WIN32)
#define VEKSIM_API __declspec(dllexport)
#elif defined(__GNUC__)
#define VEKSIM_API __attribute__((visibility("default")))
#else
#define VEKSIM_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Behaviour of the D2XX side worth knowing in a test:
 * - Several boards: VEKSIM_BOARDS lists them as SERIAL:CHIP[:STATE] separated by ';', each
 *   with its USB serial number, the chip in its socket and the file that keeps that chip's
 *   memory (VEKSIM_STATE's format); without it one board "VF000001" holds the chip of
 *   VEKSIM_CHIP with VEKSIM_STATE. Every board carries the description "VEK Flash".
 *   FT_ListDevices counts them (FT_LIST_NUMBER_ONLY) and names each by index
 *   (FT_LIST_BY_INDEX with FT_OPEN_BY_SERIAL_NUMBER or FT_OPEN_BY_DESCRIPTION, the index in
 *   the first argument, a 64-byte buffer in the second; a call logged as
 *   "FT_ListDevices 40000001 1 -> 0 [B2]").
 * - FT_OpenEx opens by description ("VEK Flash", FT_OPEN_BY_DESCRIPTION: the first board) or
 *   by serial number (FT_OPEN_BY_SERIAL_NUMBER). One board is open at a time: opening while
 *   one is open fails with FT_DEVICE_NOT_OPENED, as a device in use does; every open gives a
 *   new handle, so one kept from before is stale (FT_INVALID_HANDLE). The control functions
 *   below act on the board opened last (the first one before any open); a board keeps its
 *   memory while another is open, and starts afresh when it is opened again (power off).
 *   Two processes may each open another board of the same list.
 * - FT_Open is never needed: it fails with FT_DEVICE_NOT_OPENED and is logged.
 * - A detached or unplugged board: FT_ListDevices counts 0 (status FT_OK), FT_OpenEx gives
 *   FT_DEVICE_NOT_FOUND, calls on the handle that was open give FT_IO_ERROR (FT_Close then
 *   forgets it). Plugging it back starts the board afresh: no transaction, power off.
 * - Until FT_SetTimeouts a read has no time-out: it waits for the bytes the board will send.
 * - FT_Purge drops every byte the board has queued, whether it has arrived yet or not (the
 *   host's own pauses do not move the virtual clock); answers to later host bytes come.
 * - The USB link costs time as a full-speed FTDI chip does (sim/usb_timing.h): every FT_Write
 *   takes a 1 ms frame before the board has the bytes; the board's bytes reach the host as soon
 *   as 62 of them have gathered, else when the latency timer runs out, which counts from the
 *   chip's last packet. The timer is 16 ms after every open; FT_SetLatencyTimer (logged as
 *   "FT_SetLatencyTimer 2 -> 0") takes 2 to 255 ms and answers FT_INVALID_PARAMETER to
 *   anything else.
 * - The board takes a byte of 0 or above 10 where a frame's length byte belongs as noise,
 *   and a byte other than HOST_ACK or HOST_RESEND in a read stream ends the stream and
 *   starts the next frame. CMD_ALLOW_POWER 0 also switches target power off. */

/* Memory spaces of the virtual chip. */
enum {
    VEKSIM_PROGRAM = 0, /* program memory, index = word address */
    VEKSIM_EEPROM = 1,  /* PIC16 data EEPROM, index = byte location */
    VEKSIM_CONFIG = 2,  /* PIC16 configuration area, index 0..7 = word 0x2000..0x2007 */
    VEKSIM_FUSE = 3,    /* SX FUSE word, index 0 */
    VEKSIM_FUSEX = 4    /* SX FUSEX word, index 0 */
};

/* What happens to a reply byte picked by VekSim_FaultReply. */
enum {
    VEKSIM_DROP = 0,    /* never sent: the host's read times out */
    VEKSIM_REPLACE = 1, /* sent as `value` instead */
    VEKSIM_DELAY = 2,   /* sent `value` milliseconds later than it would be */
    VEKSIM_APPEND = 3,  /* sent, followed by `value` stray bytes 0x00 */
    VEKSIM_STOP = 4     /* sent, then the process stops itself (SIGSTOP) until it is continued,
                           so that a test can change the world between two steps of a program */
};

/* Anchor of a reply fault: a command code (0..255), or one of these ORed with a block's
 * address word to pick a programming block (VEKSIM_ANCHOR_BLOCK | 0x2000 is the
 * configuration block). The answer to a CMD_READ frame is its whole read stream: byte 0 its
 * REPLY_FRAME_OK, 1 to 6 the header, then every byte in the order sent (block 0 from byte 7;
 * resends and the PIC16's extra byte before its EEPROM count too). */
#define VEKSIM_ANCHOR_BLOCK 0x10000
#define VEKSIM_ANCHOR_ANY_PROGRAM_BLOCK 0x20000 /* any program-memory block, counted in order */

/* Everything back to the start, as when the library is first used: a blank 16F84A in the
 * socket (or the chip named by VEKSIM_CHIP, with the memory kept in the file named by
 * VEKSIM_STATE when that file is for this chip), the board attached, power off and not
 * allowed, no transaction, no faults, empty logs, the clock at 0 (virtual unless
 * VEKSIM_REAL_TIME is 1), no handle open. The environment is read here.
 *
 * VEKSIM_FAULTS, for tests of a program that cannot reach this interface because it runs in
 * a process of its own, arms faults at once, as a list separated by ';':
 *   detached                         as VekSim_SetAttached(0)
 *   reply:ANCHOR,OCC,BYTE,ACTION,VAL as VekSim_FaultReply, numbers as in C ("0x53" too)
 * An item it cannot read is named on stderr and left out.
 *
 * VEKSIM_SOCKET scripts the socket of a production line, for example
 * "empty:1s,16F84A,empty:1s,16F84A:fail-verify,empty": chips and empty intervals in turn
 * (sim/socket_script.h has the items). Its time runs on the host's ID reads, each one poll of
 * a waiting host, 500 ms, so that tests never wait; a chip stays until the host has worked on
 * it and then read its ID twice with nothing between. A script it cannot read is named on
 * stderr and the socket holds the chip of VEKSIM_CHIP as without one. */
VEKSIM_API void VekSim_Reset(void);

/* Puts a fresh blank chip in the socket: "16F84A", "16F870" .. "16F877", "SX28", "SX48".
 * Returns 0, or -1 for an unknown name. Like every change of the chip's memory, it is saved
 * to the VEKSIM_STATE file. */
VEKSIM_API int VekSim_SelectChip(const char* name);
/* The raw 16-bit answer to CMD_READ_ID: first byte = low 8 bits, second = high 8 bits.
 * Lasts until the next reset or chip selection. */
VEKSIM_API void VekSim_SetDeviceId(unsigned raw);

/* Chip memory; values are masked to the word width of the space (14 bits PIC16 program and
 * configuration, 12 bits SX, 8 bits EEPROM). Read returns -1 and write -1 out of range. */
VEKSIM_API int VekSim_ReadWord(int space, int index);
VEKSIM_API int VekSim_WriteWord(int space, int index, int value);

/* Presence, of every board at once: a detached board is neither counted by FT_ListDevices nor
 * opened by FT_OpenEx. */
VEKSIM_API void VekSim_SetAttached(int attached);
/* FT_OpenEx fails while set, although the board is counted. */
VEKSIM_API void VekSim_SetOpenFails(int fails);
/* After `calls` more D2XX calls the board is gone: every later call fails. -1 cancels. */
VEKSIM_API void VekSim_UnplugAfterCalls(int calls);
/* The occurrence-th call (0 = the next) of the named D2XX function returns `status` and does
 * nothing else; occurrence -1 makes every call from now on fail. */
VEKSIM_API void VekSim_FailCall(const char* function, int occurrence, unsigned status);

/* Applies `action` to byte `byteIndex` of the answer to the occurrence-th (0 = the next)
 * frame or block picked by `anchor`. Byte 0 of a frame's answer is its REPLY_FRAME_OK.
 * A FUSE result replaced by REPLY_FAIL leaves the FUSE word unwritten, as reported. */
VEKSIM_API void VekSim_FaultReply(int anchor, int occurrence, int byteIndex, int action, int value);
/* Acts on what the host's occurrence-th (0 = the next) FT_Read call gets, whatever the board
 * sent, so that a test can reach every read without knowing the protocol. Every FT_Read call
 * counts, failed ones too. VEKSIM_DROP: the bytes from `byteIndex` on are lost (0 loses all)
 * and the read waits out its time-out; VEKSIM_REPLACE: byte `byteIndex` becomes `value`, or
 * `value` arrives after the bytes the read got when it got no more than `byteIndex` and had
 * room for one more. Other actions do nothing here. */
VEKSIM_API void VekSim_FaultRead(int occurrence, int byteIndex, int action, int value);
/* Program-memory block `block` of the next read stream arrives with only `bytesSent` bytes,
 * `times` times in a row (a HOST_RESEND gets it again). */
VEKSIM_API void VekSim_ShortReadBlock(int block, int times, int bytesSent);
/* EEPROM block `block` of the next read stream arrives with only `bytesSent` bytes. */
VEKSIM_API void VekSim_ShortEepromBlock(int block, int bytesSent);
/* Puts bytes in the host's receive queue now, as if left over from an earlier exchange. */
VEKSIM_API void VekSim_InjectStrayBytes(const unsigned char* bytes, size_t count);

/* Logs since the last reset or clear. The byte logs return the total count, copying at most
 * `capacity`; the call log is text, one line per D2XX call, for example
 * "FT_Write 02 53 00 51 -> 0", "FT_Read 1 -> 0 [55]", "FT_SetTimeouts 1000 1000 -> 0",
 * and returns its length, copying at most `capacity` - 1 characters and a terminating 0. */
VEKSIM_API size_t VekSim_HostBytes(unsigned char* buffer, size_t capacity);
VEKSIM_API size_t VekSim_DeviceBytes(unsigned char* buffer, size_t capacity);
VEKSIM_API size_t VekSim_CallLog(char* buffer, size_t capacity);
VEKSIM_API void VekSim_ClearLogs(void);

/* The virtual clock in milliseconds: the USB link's time, read time-outs that ran out and
 * the board's work. */
VEKSIM_API unsigned long long VekSim_ElapsedMs(void);

/* Where the time went since the last reset of the counters (VekSim_Reset resets them too):
 * the host's time on the link is elapsedMs - boardBusyMs. */
typedef struct VekSimCounters {
    unsigned long long writeCalls; /* FT_Write calls, whatever their status */
    unsigned long long readCalls;  /* FT_Read calls, whatever their status */
    /* The board's own work: its answers and the chip's writes, erases, blank checks and read
     * blocks, without injected delays. */
    unsigned long long boardBusyMs;
    unsigned long long elapsedMs; /* the virtual clock's advance */
} VekSimCounters;
VEKSIM_API void VekSim_Counters(VekSimCounters* counters);
VEKSIM_API void VekSim_ResetCounters(void);

/* Bit 0: target power allowed; bit 1: target power on. */
VEKSIM_API int VekSim_PowerState(void);
/* 1 between an acknowledged CMD_BEGIN and CMD_END. */
VEKSIM_API int VekSim_InTransaction(void);

#ifdef __cplusplus
}
#endif

#endif
