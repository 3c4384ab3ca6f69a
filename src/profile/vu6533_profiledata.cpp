#include "profile/vu6533_profiledata.h"

#include "profile/json_access.h"

namespace morva {

using json::Get;
using json::ToInt;

namespace {
constexpr const char* kStageKeys[] = {"MagicEnable",        "MagicType",      "EqType",
                                      "CustomEqSeletIndex", "MicInSelect",    "MicInValue",
                                      "MicMoniterSelect",   "MicMoniterValue"};
constexpr int kNoRow = -1;
// Custom equaliser indexes come from files; keep the arrays they grow sane.
constexpr int kMaxCustomEq = 255;

std::int32_t* StageFields(HeadsetSystemSetStages& s, int i) {
    std::int32_t* fields[] = {&s.magicEnable,        &s.magicType,      &s.eqType,
                              &s.customEqSeletIndex, &s.micInSelect,    &s.micInValue,
                              &s.micMoniterSelect,   &s.micMoniterValue};
    return fields[i];
}

// Preset 0 shares row 1 with preset 1; 13 is the custom slot, which has no preset row.
int EqRow(int eqType) {
    if (eqType == 13)
        return kNoRow;
    if (eqType >= 1 && eqType <= 12)
        return eqType;
    return 1;
}
}  // namespace

HeadsetSystemSetStages CVu6533Profiledata::ReadSystemSetStages() {
    HeadsetSystemSetStages s;
    const Json::Value& sys = Get(Document(), "SystemSetStages");
    if (!sys.isNull()) {
        for (int i = 0; i < 8; ++i)
            *StageFields(s, i) = ToInt(Get(sys, kStageKeys[i]));
    }
    systemSetStages_ = s;
    return s;
}

void CVu6533Profiledata::WriteSystemSetStages(const HeadsetSystemSetStages& stages) {
    systemSetStages_ = stages;
    HeadsetSystemSetStages s = stages;
    Json::Value& sys = json::Obj(MutableDocument(), "SystemSetStages");
    for (int i = 0; i < 8; ++i)
        sys[kStageKeys[i]] = *StageFields(s, i);
}

std::vector<int> CVu6533Profiledata::ReadBands(const char* section, int row) {
    std::vector<int> values;
    Json::Value& bands =
        json::At(json::Arr(MutableDocument(), section), static_cast<Json::ArrayIndex>(row));
    for (int i = 0; i < kEqBands; ++i) {
        Json::Value& band = json::At(bands, static_cast<Json::ArrayIndex>(i));
        // Missing bands are filled in, so the next save holds complete rows.
        if (!json::Has(band, "value"))
            json::Member(band, "value") = 0;
        values.push_back(ToInt(band["value"]));
    }
    return values;
}

void CVu6533Profiledata::WriteBands(const char* section, int row, const std::vector<int>& values) {
    Json::Value& bands =
        json::At(json::Arr(MutableDocument(), section), static_cast<Json::ArrayIndex>(row));
    for (int i = 0; i < kEqBands; ++i) {
        const int v = i < static_cast<int>(values.size()) ? values[static_cast<std::size_t>(i)] : 0;
        json::Member(json::At(bands, static_cast<Json::ArrayIndex>(i)), "value") = v;
    }
}

std::vector<int> CVu6533Profiledata::ReadEqValues(int eqType) {
    const int row = EqRow(eqType);
    if (row == kNoRow)
        return {};
    return ReadBands("EQHzValueInfo", row);
}

void CVu6533Profiledata::WriteEqValues(int eqType, const std::vector<int>& values) {
    const int row = EqRow(eqType);
    if (row != kNoRow)
        WriteBands("EQHzValueInfo", row, values);
}

std::vector<std::string> CVu6533Profiledata::ReadCustomEqNames() {
    std::vector<std::string> names;
    const Json::Value& list = Get(Document(), "CustomEQNameInfo");
    for (Json::ArrayIndex i = 0; i < json::Size(list); ++i) {
        names.push_back(json::ToString(Get(list[i], "Name")));
    }
    return names;
}

void CVu6533Profiledata::WriteCustomEqNames(const std::vector<std::string>& names) {
    Json::Value list(Json::arrayValue);
    for (const std::string& name : names) {
        Json::Value e(Json::objectValue);
        e["Name"] = name;
        list.append(e);
    }
    json::Member(MutableDocument(), "CustomEQNameInfo") = list;
}

std::vector<int> CVu6533Profiledata::ReadCustomEqValues(int index) {
    if (index < 0 || index > kMaxCustomEq)
        return {};
    return ReadBands("CustomEQHzValueInfo", index);
}

void CVu6533Profiledata::WriteCustomEqValues(int index, const std::vector<int>& values) {
    if (index < 0 || index > kMaxCustomEq)
        return;
    WriteBands("CustomEQHzValueInfo", index, values);
}

void CVu6533Profiledata::RemoveCustomEq(int index) {
    if (index < 0)
        return;
    const auto at = static_cast<Json::ArrayIndex>(index);
    for (const char* section : {"CustomEQNameInfo", "CustomEQHzValueInfo"}) {
        Json::Value& list = json::Arr(MutableDocument(), section);
        Json::Value removed;
        if (at < list.size())
            list.removeIndex(at, &removed);
    }
}

}  // namespace morva
