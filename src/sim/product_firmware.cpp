// Factory contents and reactions of each simulated product.
#include <algorithm>
#include <array>

#include "sim/firmware.h"

namespace morva::sim {

namespace {

// Shared device-information bytes.
constexpr std::size_t kInfoKeyCount = 5;
constexpr std::size_t kInfoMacroUnits = 6;  // macro capacity in units of 128 bytes

// Power states of the status block.
constexpr std::uint8_t kOnBattery = 2;

class ProductFirmware : public VirtualFirmware {
public:
    using VirtualFirmware::VirtualFirmware;

protected:
    void FillShared(std::uint8_t keyCount, std::uint8_t macroUnits) {
        std::vector<std::uint8_t>& info = Memory(Area::Info);
        info[kInfoKeyCount] = keyCount;
        info[kInfoMacroUnits] = macroUnits;
    }
    void SetFactoryKey(std::size_t position, std::array<std::uint8_t, 3> code) {
        std::copy(
            code.begin(), code.end(),
            Memory(Area::DefaultKeyTable).begin() + static_cast<std::ptrdiff_t>(position * 3));
    }
    void SetBattery(std::uint8_t level, std::uint8_t powerState) {
        std::vector<std::uint8_t>& status = Memory(Area::Status);
        status[0] = level;
        status[1] = powerState;
    }
};

class MouseFirmware final : public ProductFirmware {
public:
    MouseFirmware() : ProductFirmware(Product::Mouse) {}

protected:
    void FillFactory() override {
        constexpr std::size_t kButtons = 16;
        FillShared(kButtons, 32);
        // Buttons as bits of a 16-bit mask, low byte last.
        for (std::size_t i = 0; i < kButtons; ++i) {
            const unsigned mask = 1u << i;
            SetFactoryKey(i, {0x10, static_cast<std::uint8_t>(mask >> 8),
                              static_cast<std::uint8_t>(mask & 0xFF)});
        }
        SetBattery(80, kOnBattery);
    }
};

class KeyboardFirmware final : public ProductFirmware {
public:
    KeyboardFirmware() : ProductFirmware(Product::Keyboard) {}

protected:
    void FillFactory() override {
        constexpr std::size_t kKeys = 117;
        FillShared(kKeys, 64);
        // Keyboard usages from 'A' (0x04) on; each key drives the LED of its own position.
        std::vector<std::uint8_t>& lightIndex = Memory(Area::LightIndex);
        for (std::size_t i = 0; i < kKeys; ++i) {
            SetFactoryKey(i, {0x20, 0x00, static_cast<std::uint8_t>(0x04 + i)});
            lightIndex[i] = static_cast<std::uint8_t>(i);
        }
        SetBattery(80, kOnBattery);
    }
};

class PadFirmware final : public ProductFirmware {
public:
    PadFirmware() : ProductFirmware(Product::Pad) {}

protected:
    void FillFactory() override { FillShared(0, 0); }
};

class HeadsetFirmware final : public ProductFirmware {
public:
    HeadsetFirmware() : ProductFirmware(Product::Headset) {}

protected:
    void FillFactory() override { FillShared(0, 0); }
};

}  // namespace

std::unique_ptr<VirtualFirmware> MakeFirmware(Product product) {
    std::unique_ptr<VirtualFirmware> firmware;
    switch (product) {
        case Product::Mouse:
            firmware = std::make_unique<MouseFirmware>();
            break;
        case Product::Keyboard:
            firmware = std::make_unique<KeyboardFirmware>();
            break;
        case Product::Pad:
            firmware = std::make_unique<PadFirmware>();
            break;
        case Product::Headset:
            firmware = std::make_unique<HeadsetFirmware>();
            break;
    }
    // Factory contents come from the product's hook, which cannot run inside a constructor.
    firmware->ResetToFactory();
    return firmware;
}

}  // namespace morva::sim
