// Factory contents and reactions of each simulated product.
#include <algorithm>
#include <array>

#include "sim/descriptors.h"
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
    // Lays `profiles` records end to end from address 0 of the setting area.
    template <std::size_t N, typename MakeRecord>
    void FillRecords(std::size_t profiles, MakeRecord makeRecord) {
        std::vector<std::uint8_t>& setting = Memory(Area::Setting);
        for (std::size_t k = 0; k < profiles; ++k) {
            const std::array<std::uint8_t, N> record = makeRecord(static_cast<std::uint8_t>(k));
            std::copy(record.begin(), record.end(),
                      setting.begin() + static_cast<std::ptrdiff_t>(k * N));
        }
        // Address 0 is the active profile, which is also byte 0 of profile 0's record.
        setting[0] = 0;
    }
};

// What the host reads from the mouse at connection: sensor, key positions, profile 0.
namespace mouse {

// Information bytes; 16-bit fields low byte first.
constexpr std::size_t kInfoSensorId = 9;
constexpr std::size_t kInfoDpiStep = 11;
constexpr std::size_t kInfoMaxSlider = 12;
constexpr std::size_t kInfoMinDpi = 14;

// This sensor id switches the host to 200 DPI per slider unit above unit 48.
constexpr std::uint16_t kSensorId = 0x3325;
constexpr std::uint8_t kDpiStep = 100;
constexpr std::uint16_t kMaxSlider = 128;  // 20900 DPI
constexpr std::uint16_t kMinDpi = 100;

constexpr std::size_t kKeyPositions = 16;
constexpr std::uint8_t kMacroUnits = 32;

using Code = std::array<std::uint8_t, 3>;
constexpr Code kOff{0xA0, 0x00, 0x00};
// Positions follow the switch matrix, not the host's button order; spare positions are off.
constexpr std::array<Code, kKeyPositions> kFactoryKeys{{
    {0x10, 0x01, 0x00},  // left
    {0x10, 0x02, 0x00},  // right
    {0x10, 0x04, 0x00},  // middle
    {0x10, 0x08, 0x00},  // back
    {0x10, 0x10, 0x00},  // forward
    kOff,
    {0x13, 0x03, 0x00},  // DPI cycle
    {0x13, 0x01, 0x00},  // DPI up
    {0x13, 0x02, 0x00},  // DPI down
    kOff,
    {0x14, 0x78, 0x02},  // fire key
    {0x16, 0x90, 0x01},  // DPI shift
    kOff,
    {0xA0, 0x1B, 0x00},  // game-mode key
    kOff,
    kOff,
}};

// Light mode codes: 1 wave, 2 spectrum, 3 breathing, 4 static, 5 flash, 6 music, 7 reactive,
// 8 four-colour breathing, 9 four-colour flash, 0 dark.
constexpr std::uint8_t kModeWave = 0x01;

struct Stage {
    std::uint8_t slider;
    std::uint8_t red, green, blue;
};
// 400, 800, 1600, 3200 and 6500 DPI.
constexpr std::array<Stage, 5> kStages{{
    {3, 255, 0, 0},
    {7, 0, 255, 0},
    {15, 0, 0, 255},
    {31, 255, 255, 0},
    {56, 255, 0, 255},
}};

constexpr std::size_t kSettingBlockSize = 71;
constexpr std::size_t kSettingStages = 14;
constexpr std::size_t kStageSize = 9;

void Put16(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint16_t value) {
    bytes[at] = static_cast<std::uint8_t>(value & 0xFF);
    bytes[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

// Profile 0's block; the other profiles stay blank until the host writes them.
std::vector<std::uint8_t> FactorySetting() {
    std::vector<std::uint8_t> block(kSettingBlockSize, 0);
    block[0] = 0;  // active profile
    block[1] = kModeWave;
    block[2] = 4;      // brightness
    block[3] = 4 - 2;  // 4 - speed
    block[4] = 1;      // direction
    block[5] = 1;      // multicolour
    block[6] = 0;      // red, green, blue
    block[7] = 153;
    block[8] = 255;
    block[11] = 0;  // report rate selection
    block[12] = 0;  // active stage
    for (std::size_t i = 0; i < kStages.size(); ++i) {
        const std::size_t at = kSettingStages + i * kStageSize;
        block[at] = 1;      // enabled
        block[at + 1] = 0;  // same X and Y
        Put16(block, at + 2, kStages[i].slider);
        Put16(block, at + 4, kStages[i].slider);
        block[at + 6] = kStages[i].red;
        block[at + 7] = kStages[i].green;
        block[at + 8] = kStages[i].blue;
    }
    block[59] = 1;
    return block;
}

}  // namespace mouse

class MouseFirmware final : public ProductFirmware {
public:
    MouseFirmware() : ProductFirmware(Product::Mouse) {}

protected:
    void FillFactory() override {
        FillShared(mouse::kKeyPositions, mouse::kMacroUnits);
        std::vector<std::uint8_t>& info = Memory(Area::Info);
        mouse::Put16(info, mouse::kInfoSensorId, mouse::kSensorId);
        info[mouse::kInfoDpiStep] = mouse::kDpiStep;
        mouse::Put16(info, mouse::kInfoMaxSlider, mouse::kMaxSlider);
        mouse::Put16(info, mouse::kInfoMinDpi, mouse::kMinDpi);
        for (std::size_t i = 0; i < mouse::kFactoryKeys.size(); ++i)
            SetFactoryKey(i, mouse::kFactoryKeys[i]);
        const std::vector<std::uint8_t> setting = mouse::FactorySetting();
        std::copy(setting.begin(), setting.end(), Memory(Area::Setting).begin());
        SetBattery(80, kOnBattery);
    }
};

// A full-size keyboard: its switch matrix row by row, five macro keys, a Fn key.
namespace keyboard {

using Code = std::array<std::uint8_t, 3>;
constexpr Code Key(std::uint8_t usage) {
    return {0x20, 0x00, usage};
}
constexpr Code Mod(std::uint8_t bits) {
    return {0x20, bits, 0x00};
}

// Matrix order: function row, number row, three letter rows, bottom row, macro keys. Each
// position drives the LED of the same number.
constexpr auto kMatrix = std::to_array<Code>({
    // Esc, F1..F12, PrtSc, ScrLk, Pause, the two keys above the keypad
    Key(0x29),
    Key(0x3A),
    Key(0x3B),
    Key(0x3C),
    Key(0x3D),
    Key(0x3E),
    Key(0x3F),
    Key(0x40),
    Key(0x41),
    Key(0x42),
    Key(0x43),
    Key(0x44),
    Key(0x45),
    Key(0x46),
    Key(0x47),
    Key(0x48),
    {0xA0, 0x24, 0x00},
    {0xA0, 0x1B, 0x00},
    // grave, 1..0, minus, equal, backspace, Ins, Home, PgUp, NumLock, keypad / * -
    Key(0x35),
    Key(0x1E),
    Key(0x1F),
    Key(0x20),
    Key(0x21),
    Key(0x22),
    Key(0x23),
    Key(0x24),
    Key(0x25),
    Key(0x26),
    Key(0x27),
    Key(0x2D),
    Key(0x2E),
    Key(0x2A),
    Key(0x49),
    Key(0x4A),
    Key(0x4B),
    Key(0x53),
    Key(0x54),
    Key(0x55),
    Key(0x56),
    // Tab, Q..P, brackets, backslash, Del, End, PgDn, keypad 7 8 9 +
    Key(0x2B),
    Key(0x14),
    Key(0x1A),
    Key(0x08),
    Key(0x15),
    Key(0x17),
    Key(0x1C),
    Key(0x18),
    Key(0x0C),
    Key(0x12),
    Key(0x13),
    Key(0x2F),
    Key(0x30),
    Key(0x31),
    Key(0x4C),
    Key(0x4D),
    Key(0x4E),
    Key(0x5F),
    Key(0x60),
    Key(0x61),
    Key(0x57),
    // Caps, A..L, semicolon, quote, Enter, keypad 4 5 6
    Key(0x39),
    Key(0x04),
    Key(0x16),
    Key(0x07),
    Key(0x09),
    Key(0x0A),
    Key(0x0B),
    Key(0x0D),
    Key(0x0E),
    Key(0x0F),
    Key(0x33),
    Key(0x34),
    Key(0x28),
    Key(0x5C),
    Key(0x5D),
    Key(0x5E),
    // left Shift, Z..M, comma, dot, slash, right Shift, Up, keypad 1 2 3 Enter
    Mod(0x02),
    Key(0x1D),
    Key(0x1B),
    Key(0x06),
    Key(0x19),
    Key(0x05),
    Key(0x11),
    Key(0x10),
    Key(0x36),
    Key(0x37),
    Key(0x38),
    Mod(0x20),
    Key(0x52),
    Key(0x59),
    Key(0x5A),
    Key(0x5B),
    Key(0x58),
    // left Ctrl, Win, Alt, space, right Alt, Fn, Menu, right Ctrl, arrows, keypad 0 and dot
    Mod(0x01),
    Mod(0x08),
    Mod(0x04),
    Key(0x2C),
    Mod(0x40),
    {0xA0, 0x01, 0x00},
    Key(0x65),
    Mod(0x10),
    Key(0x50),
    Key(0x51),
    Key(0x4F),
    Key(0x62),
    Key(0x63),
    // M1..M5, and the right Windows key, wired last
    {0xD0, 0xA2, 0x01},
    {0xD0, 0xA2, 0x02},
    {0xD0, 0xA2, 0x03},
    {0xD0, 0xA2, 0x04},
    {0xD0, 0xA2, 0x05},
    Mod(0x80),
});
constexpr std::uint8_t kMacroUnits = 64;  // 8 KiB of macro memory
constexpr std::size_t kRecordSize = 29;
constexpr std::size_t kProfiles = 3;

// The factory record of every on-board profile: wave, full brightness, speed 2, multicolour,
// 1000 Hz, debounce step 1; the same as the program's factory profile.
std::array<std::uint8_t, kRecordSize> FactoryRecord(std::uint8_t profile) {
    std::array<std::uint8_t, kRecordSize> r{};
    r[0] = profile;
    r[1] = 0x01;   // wave
    r[2] = 4;      // brightness
    r[3] = 4 - 2;  // 4 - speed
    r[4] = 1;      // direction
    r[5] = 1;      // multicolour
    r[6] = 0;
    r[7] = 153;
    r[8] = 255;
    r[22] = 3;  // 1000 Hz
    r[28] = 1;  // debounce 3 ms
    return r;
}

}  // namespace keyboard

class KeyboardFirmware final : public ProductFirmware {
public:
    KeyboardFirmware() : ProductFirmware(Product::Keyboard) {}

protected:
    void FillFactory() override {
        FillShared(static_cast<std::uint8_t>(keyboard::kMatrix.size()), keyboard::kMacroUnits);
        std::vector<std::uint8_t>& lightIndex = Memory(Area::LightIndex);
        for (std::size_t p = 0; p < keyboard::kMatrix.size(); ++p) {
            SetFactoryKey(p, keyboard::kMatrix[p]);
            lightIndex[p] = static_cast<std::uint8_t>(p);
        }
        FillRecords<keyboard::kRecordSize>(keyboard::kProfiles, keyboard::FactoryRecord);
        SetBattery(80, kOnBattery);
    }
};

// The pad and the headset keep three profiles of 29-byte records; the host reads whole
// records and writes their first 21 bytes at the same place.
namespace pad {

constexpr std::size_t kRecordSize = 29;
constexpr std::size_t kProfiles = 3;

// Wave, full brightness, speed 2, multicolour: the program's factory profile.
std::array<std::uint8_t, kRecordSize> FactoryRecord(std::uint8_t profile) {
    std::array<std::uint8_t, kRecordSize> r{};
    r[0] = profile;
    r[1] = 0;      // wave
    r[2] = 4;      // brightness
    r[3] = 4 - 2;  // 4 - speed
    r[5] = 1;      // multicolour
    r[7] = 153;
    r[8] = 255;
    return r;
}

}  // namespace pad

class PadFirmware final : public ProductFirmware {
public:
    PadFirmware() : ProductFirmware(Product::Pad) {}

protected:
    void FillFactory() override {
        FillShared(0, 0);
        FillRecords<pad::kRecordSize>(pad::kProfiles, pad::FactoryRecord);
    }
};

// The headset's 13 LEDs answer to two target groups; each colour channel is split over two
// registers, LEDs 0..6 and 7..12.
namespace headset {

constexpr std::array<std::uint8_t, 2> kLedGroups{0x22, 0x44};
constexpr std::size_t kReportSize = 17;  // id byte and 16 data bytes
constexpr std::size_t kGroupByte = 1;
constexpr std::size_t kRegisterByte = 2;
constexpr std::size_t kValuesByte = 4;

struct LedRegister {
    std::uint8_t code;
    std::size_t first, count;
    std::uint8_t LedColour::*channel;
};
constexpr std::array<LedRegister, 6> kLedRegisters{{
    {0xAA, 0, 7, &LedColour::red},
    {0xAD, 7, 6, &LedColour::red},
    {0xAB, 0, 7, &LedColour::green},
    {0xAE, 7, 6, &LedColour::green},
    {0xAC, 0, 7, &LedColour::blue},
    {0xAF, 7, 6, &LedColour::blue},
}};

}  // namespace headset

class HeadsetFirmware final : public ProductFirmware {
public:
    HeadsetFirmware() : ProductFirmware(Product::Headset) {}

protected:
    void FillFactory() override {
        FillShared(0, 0);
        FillRecords<pad::kRecordSize>(pad::kProfiles, pad::FactoryRecord);
        for (std::uint8_t group : headset::kLedGroups)
            LedMemory().groups.emplace_back(group, LedRow{});
    }

    void OnOutputReport(std::span<const std::uint8_t> report) override {
        if (report.empty() || report[0] != kLedReportId)
            return;
        LedState& leds = LedMemory();
        ++leds.reports;
        // The bus passes only whole reports; a shorter one must still not be read past its end.
        if (report.size() < headset::kReportSize) {
            ++leds.ignored;
            return;
        }
        const auto group = std::find_if(leds.groups.begin(), leds.groups.end(), [&](const auto& g) {
            return g.first == report[headset::kGroupByte];
        });
        const auto reg = std::find_if(headset::kLedRegisters.begin(), headset::kLedRegisters.end(),
                                      [&](const headset::LedRegister& r) {
                                          return r.code == report[headset::kRegisterByte];
                                      });
        if (group == leds.groups.end() || reg == headset::kLedRegisters.end()) {
            ++leds.ignored;
            return;
        }
        // The byte after a 6-LED register's values is padding, not a 14th LED.
        for (std::size_t i = 0; i < reg->count; ++i)
            group->second[reg->first + i].*(reg->channel) = report[headset::kValuesByte + i];
    }
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
