// An update service's answer, read for a device entry and for the program's own.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "update/update_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view body(reinterpret_cast<const char*>(data), size);
    morva::update::ModelEntry device;
    device.kind = 2;
    device.version = 0x0102;
    morva::update::ModelEntry program;
    program.versionText = "V1.0.0.0";
    program.version = 1000;
    for (const auto& entry : {device, program}) {
        const morva::update::UpdateInfo info = morva::update::ReadAnswer(entry, body);
        const morva::update::UpdateInfo results[] = {info};
        (void)morva::update::PageStatus(results);
    }
    return 0;
}
