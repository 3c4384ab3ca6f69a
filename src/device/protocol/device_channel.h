// The two links a product can be reached through (cable, receiver) and the request/answer
// exchange on the active one, serialised between threads. Only the product's link owner
// (CProductLinks) opens and closes the links.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

#include "device/hid/hid_device.h"
#include "device/protocol/command_report.h"

namespace morva {

class CProductLinks;

// Link types given to SetLinkType (any value but kLinkReceiver means cable).
inline constexpr int kLinkCable = 1;
inline constexpr int kLinkReceiver = 2;

class CDeviceChannel {
public:
    static constexpr std::uint16_t kMaxTransferSize = 512;

    explicit CDeviceChannel(hid::IHidBackend& backend);
    CDeviceChannel(const CDeviceChannel&) = delete;
    CDeviceChannel& operator=(const CDeviceChannel&) = delete;

    void SetLinkType(int type);
    // 1, or 0 (nothing changed) above 512.
    int SetTransferSize(std::uint16_t size);

    // Result codes of command_report.h. `transferred` (optional) gets the answer's length.
    int Transact(const std::uint8_t* request, std::size_t requestLength, std::uint8_t* answer,
                 std::uint32_t answerLength, std::uint32_t* transferred);
    // The same without trace lines, for the lighting frame stream.
    int TransactQuiet(const std::uint8_t* request, std::size_t requestLength, std::uint8_t* answer,
                      std::uint32_t answerLength, std::uint32_t* transferred);

    // Writes one raw output report (report id byte first) on the cable, without trace lines,
    // for per-frame LED reports; no answer is awaited. kResultNoAnswer while the channel is
    // closed or runs through the receiver, kResultWriteFailed when the write fails.
    int WriteOutputReport(std::span<const std::uint8_t> report);

    std::uint16_t TransferSize() const { return transferSize_.load(); }
    std::uint8_t ChunkSize() const { return chunkSize_.load(); }
    bool ViaReceiver() const { return viaReceiver_.load(); }
    // True while any exchange is in progress.
    bool Busy() const { return busy_.load() > 0; }
    bool IsOpen() const { return open_.load(); }
    // Set by the owner once an interface is open; exchanges are refused while false.
    void SetOpen(bool open) { open_.store(open); }

    // The device's flag that an external colour override is active; the channel ignores it.
    std::atomic<bool> externalColour{false};

    const CHidDevice& Wired() const { return wired_; }
    const CHidDevice& Receiver() const { return receiver_; }

    // Lock order: commandLock or streamLock (never both), then the channel's own I/O lock,
    // which the link owner also holds while it (re)opens an interface.
    std::mutex commandLock;
    std::mutex streamLock;

    // Time limits of one write or read (cable, receiver); tests shorten them.
    std::uint32_t cableTimeoutMs = 1000;
    std::uint32_t receiverTimeoutMs = 5000;

    // One sequence that several operations share (CSequenceBatch): kept by the thread that
    // opened it, which alone reads and writes the fields below while it is open.
    struct Batch {
        std::atomic<std::thread::id> owner{};
        bool begun = false;
        int beginResult = kResultOk;
        int reachable = -1;  // the receiver's answer within the batch; -1 not asked yet
        bool infoRead = false;
        std::array<std::uint8_t, kInfoBlockSize> info{};  // the information block, once read
    };
    Batch& SequenceBatch() { return batch_; }
    // Whether the calling thread has a batch open on this channel.
    bool InBatch() const { return batch_.owner.load() == std::this_thread::get_id(); }

private:
    friend class CProductLinks;

    int Exchange(const std::uint8_t* request, std::size_t requestLength, std::uint8_t* answer,
                 std::uint32_t answerLength, std::uint32_t* transferred, bool trace);

    CHidDevice wired_;
    CHidDevice receiver_;
    std::mutex ioLock_;
    std::atomic<std::uint16_t> transferSize_{kMaxTransferSize};
    std::atomic<int> busy_{0};  // exchanges in progress
    // Answers read by one exchange that echo another exchange still waiting (a stream
    // frame and a configuration command may overlap); guarded by ioLock_.
    std::vector<std::array<std::uint8_t, kReportSize>> strayAnswers_;
    std::vector<std::uint8_t> waiting_;  // command bytes of exchanges between write and read
    std::atomic<bool> open_{false};
    std::atomic<bool> viaReceiver_{false};
    std::atomic<std::uint8_t> chunkSize_{24};
    Batch batch_;
};

}  // namespace morva
