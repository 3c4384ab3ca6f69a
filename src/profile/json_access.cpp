#include "profile/json_access.h"

#include <cmath>
#include <limits>

namespace morva::json {

namespace {
const Json::Value& Null() {
    static const Json::Value null;
    return null;
}

template <typename T>
int Clamp(T v) {
    constexpr auto lo = std::numeric_limits<int>::min();
    constexpr auto hi = std::numeric_limits<int>::max();
    if (v < static_cast<T>(lo))
        return lo;
    if (v > static_cast<T>(hi))
        return hi;
    return static_cast<int>(v);
}
}  // namespace

const Json::Value& Get(const Json::Value& v, const char* key) {
    if (!v.isObject())
        return Null();
    const Json::Value* found = v.find(key, key + std::char_traits<char>::length(key));
    return found ? *found : Null();
}

const Json::Value& Get(const Json::Value& v, Json::ArrayIndex index) {
    if (!v.isArray() || index >= v.size())
        return Null();
    return v[index];
}

bool Has(const Json::Value& v, const char* key) {
    return v.isObject() && v.isMember(key);
}

int ToInt(const Json::Value& v, int fallback) {
    switch (v.type()) {
        case Json::booleanValue:
            return v.asBool() ? 1 : 0;
        case Json::intValue:
            return Clamp(v.asLargestInt());
        case Json::uintValue: {
            const auto u = v.asLargestUInt();
            return u > static_cast<Json::LargestUInt>(std::numeric_limits<int>::max())
                       ? std::numeric_limits<int>::max()
                       : static_cast<int>(u);
        }
        case Json::realValue: {
            const double d = v.asDouble();
            if (std::isnan(d))
                return fallback;
            return Clamp(std::trunc(d));
        }
        default:
            return fallback;
    }
}

bool ToBool(const Json::Value& v) {
    if (v.isBool())
        return v.asBool();
    if (v.isNumeric())
        return v.asDouble() != 0.0;
    return false;
}

std::string ToString(const Json::Value& v) {
    return v.isString() ? v.asString() : std::string();
}

Json::ArrayIndex Size(const Json::Value& v) {
    return v.isArray() ? v.size() : 0;
}

Json::Value& Member(Json::Value& v, const char* key) {
    if (!v.isObject())
        v = Json::Value(Json::objectValue);
    return v[key];
}

Json::Value& Obj(Json::Value& v, const char* key) {
    Json::Value& m = Member(v, key);
    if (!m.isObject())
        m = Json::Value(Json::objectValue);
    return m;
}

Json::Value& Arr(Json::Value& v, const char* key) {
    Json::Value& m = Member(v, key);
    if (!m.isArray())
        m = Json::Value(Json::arrayValue);
    return m;
}

Json::Value& At(Json::Value& array, Json::ArrayIndex index) {
    if (!array.isArray())
        array = Json::Value(Json::arrayValue);
    return array[index];
}

}  // namespace morva::json
