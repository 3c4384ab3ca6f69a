#include "platform/hidraw/node_source.h"

#include <fcntl.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <utility>

#include "base/debug_log.h"
#include "base/parse_int.h"
#include "platform/hidraw/unique_fd.h"

namespace morva::hid {

namespace fs = std::filesystem;

namespace detail {

std::optional<std::uint16_t> ParseHexAttribute(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    const std::optional<long long> value = ParseInt(text, 0, 0xFFFF, 16);
    if (!value)
        return std::nullopt;
    return static_cast<std::uint16_t>(*value);
}

std::optional<std::vector<std::uint8_t>> ReadSysfsFile(const fs::path& path, std::size_t limit) {
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd)
        return std::nullopt;
    // One byte more than allowed tells an oversized file from one that fits exactly.
    std::vector<std::uint8_t> bytes(limit + 1);
    std::size_t used = 0;
    while (used < bytes.size()) {
        const ssize_t n = ::read(fd.Get(), bytes.data() + used, bytes.size() - used);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            break;
        used += static_cast<std::size_t>(n);
    }
    if (used > limit)
        return std::nullopt;
    bytes.resize(used);
    return bytes;
}

}  // namespace detail

namespace {

std::optional<std::string> ReadText(const fs::path& path) {
    const auto bytes = detail::ReadSysfsFile(path, 4096);
    if (!bytes)
        return std::nullopt;
    return std::string(bytes->begin(), bytes->end());
}

bool IsWithin(const fs::path& dir, const fs::path& root) {
    auto d = dir.begin();
    for (auto r = root.begin(); r != root.end(); ++r, ++d) {
        if (d == dir.end() || *d != *r)
            return false;
    }
    return true;
}

// The nearest folder at or above `from`, still inside `root`, that holds `attribute`; this is
// how the USB interface and device are found above a HID device, however deep the hubs go.
std::optional<fs::path> FindUpwards(fs::path dir, const fs::path& root, const char* attribute) {
    std::error_code ec;
    while (IsWithin(dir, root)) {
        if (fs::exists(dir / attribute, ec))
            return dir;
        if (dir == root || dir.parent_path() == dir)
            break;
        dir = dir.parent_path();
    }
    return std::nullopt;
}

std::optional<std::uint16_t> ReadHex(const fs::path& dir, const char* attribute) {
    const auto text = ReadText(dir / attribute);
    return text ? detail::ParseHexAttribute(*text) : std::nullopt;
}

std::string DevName(const fs::path& nodeDir) {
    if (const auto uevent = ReadText(nodeDir / "uevent")) {
        std::string_view rest(*uevent);
        while (!rest.empty()) {
            const std::size_t eol = rest.find('\n');
            const std::string_view line = rest.substr(0, eol);
            if (line.starts_with("DEVNAME="))
                return std::string(line.substr(8));
            rest = eol == std::string_view::npos ? std::string_view() : rest.substr(eol + 1);
        }
    }
    return nodeDir.filename().string();
}

class SysfsNodeSource final : public HidrawNodeSource {
public:
    SysfsNodeSource(fs::path root, fs::path devDir)
        : root_(std::move(root)), devDir_(std::move(devDir)) {}

    bool List(std::vector<HidrawNodeDetails>& nodes) override {
        nodes.clear();
        std::error_code ec;
        const fs::path root = fs::canonical(root_, ec);
        if (ec) {
            DebugLog("hidraw: cannot read %s: %s\n", root_.c_str(), ec.message().c_str());
            return false;
        }
        const fs::path classDir = root / "class" / "hidraw";
        // Without the folder there is simply no hidraw node (the module is not loaded yet).
        if (!fs::exists(classDir, ec))
            return true;
        for (auto it = fs::directory_iterator(classDir, ec); !ec && it != fs::directory_iterator();
             it.increment(ec)) {
            std::string reason;
            if (auto node = ReadNode(root, it->path(), reason))
                nodes.push_back(std::move(*node));
            else
                DebugLog("hidraw: skipping %s: %s\n", it->path().filename().c_str(),
                         reason.c_str());
        }
        if (ec) {
            DebugLog("hidraw: cannot list %s: %s\n", classDir.c_str(), ec.message().c_str());
            return false;
        }
        return true;
    }

    std::optional<HidrawNodeDetails> Find(const std::string& devnode) override {
        std::error_code ec;
        const fs::path root = fs::canonical(root_, ec);
        const fs::path name = fs::path(devnode).filename();
        if (ec || name.empty())
            return std::nullopt;
        std::string reason;
        auto node = ReadNode(root, root / "class" / "hidraw" / name, reason);
        if (!node || node->devnode != devnode)
            return std::nullopt;
        return node;
    }

private:
    std::optional<HidrawNodeDetails> ReadNode(const fs::path& root, const fs::path& entry,
                                              std::string& reason) const {
        std::error_code ec;
        const fs::path nodeDir = fs::canonical(entry, ec);
        if (ec) {
            reason = "dangling entry";
            return std::nullopt;
        }
        const fs::path hidDir = fs::canonical(nodeDir / "device", ec);
        if (ec) {
            reason = "no HID device";
            return std::nullopt;
        }
        HidrawNodeDetails node;
        node.syspath = nodeDir.string();
        node.devnode = (devDir_ / DevName(nodeDir)).string();
        auto descriptor =
            detail::ReadSysfsFile(hidDir / "report_descriptor", detail::kMaxDescriptorSize);
        if (!descriptor) {
            reason = "no readable report descriptor";
            return std::nullopt;
        }
        node.descriptor = std::move(*descriptor);
        const auto interfaceDir = FindUpwards(hidDir.parent_path(), root, "bInterfaceNumber");
        const auto usbDir = interfaceDir
                                ? FindUpwards(interfaceDir->parent_path(), root, "idVendor")
                                : std::nullopt;
        if (!usbDir) {
            reason = "not on a USB interface";
            return std::nullopt;
        }
        const auto interfaceNumber = ReadHex(*interfaceDir, "bInterfaceNumber");
        const auto vendor = ReadHex(*usbDir, "idVendor");
        const auto product = ReadHex(*usbDir, "idProduct");
        const auto version = ReadHex(*usbDir, "bcdDevice");
        if (!interfaceNumber || !vendor || !product || !version) {
            reason = "unreadable USB attributes";
            return std::nullopt;
        }
        node.interfaceNumber = *interfaceNumber;
        node.vendorId = *vendor;
        node.productId = *product;
        node.versionNumber = *version;
        return node;
    }

    const fs::path root_;
    const fs::path devDir_;
};

}  // namespace

std::unique_ptr<HidrawNodeSource> MakeSysfsNodeSource(fs::path sysfsRoot, fs::path devDir) {
    return std::make_unique<SysfsNodeSource>(std::move(sysfsRoot), std::move(devDir));
}

}  // namespace morva::hid
