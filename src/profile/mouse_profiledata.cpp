#include "profile/mouse_profiledata.h"

#include "profile/json_access.h"

namespace morva {

using json::Get;
using json::ToByte;
using json::ToInt;

std::vector<DpiStage> CMouseProfiledata::ReadDpiStages() {
    const Json::Value& section = Get(Document(), "DPIStages");
    if (section.isNull())
        return dpiStages_;
    stageActive_ = ToInt(Get(section, "StageActive"));
    const Json::Value& list = Get(section, "StageDPIs");
    if (list.isNull())
        return dpiStages_;
    // A profile's stages replace the previous profile's whole: a shorter list must not
    // inherit the stages it does not have.
    std::vector<DpiStage> stages;
    for (Json::ArrayIndex i = 0; i < json::Size(list); ++i) {
        const Json::Value& e = list[i];
        DpiStage s;
        s.stageActive = ToByte(Get(e, "StageActive"));
        s.stageXY = ToByte(Get(e, "StageXY"));
        s.SetDpiX(ToInt(Get(e, "StageDPIX")));
        s.SetDpiY(ToInt(Get(e, "StageDPIY")));
        s.colorR = ToByte(Get(e, "StageColorR"));
        s.colorG = ToByte(Get(e, "StageColorG"));
        s.colorB = ToByte(Get(e, "StageColorB"));
        stages.push_back(s);
    }
    dpiStages_ = std::move(stages);
    return dpiStages_;
}

void CMouseProfiledata::WriteDpiStages(const std::vector<DpiStage>& stages) {
    dpiStages_ = stages;
    Json::Value& list = json::Arr(json::Obj(MutableDocument(), "DPIStages"), "StageDPIs");
    for (std::size_t i = 0; i < stages.size(); ++i) {
        Json::Value& e = json::At(list, static_cast<Json::ArrayIndex>(i));
        json::Member(e, "StageActive") = stages[i].stageActive;
        json::Member(e, "StageXY") = stages[i].stageXY;
        json::Member(e, "StageDPIX") = stages[i].DpiX();
        json::Member(e, "StageDPIY") = stages[i].DpiY();
        json::Member(e, "StageColorR") = stages[i].colorR;
        json::Member(e, "StageColorG") = stages[i].colorG;
        json::Member(e, "StageColorB") = stages[i].colorB;
    }
}

void CMouseProfiledata::WriteStageActive(int index) {
    stageActive_ = index;
    json::Member(json::Obj(MutableDocument(), "DPIStages"), "StageActive") = index;
}

MouseSystemStages CMouseProfiledata::ReadMouseStages() {
    MouseSystemStages s;
    const Json::Value& sys = Get(Document(), "SystemStages");
    if (!sys.isNull()) {
        s.doubleClickTime = static_cast<std::uint16_t>(ToInt(Get(sys, "DoubleClickTime")));
        s.mouseSpeed = static_cast<std::uint16_t>(ToInt(Get(sys, "MouseSpeed")));
        s.pointerPrecision = static_cast<std::uint16_t>(ToInt(Get(sys, "PointerPrecision")));
        s.scorllPage = static_cast<std::uint16_t>(ToInt(Get(sys, "ScorllPage")));
        s.wheelScorlllinse = static_cast<std::uint16_t>(ToInt(Get(sys, "WheelScorlllinse")));
        s.reportRate =
            static_cast<std::uint16_t>(ToInt(Get(Get(Document(), "ReportStages"), "StageActive")));
    }
    systemStages_ = s;
    return s;
}

void CMouseProfiledata::WriteMouseStages(const MouseSystemStages& s) {
    systemStages_ = s;
    Json::Value& sys = json::Obj(MutableDocument(), "SystemStages");
    sys["DoubleClickTime"] = s.doubleClickTime;
    sys["MouseSpeed"] = s.mouseSpeed;
    sys["PointerPrecision"] = s.pointerPrecision;
    sys["ScorllPage"] = s.scorllPage;
    sys["WheelScorlllinse"] = s.wheelScorlllinse;
    json::Obj(MutableDocument(), "ReportStages")["StageActive"] = s.reportRate;
}

std::vector<CorrectInfo> CMouseProfiledata::ReadCorrectInfo() {
    const Json::Value& list = Get(Document(), "CorrectInfo");
    if (list.isNull())
        return corrections_;
    std::vector<CorrectInfo> result;
    for (Json::ArrayIndex i = 0; i < json::Size(list); ++i) {
        const Json::Value& e = list[i];
        result.push_back({ToByte(Get(e, "CorrectPixThresh")), ToByte(Get(e, "CorrectMinSq")),
                          ToByte(Get(e, "CorrectSelect")), json::ToString(Get(e, "CorrectName"))});
    }
    corrections_ = std::move(result);
    return corrections_;
}

}  // namespace morva
