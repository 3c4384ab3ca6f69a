// What the program needs of a HID access layer: list the top-level collections present,
// open one, move reports in and out under a time limit. Implemented on hidraw + udev
// (platform/hidraw) and by the simulated bus (sim/).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "device/hid/report_descriptor.h"

namespace morva::hid {

// How an open error for a node this user may not open starts; the node follows, then ":".
inline constexpr std::string_view kNoPermissionError = "no permission to open ";
inline bool IsNoPermissionError(std::string_view error) {
    return error.starts_with(kNoPermissionError);
}

inline constexpr std::uint32_t kNoTimeout = 0xFFFFFFFF;

// One top-level collection of one USB interface.
struct InterfaceInfo {
    // e.g. "/dev/hidraw3#vid_320f&pid_221c&mi_01&col04"; "&colNN" only when the interface
    // has more than one top-level collection. The path is the identity of a connection.
    std::string path;
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::uint16_t versionNumber = 0;  // bcdDevice
    std::uint16_t interfaceNumber = 0;
    std::uint16_t collectionNumber = 0;  // from 1; 0 when the interface has a single one
    TopLevelCollection collection;
};

enum class IoResult { Ok, Timeout, Cancelled, Failed };

class IHidConnection {
public:
    virtual ~IHidConnection() = default;
    virtual const InterfaceInfo& Info() const = 0;
    // One input report of this collection, report id byte first (0 when the interface uses
    // no report ids). Reports of other collections of the same interface never arrive here.
    // Only reports that arrived after Open are seen.
    virtual IoResult Read(std::span<std::uint8_t> buffer, std::size_t& transferred,
                          std::uint32_t timeoutMs) = 0;
    // One output report, report id byte first.
    virtual IoResult Write(std::span<const std::uint8_t> report, std::size_t& transferred,
                           std::uint32_t timeoutMs) = 0;
    // Ends the reads and writes in progress (they return Cancelled); later calls are not
    // affected. Safe from any thread.
    virtual void CancelPending() = 0;
};

class IHidBackend {
public:
    virtual ~IHidBackend() = default;
    // Paths of every top-level collection present. False only when nothing can be listed;
    // an interface whose details cannot be read is skipped.
    virtual bool Enumerate(std::vector<std::string>& paths) = 0;
    // Null on failure, with a one-line message a user can act on in `error`.
    virtual std::unique_ptr<IHidConnection> Open(const std::string& path, bool write,
                                                 std::string* error) = 0;
};

}  // namespace morva::hid
