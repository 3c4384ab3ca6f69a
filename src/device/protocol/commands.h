// Command functions of the configuration protocol. Each builds its request(s), cuts long
// transfers into chunks, exchanges them on the channel and turns the answer's status into a
// result code (command_report.h); reads copy the answer payloads to the caller's buffer.
#pragma once

#include <cstdint>
#include <span>

#include "device/protocol/device_channel.h"

namespace morva {

inline constexpr std::size_t kInfoBlockSize = 34;
inline constexpr std::size_t kStatusBlockSize = 6;

int CmdBegin(CDeviceChannel& channel);
// Waits 10 ms first, giving the device time to store what was written.
int CmdEnd(CDeviceChannel& channel);
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
