// The HID backend on Linux: hidraw nodes found through udev, one path per top-level collection
// ("/dev/hidraw3#vid_320f&pid_221c&mi_01&col04"; "&colNN" only when the interface has more
// than one), and connections that share one reader per node.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "device/hid/hid_backend.h"
#include "platform/hidraw/hidraw_node.h"
#include "platform/hidraw/node_source.h"

namespace morva::hid {

class HidrawBackend final : public IHidBackend {
public:
    // Nodes from udev.
    HidrawBackend();
    explicit HidrawBackend(std::unique_ptr<HidrawNodeSource> source);
    ~HidrawBackend() override;
    HidrawBackend(const HidrawBackend&) = delete;
    HidrawBackend& operator=(const HidrawBackend&) = delete;

    // Nodes in device-number order, collections in descriptor order. A node whose details or
    // descriptor cannot be read is skipped with a debug log line.
    bool Enumerate(std::vector<std::string>& paths) override;
    // Checks that the node still belongs to the device the path names (node numbers are
    // reused after an unplug), then connects to the node's shared reader, opening the node
    // (read-write, or read-only when !write) if no suitable one is open yet. Connections may
    // outlive the backend. Safe from any thread.
    std::unique_ptr<IHidConnection> Open(const std::string& path, bool write,
                                         std::string* error) override;

private:
    std::unique_ptr<HidrawNodeSource> source_;
    std::mutex mutex_;                              // nodes_
    std::vector<std::weak_ptr<HidrawNode>> nodes_;  // open nodes, shared by their connections
};

// The interfaces of one node: one per top-level collection, in descriptor order. False, with
// the parser's reason, when the descriptor cannot be parsed.
bool DescribeNode(const HidrawNodeDetails& node, std::vector<InterfaceInfo>& interfaces,
                  bool& usesReportIds, std::string& error);

}  // namespace morva::hid
