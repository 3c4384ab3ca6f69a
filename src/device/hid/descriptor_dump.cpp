#include "device/hid/descriptor_dump.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "device/hid/report_descriptor.h"

namespace morva::hid {
namespace {

// Far above any real descriptor (the kernel's limit is 4 KiB).
constexpr std::size_t kMaxFileBytes = 1 << 20;

bool ReadFile(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& error) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) {
        error = std::strerror(errno);
        return false;
    }
    std::uint8_t chunk[4096];
    bool ok = true;
    for (;;) {
        const std::size_t n = std::fread(chunk, 1, sizeof chunk, f);
        bytes.insert(bytes.end(), chunk, chunk + n);
        if (bytes.size() > kMaxFileBytes) {
            error = "file larger than 1 MiB";
            ok = false;
            break;
        }
        if (n < sizeof chunk) {
            if (std::ferror(f)) {
                error = std::strerror(errno);
                ok = false;
            }
            break;
        }
    }
    std::fclose(f);
    return ok;
}

std::string Hex4(std::uint16_t v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%04X", static_cast<unsigned>(v));
    return buf;
}

}  // namespace

int DumpDescriptorFile(const std::string& path, std::ostream& out, std::ostream& err) {
    std::vector<std::uint8_t> bytes;
    std::string error;
    if (!ReadFile(path, bytes, error)) {
        err << "cannot read " << path << ": " << error << '\n';
        return 1;
    }
    ParsedDescriptor parsed;
    if (!ParseReportDescriptor(bytes, parsed, error)) {
        err << path << ": malformed report descriptor: " << error << '\n';
        return 1;
    }
    int n = 0;
    for (const TopLevelCollection& c : parsed.collections) {
        out << "collection " << ++n << " usage_page=" << Hex4(c.usagePage)
            << " usage=" << Hex4(c.usage) << " report_ids=";
        if (c.reportIds.empty())
            out << "none";
        for (std::size_t i = 0; i < c.reportIds.size(); ++i) {
            out << (i ? "," : "") << static_cast<unsigned>(c.reportIds[i]);
        }
        out << " input=" << c.inputLength << " output=" << c.outputLength
            << " feature=" << c.featureLength << '\n';
    }
    return 0;
}

}  // namespace morva::hid
