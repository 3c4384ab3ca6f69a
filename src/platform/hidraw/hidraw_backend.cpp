#include "platform/hidraw/hidraw_backend.h"

#include <fcntl.h>

#include <strings.h>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "base/debug_log.h"

namespace morva::hid {

namespace {

// "/dev/hidraw2" before "/dev/hidraw10".
bool NodeOrder(const HidrawNodeDetails& a, const HidrawNodeDetails& b) {
    if (a.devnode.size() != b.devnode.size())
        return a.devnode.size() < b.devnode.size();
    return a.devnode < b.devnode;
}

// The collection number is hexadecimal like every other number in the path, which is how
// the path parsers read it back.
std::string MakePath(const HidrawNodeDetails& node, std::size_t collectionNumber) {
    char tail[64];
    if (collectionNumber == 0) {
        std::snprintf(tail, sizeof tail, "#vid_%04x&pid_%04x&mi_%02x", node.vendorId,
                      node.productId, node.interfaceNumber);
    } else {
        std::snprintf(tail, sizeof tail, "#vid_%04x&pid_%04x&mi_%02x&col%02zx", node.vendorId,
                      node.productId, node.interfaceNumber, collectionNumber);
    }
    return node.devnode + tail;
}

std::string OpenError(int error, const std::string& devnode, const std::string& path) {
    if (error == EACCES || error == EPERM) {
        return std::string(kNoPermissionError) + devnode +
               ": install packaging/70-morva-tr510.rules (see README)";
    }
    if (error == ENOENT || error == ENODEV || error == ENXIO)
        return "device not present: " + path;
    return "cannot open " + devnode + ": " + std::strerror(error);
}

}  // namespace

bool DescribeNode(const HidrawNodeDetails& node, std::vector<InterfaceInfo>& interfaces,
                  bool& usesReportIds, std::string& error) {
    interfaces.clear();
    ParsedDescriptor parsed;
    if (!ParseReportDescriptor(node.descriptor, parsed, error))
        return false;
    usesReportIds = parsed.usesReportIds;
    const std::size_t count = parsed.collections.size();
    for (std::size_t i = 0; i < count; ++i) {
        InterfaceInfo info;
        info.collectionNumber = count > 1 ? static_cast<std::uint16_t>(i + 1) : 0;
        info.path = MakePath(node, info.collectionNumber);
        info.vendorId = node.vendorId;
        info.productId = node.productId;
        info.versionNumber = node.versionNumber;
        info.interfaceNumber = node.interfaceNumber;
        info.collection = std::move(parsed.collections[i]);
        interfaces.push_back(std::move(info));
    }
    return true;
}

HidrawBackend::HidrawBackend() : HidrawBackend(MakeUdevNodeSource()) {}

HidrawBackend::HidrawBackend(std::unique_ptr<HidrawNodeSource> source)
    : source_(std::move(source)) {}

HidrawBackend::~HidrawBackend() = default;

bool HidrawBackend::Enumerate(std::vector<std::string>& paths) {
    paths.clear();
    std::vector<HidrawNodeDetails> nodes;
    if (!source_->List(nodes))
        return false;
    std::sort(nodes.begin(), nodes.end(), NodeOrder);
    std::vector<InterfaceInfo> interfaces;
    for (const HidrawNodeDetails& node : nodes) {
        bool usesReportIds = false;
        std::string error;
        if (!DescribeNode(node, interfaces, usesReportIds, error)) {
            DebugLog("hidraw: skipping %s: report descriptor: %s\n", node.devnode.c_str(),
                     error.c_str());
            continue;
        }
        if (interfaces.empty())
            DebugLog("hidraw: skipping %s: no top-level collection\n", node.devnode.c_str());
        for (const InterfaceInfo& info : interfaces)
            paths.push_back(info.path);
    }
    return true;
}

std::unique_ptr<IHidConnection> HidrawBackend::Open(const std::string& path, bool write,
                                                    std::string* error) {
    const auto fail = [&](const std::string& message) -> std::unique_ptr<IHidConnection> {
        DebugLog("hidraw: %s\n", message.c_str());
        if (error)
            *error = message;
        return nullptr;
    };
    const std::size_t hash = path.find('#');
    if (hash == std::string::npos || hash == 0)
        return fail("not a hidraw interface path: " + path);
    const std::string devnode = path.substr(0, hash);

    const std::optional<HidrawNodeDetails> node = source_->Find(devnode);
    if (!node)
        return fail("device not present: " + path);
    std::vector<InterfaceInfo> interfaces;
    bool usesReportIds = false;
    std::string parseError;
    if (!DescribeNode(*node, interfaces, usesReportIds, parseError))
        return fail("cannot read the report descriptor of " + devnode + ": " + parseError);
    // Another device on a reused node number yields other paths, so this also catches it.
    const auto info = std::find_if(interfaces.begin(), interfaces.end(), [&](const auto& i) {
        return ::strcasecmp(i.path.c_str(), path.c_str()) == 0;
    });
    if (info == interfaces.end())
        return fail("device not present: " + path);

    std::lock_guard lock(mutex_);
    std::erase_if(nodes_, [](const std::weak_ptr<HidrawNode>& n) { return n.expired(); });
    for (const std::weak_ptr<HidrawNode>& weak : nodes_) {
        const std::shared_ptr<HidrawNode> shared = weak.lock();
        if (shared && shared->Syspath() == node->syspath && !shared->Gone() &&
            (shared->Writable() || !write)) {
            return shared->Connect(std::move(*info), write);
        }
    }
    UniqueFd fd(::open(devnode.c_str(), (write ? O_RDWR : O_RDONLY) | O_NONBLOCK | O_CLOEXEC));
    if (!fd)
        return fail(OpenError(errno, devnode, path));
    // The node may have changed hands between the check above and the open.
    const std::optional<HidrawNodeDetails> again = source_->Find(devnode);
    if (!again || again->syspath != node->syspath)
        return fail("device not present: " + path);
    std::string startError;
    std::shared_ptr<HidrawNode> shared =
        HidrawNode::Start(std::move(fd), usesReportIds, write, node->syspath, &startError);
    if (!shared)
        return fail(devnode + ": " + startError);
    nodes_.push_back(shared);
    return shared->Connect(std::move(*info), write);
}

}  // namespace morva::hid
