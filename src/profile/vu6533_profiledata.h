// Headset sections of a profile: system settings and equalisers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "profile/basic_profiledata.h"

namespace morva {

struct HeadsetSystemSetStages {
    std::int32_t magicEnable = 0;         // "MagicEnable"
    std::int32_t magicType = 0;           // "MagicType"
    std::int32_t eqType = 0;              // "EqType"
    std::int32_t customEqSeletIndex = 0;  // "CustomEqSeletIndex"
    std::int32_t micInSelect = 0;         // "MicInSelect"
    std::int32_t micInValue = 0;          // "MicInValue"
    std::int32_t micMoniterSelect = 0;    // "MicMoniterSelect"
    std::int32_t micMoniterValue = 0;     // "MicMoniterValue"
    friend bool operator==(const HeadsetSystemSetStages&, const HeadsetSystemSetStages&) = default;
};

class CVu6533Profiledata : public CBasicProfiledata {
public:
    static constexpr int kEqBands = 10;

    HeadsetSystemSetStages ReadSystemSetStages();
    void WriteSystemSetStages(const HeadsetSystemSetStages& stages);
    // Preset equaliser rows; eqType 13 has no row (empty read, ignored write).
    std::vector<int> ReadEqValues(int eqType);
    void WriteEqValues(int eqType, const std::vector<int>& values);
    std::vector<std::string> ReadCustomEqNames();
    void WriteCustomEqNames(const std::vector<std::string>& names);
    std::vector<int> ReadCustomEqValues(int index);
    void WriteCustomEqValues(int index, const std::vector<int>& values);
    // Removes curve `index` from the names and the values alike, so every later curve keeps
    // its own values; nothing when there is no such curve.
    void RemoveCustomEq(int index);

    const HeadsetSystemSetStages& SystemSetStages() const { return systemSetStages_; }

private:
    std::vector<int> ReadBands(const char* section, int row);
    void WriteBands(const char* section, int row, const std::vector<int>& values);

    HeadsetSystemSetStages systemSetStages_;
};

}  // namespace morva
