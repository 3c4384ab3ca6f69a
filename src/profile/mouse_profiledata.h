// Mouse sections of a profile: DPI stages, system settings, report rate, corrections.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "profile/basic_profiledata.h"

namespace morva {

struct DpiStage {
    std::uint8_t stageActive = 0;            // "StageActive": enabled
    std::uint8_t stageXY = 0;                // "StageXY"
    std::uint8_t dpiXLow = 0, dpiXHigh = 0;  // "StageDPIX", low byte first
    std::uint8_t dpiYLow = 0, dpiYHigh = 0;  // "StageDPIY"
    std::uint8_t colorR = 0, colorG = 0, colorB = 0;

    int DpiX() const { return dpiXLow | dpiXHigh << 8; }
    int DpiY() const { return dpiYLow | dpiYHigh << 8; }
    void SetDpiX(int v) { dpiXLow = v & 0xFF, dpiXHigh = v >> 8 & 0xFF; }
    void SetDpiY(int v) { dpiYLow = v & 0xFF, dpiYHigh = v >> 8 & 0xFF; }
    friend bool operator==(const DpiStage&, const DpiStage&) = default;
};

struct MouseSystemStages {
    std::uint16_t doubleClickTime = 0;   // "DoubleClickTime"
    std::uint16_t mouseSpeed = 0;        // "MouseSpeed"
    std::uint16_t pointerPrecision = 0;  // "PointerPrecision"
    std::uint16_t scorllPage = 0;        // "ScorllPage"
    std::uint16_t wheelScorlllinse = 0;  // "WheelScorlllinse"
    std::uint16_t reportRate = 0;        // "ReportStages"."StageActive"
    friend bool operator==(const MouseSystemStages&, const MouseSystemStages&) = default;
};

struct CorrectInfo {
    std::uint8_t correctPixThresh = 0;
    std::uint8_t correctMinSq = 0;
    std::uint8_t correctSelect = 0;
    std::string correctName;
    friend bool operator==(const CorrectInfo&, const CorrectInfo&) = default;
};

class CMouseProfiledata : public CBasicProfiledata {
public:
    // Replaces the stored stage list with the document's; also reads the active stage.
    std::vector<DpiStage> ReadDpiStages();
    void WriteDpiStages(const std::vector<DpiStage>& stages);
    void WriteStageActive(int index);
    MouseSystemStages ReadMouseStages();
    void WriteMouseStages(const MouseSystemStages& stages);
    std::vector<CorrectInfo> ReadCorrectInfo();

    const std::vector<DpiStage>& DpiStages() const { return dpiStages_; }
    int StageActive() const { return stageActive_; }
    const MouseSystemStages& SystemStages() const { return systemStages_; }
    const std::vector<CorrectInfo>& Corrections() const { return corrections_; }

private:
    std::vector<DpiStage> dpiStages_;
    int stageActive_ = 0;
    MouseSystemStages systemStages_;
    std::vector<CorrectInfo> corrections_;
};

}  // namespace morva
