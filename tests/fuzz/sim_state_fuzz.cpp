// A simulator state file (`--sim-state`) as the simulated bus loads it, then a plug and a read
// of every product's memory.

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>

#include "scratch_folder.h"
#include "sim/sim_bus.h"

namespace {
const std::string& StateFile() {
    static const std::string path = morva::fuzz::ScratchFolder() + "state";
    return path;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    {
        std::ofstream out(StateFile(), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    morva::sim::SimBusOptions options;
    options.stateFile = StateFile();
    morva::sim::SimBus bus(options);
    for (const auto product : {morva::sim::Product::Mouse, morva::sim::Product::Keyboard,
                               morva::sim::Product::Pad, morva::sim::Product::Headset})
        (void)bus.Firmware(product).ReadArea(morva::sim::Area::Setting);
    return 0;
}
