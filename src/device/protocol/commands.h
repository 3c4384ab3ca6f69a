// Command functions of the configuration protocol. Each builds its request(s), cuts long
// transfers into chunks, exchanges them on the channel and turns the answer's status into a
// result code (command_report.h); reads copy the answer payloads to the caller's buffer.
#pragma once

#include <chrono>
#include <cstdint>
#include <initializer_list>
#include <span>

#include "device/protocol/device_channel.h"

namespace morva {

inline constexpr std::size_t kStatusBlockSize = 6;

// The first failing result of a sequence's steps, else kResultOk.
inline int FirstFailure(std::initializer_list<int> results) {
    for (int r : results) {
        if (r != kResultOk)
            return r;
    }
    return kResultOk;
}

// How long an end waits before it is sent, giving the device time to store what was written.
inline constexpr std::chrono::milliseconds kSequenceEndWait{10};

int CmdBegin(CDeviceChannel& channel);
// Waits kSequenceEndWait first.
int CmdEnd(CDeviceChannel& channel);

// Makes the sequences the constructing thread runs on `channel` until End() one sequence:
// the first begin is sent (again only after a failed one), ends send nothing until End(),
// the receiver is asked once whether its device answers and the information block is read
// once. The device stores all of it at the one end, which spares the begin and end
// exchanges and the end's wait of every other sequence. Other threads' sequences go on as
// before. Within an open batch it does nothing.
class CSequenceBatch {
public:
    explicit CSequenceBatch(CDeviceChannel& channel);
    ~CSequenceBatch();
    CSequenceBatch(const CSequenceBatch&) = delete;
    CSequenceBatch& operator=(const CSequenceBatch&) = delete;
    // The one end (kResultOk when nothing was begun); later calls do nothing.
    int End();

private:
    CDeviceChannel& channel_;
    bool owns_ = false;
};

int CmdReadInfo(CDeviceChannel& channel, std::span<std::uint8_t, kInfoBlockSize> info);
int CmdReadSetting(CDeviceChannel& channel, std::uint8_t* out, std::size_t length,
                   std::uint16_t base);
int CmdWriteSetting(CDeviceChannel& channel, const std::uint8_t* data, std::size_t length,
                    std::uint16_t base);
// Factory key table, TransferSize() bytes.
int CmdReadKeyTable(CDeviceChannel& channel, std::uint8_t* out);
// Active key table (and the Fn layer's), TransferSize() bytes; only page 0 exists.
int CmdWriteKeyTable(CDeviceChannel& channel, const std::uint8_t* data, int page);
int CmdWriteFnKeyTable(CDeviceChannel& channel, const std::uint8_t* data, int page);
int CmdWriteLightColours(CDeviceChannel& channel, const std::uint8_t* data, std::size_t length,
                         int group, int groupSize);
// One frame of host-driven lighting; chunks are dropped (and count as sent) while another
// exchange is in progress, so the stream never waits behind configuration traffic.
int CmdWriteLightFrame(CDeviceChannel& channel, const std::uint8_t* data, std::size_t length);
int CmdWriteMacro(CDeviceChannel& channel, const std::uint8_t* data, std::size_t length);
// 56-byte chunks whatever the link; takes no command lock.
int CmdWriteShoot(CDeviceChannel& channel, const std::uint8_t* data, std::size_t length);
int CmdReadStatus(CDeviceChannel& channel, std::uint8_t* out, std::uint8_t length,
                  std::uint16_t address);
// TransferSize() / 3 bytes: the LED index of each key.
int CmdReadLightIndex(CDeviceChannel& channel, std::uint8_t* out);
int CmdLightControl(CDeviceChannel& channel);
// True over cable without any traffic; over the receiver only when the device answers that
// it is reachable.
bool CmdQueryWireless(CDeviceChannel& channel);

}  // namespace morva
