// Tolerant access to JSON read from disk: a member of the wrong type reads as absent
// instead of throwing, and writes turn a wrong-typed container into the right one.
#pragma once

#include <json/value.h>

#include <cstdint>
#include <string>

namespace morva::json {

// Member or element, or a null value when `v` is not an object/array or lacks it.
const Json::Value& Get(const Json::Value& v, const char* key);
const Json::Value& Get(const Json::Value& v, Json::ArrayIndex index);
bool Has(const Json::Value& v, const char* key);

// Numbers (and booleans) as integers; anything else gives `fallback`. Out-of-range
// values are clamped; doubles are truncated.
int ToInt(const Json::Value& v, int fallback = 0);
// Truth value: non-zero numbers and true.
bool ToBool(const Json::Value& v);
// Low byte of ToInt, as the device fields keep it.
inline std::uint8_t ToByte(const Json::Value& v) {
    return static_cast<std::uint8_t>(ToInt(v));
}
std::string ToString(const Json::Value& v);
// Number of elements of an array, 0 for anything else.
Json::ArrayIndex Size(const Json::Value& v);

// Writable member/element; `v` (and the member) become an object/array when they are not.
Json::Value& Obj(Json::Value& v, const char* key);
Json::Value& Arr(Json::Value& v, const char* key);
Json::Value& At(Json::Value& array, Json::ArrayIndex index);
// Writable member without changing its type (v becomes an object when it is not one).
Json::Value& Member(Json::Value& v, const char* key);

}  // namespace morva::json
