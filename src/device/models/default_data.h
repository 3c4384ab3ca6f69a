// The preset lists a device page works with: macro names, light modes, light areas and the
// user's custom light effects, refilled from the device's data files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace morva {

inline constexpr char kDefaultLightFileName[] = "default_light.json";
inline constexpr char kLightConfigFileName[] = "kaldo_light.config";
// Macro lists: the keyboard and mouse keep their own; the pad and headset only read one.
inline constexpr char kMacroListFileName[] = "macro.config";
inline constexpr char kReadOnlyMacroListFileName[] = "kaldo_macro.config";

struct CDeviceDefaultData {
    std::vector<std::string> macroNames;
    // Entry j of these three describes the page's light mode j.
    std::vector<std::string> lightModeNames;
    std::vector<std::uint8_t> lightModeVisible;  // 0 or 1
    std::vector<std::int32_t> lightModeCodes;    // the device's own code for the mode
    std::vector<std::string> areaLightNames;
    std::vector<std::string> customEffectNames;

    // The light mode of the first user effect: they follow the presets, and never start
    // before mode 10 (a family with more presets starts them later).
    int FirstCustomEffectMode() const;
    // The light mode whose device code is `code`, -1 when no mode has it.
    int ModeOfCode(int code) const;

    // Refills the lists of device kind `kind` (kKindKeyboard.., device_tables.h) from the user data
    // folder (macro list, custom effects) and the default data folder ("default_light.json"). A
    // list whose source is missing keeps what it had, except macroNames, which always reflects the
    // macro list now.
    void LoadDefaultData(const std::string& userFolder, const std::string& defaultFolder, int kind,
                         const std::string& macroListFileName);
};

}  // namespace morva
