// Bytes from a local client as the program's socket reads them: split into lines (in pieces
// of the sizes the input's first byte picks), each line decoded as a message.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "base/ipc_protocol.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::size_t piece = 1 + data[0];
    std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    morva::ipc::LineSplitter splitter;
    while (!bytes.empty()) {
        const std::string_view part = bytes.substr(0, piece);
        bytes.remove_prefix(part.size());
        splitter.Feed(part, [](std::string_view line) {
            if (auto message = morva::ipc::Decode(line))
                (void)morva::ipc::Encode(*message);
        });
    }
    return 0;
}
