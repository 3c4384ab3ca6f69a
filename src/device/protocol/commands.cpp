#include "device/protocol/commands.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "base/debug_log.h"

namespace morva {

namespace {

enum class LockKind { Command, Stream, None };
enum class Direction { Read, Write };

int Judge(int result, const CommandReport& answer) {
    if (result != kResultOk)
        return result;
    if (answer.Status() == 0xFF)
        return kResultStatusFF;
    if (answer.Status() == 0xFE)
        return kResultStatusFE;
    return kResultOk;
}

int Exchange(CDeviceChannel& channel, LockKind lock, const CommandReport& request,
             CommandReport& answer, bool quiet = false) {
    auto run = [&] {
        return quiet ? channel.TransactQuiet(request.bytes.data(), kReportSize, answer.bytes.data(),
                                             kReportSize, nullptr)
                     : channel.Transact(request.bytes.data(), kReportSize, answer.bytes.data(),
                                        kReportSize, nullptr);
    };
    switch (lock) {
        case LockKind::Command: {
            std::lock_guard guard(channel.commandLock);
            return run();
        }
        case LockKind::Stream: {
            std::lock_guard guard(channel.streamLock);
            return run();
        }
        case LockKind::None:
            break;
    }
    return run();
}

int Single(CDeviceChannel& channel, std::uint8_t command, std::uint8_t length = 0,
           std::uint16_t address = 0, CommandReport* answerOut = nullptr) {
    const CommandReport request = CommandReport::Request(command, length, address);
    CommandReport answer;
    const int result = Judge(Exchange(channel, LockKind::Command, request, answer), answer);
    if (answerOut)
        *answerOut = answer;
    return result;
}

struct Chunking {
    std::uint8_t command;
    Direction direction;
    LockKind lock;
    std::size_t chunk;   // payload bytes per report
    std::uint32_t base;  // address of position 0
    bool dropWhileBusy = false;
    bool quiet = false;
};

// Writes take their payload from `source`, reads copy theirs to `dest`.
int Chunked(CDeviceChannel& channel, const Chunking& c, const std::uint8_t* source,
            std::uint8_t* dest, std::size_t total) {
    for (std::size_t position = 0; position < total; position += c.chunk) {
        const std::size_t length = std::min(c.chunk, total - position);
        const auto address = static_cast<std::uint16_t>((c.base + position) & 0xFFFF);
        if (c.dropWhileBusy && channel.Busy()) {
            DebugLog("放弃灯光数据\n");
            continue;
        }
        const std::span<const std::uint8_t> payload =
            c.direction == Direction::Write
                ? std::span<const std::uint8_t>(source + position, length)
                : std::span<const std::uint8_t>();
        const CommandReport request =
            CommandReport::Request(c.command, static_cast<std::uint8_t>(length), address, payload);
        CommandReport answer;
        const int result = Judge(Exchange(channel, c.lock, request, answer, c.quiet), answer);
        if (result != kResultOk)
            return result;
        if (c.direction == Direction::Read) {
            std::copy_n(answer.bytes.begin() + kPayloadOffset, length, dest + position);
        }
    }
    return kResultOk;
}

int Write(CDeviceChannel& channel, Chunking c, const std::uint8_t* data, std::size_t length) {
    c.direction = Direction::Write;
    return Chunked(channel, c, data, nullptr, length);
}

int Read(CDeviceChannel& channel, Chunking c, std::uint8_t* out, std::size_t length) {
    c.direction = Direction::Read;
    return Chunked(channel, c, nullptr, out, length);
}

int WriteTable(CDeviceChannel& channel, std::uint8_t command, const std::uint8_t* data, int page) {
    if (page != 0)
        return kResultBadPage;
    const auto base = static_cast<std::uint32_t>(page) * 512u;
    return Write(channel, {command, Direction::Write, LockKind::Command, channel.ChunkSize(), base},
                 data, channel.TransferSize());
}

int SendEnd(CDeviceChannel& channel) {
    std::this_thread::sleep_for(kSequenceEndWait);
    return Single(channel, cmd::kEnd);
}

}  // namespace

int CmdBegin(CDeviceChannel& channel) {
    if (!channel.InBatch())
        return Single(channel, cmd::kBegin);
    CDeviceChannel::Batch& batch = channel.SequenceBatch();
    // A begin that failed is tried again by the next sequence, as it would have been.
    if (!batch.begun || batch.beginResult != kResultOk) {
        batch.begun = true;
        batch.beginResult = Single(channel, cmd::kBegin);
    }
    return batch.beginResult;
}

int CmdEnd(CDeviceChannel& channel) {
    return channel.InBatch() ? kResultOk : SendEnd(channel);
}

CSequenceBatch::CSequenceBatch(CDeviceChannel& channel) : channel_(channel) {
    CDeviceChannel::Batch& batch = channel.SequenceBatch();
    std::thread::id none{};
    if (!batch.owner.compare_exchange_strong(none, std::this_thread::get_id()))
        return;  // this thread's batch already, or another thread's: sequences as they come
    owns_ = true;
    batch.begun = false;
    batch.beginResult = kResultOk;
    batch.reachable = -1;
    batch.infoRead = false;
}

CSequenceBatch::~CSequenceBatch() {
    End();
}

int CSequenceBatch::End() {
    if (!owns_)
        return kResultOk;
    owns_ = false;
    CDeviceChannel::Batch& batch = channel_.SequenceBatch();
    const bool begun = batch.begun;
    batch.owner.store(std::thread::id{});
    // Sent even after a failed begin, as a single sequence's end is.
    return begun ? SendEnd(channel_) : kResultOk;
}

int CmdReadInfo(CDeviceChannel& channel, std::span<std::uint8_t, kInfoBlockSize> info) {
    const bool batched = channel.InBatch();
    CDeviceChannel::Batch& batch = channel.SequenceBatch();
    if (batched && batch.infoRead) {
        std::copy(batch.info.begin(), batch.info.end(), info.begin());
        return kResultOk;
    }
    const int r =
        Read(channel, {cmd::kReadInfo, Direction::Read, LockKind::Command, channel.ChunkSize(), 0},
             info.data(), info.size());
    if (batched && r == kResultOk) {
        std::copy(info.begin(), info.end(), batch.info.begin());
        batch.infoRead = true;
    }
    return r;
}

int CmdReadSetting(CDeviceChannel& channel, std::uint8_t* out, std::size_t length,
                   std::uint16_t base) {
    return Read(channel,
                {cmd::kReadSetting, Direction::Read, LockKind::Command, channel.ChunkSize(), base},
                out, length);
}

int CmdWriteSetting(CDeviceChannel& channel, const std::uint8_t* data, std::size_t length,
                    std::uint16_t base) {
    return Write(
        channel,
        {cmd::kWriteSetting, Direction::Write, LockKind::Command, channel.ChunkSize(), base}, data,
        length);
}

int CmdReadKeyTable(CDeviceChannel& channel, std::uint8_t* out) {
    return Read(channel,
                {cmd::kReadKeyTable, Direction::Read, LockKind::Command, channel.ChunkSize(), 0},
                out, channel.TransferSize());
}

int CmdWriteKeyTable(CDeviceChannel& channel, const std::uint8_t* data, int page) {
    return WriteTable(channel, cmd::kWriteKeyTable, data, page);
}

int CmdWriteFnKeyTable(CDeviceChannel& channel, const std::uint8_t* data, int page) {
    return WriteTable(channel, cmd::kWriteFnKeyTable, data, page);
}

int CmdWriteLightColours(CDeviceChannel& channel, const std::uint8_t* data, std::size_t length,
                         int group, int groupSize) {
    const auto base = static_cast<std::uint32_t>(group * groupSize);
    return Write(
        channel,
        {cmd::kWriteLightColours, Direction::Write, LockKind::Stream, channel.ChunkSize(), base},
        data, length);
}

int CmdWriteLightFrame(CDeviceChannel& channel, const std::uint8_t* data, std::size_t length) {
    Chunking c{cmd::kWriteLightFrame, Direction::Write, LockKind::Stream, channel.ChunkSize(), 0};
    c.dropWhileBusy = true;
    c.quiet = true;
    return Write(channel, c, data, length);
}

int CmdWriteMacro(CDeviceChannel& channel, const std::uint8_t* data, std::size_t length) {
    return Write(channel,
                 {cmd::kWriteMacro, Direction::Write, LockKind::Command, channel.ChunkSize(), 0},
                 data, length);
}

int CmdWriteShoot(CDeviceChannel& channel, const std::uint8_t* data, std::size_t length) {
    return Write(channel, {cmd::kWriteShoot, Direction::Write, LockKind::None, kMaxPayload, 0},
                 data, length);
}

int CmdReadStatus(CDeviceChannel& channel, std::uint8_t* out, std::uint8_t length,
                  std::uint16_t address) {
    CommandReport answer;
    const int result = Single(channel, cmd::kReadStatus, length, address, &answer);
    if (result == kResultOk) {
        std::copy_n(answer.bytes.begin() + kPayloadOffset,
                    std::min<std::size_t>(length, kMaxPayload), out);
    }
    return result;
}

int CmdReadLightIndex(CDeviceChannel& channel, std::uint8_t* out) {
    return Read(channel,
                {cmd::kReadLightIndex, Direction::Read, LockKind::Command, channel.ChunkSize(), 0},
                out, channel.TransferSize() / 3u);
}

int CmdLightControl(CDeviceChannel& channel) {
    return Single(channel, cmd::kLightControl);
}

bool CmdQueryWireless(CDeviceChannel& channel) {
    if (!channel.ViaReceiver())
        return true;
    const bool batched = channel.InBatch();
    CDeviceChannel::Batch& batch = channel.SequenceBatch();
    if (batched && batch.reachable >= 0)
        return batch.reachable == 1;
    CommandReport answer;
    const bool reachable = Single(channel, cmd::kQueryWireless, 0, 0, &answer) == kResultOk &&
                           answer.bytes[kPayloadOffset] == 0xFF;
    if (batched)
        batch.reachable = reachable ? 1 : 0;
    return reachable;
}

}  // namespace morva
