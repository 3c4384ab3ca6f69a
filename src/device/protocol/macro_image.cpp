#include "device/protocol/macro_image.h"

namespace morva {

namespace {
void Put16(std::vector<std::uint8_t>& image, std::size_t at, std::size_t value) {
    image[at] = static_cast<std::uint8_t>(value & 0xFF);
    image[at + 1] = static_cast<std::uint8_t>(value >> 8 & 0xFF);
}
}  // namespace

std::size_t MacroImageLength(const std::vector<std::vector<ImageEvent>>& entries) {
    std::size_t length = kImageHeaderSize + 6 * entries.size();
    for (const auto& events : entries)
        length += 4 * events.size();
    return length;
}

std::optional<std::vector<std::uint8_t>> BuildMacroImage(
    const std::vector<std::vector<ImageEvent>>& entries) {
    const std::size_t length = MacroImageLength(entries);
    if (length > 0xFFFF)
        return std::nullopt;

    std::vector<std::uint8_t> image(length, 0);
    image[0] = 0xAA;
    image[1] = 0x55;
    Put16(image, 2, length);
    Put16(image, 4, entries.size());
    std::size_t block = kImageHeaderSize + 2 * entries.size();
    for (std::size_t m = 0; m < entries.size(); ++m) {
        Put16(image, kImageHeaderSize + 2 * m, block);
        Put16(image, block, entries[m].size());
        block += 4;  // event count and two zero bytes
        for (const ImageEvent& e : entries[m]) {
            for (std::size_t i = 0; i < 4; ++i)
                image[block + i] = e[i];
            block += 4;
        }
    }
    return image;
}

}  // namespace morva
