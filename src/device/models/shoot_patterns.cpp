#include "device/models/shoot_patterns.h"

#include <algorithm>
#include <cctype>

#include "device/protocol/macro_image.h"
#include "macro/macro_event.h"
#include "profile/json_access.h"
#include "profile/json_file.h"

namespace morva {

namespace {

constexpr int kClickDelay = 10;
constexpr int kMoveXDelay = 5;
constexpr int kLeftButton = 1;

bool IsDown(const Json::Value& event) {
    std::string action = json::ToString(json::Get(event, "Action"));
    std::transform(action.begin(), action.end(), action.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return action == "down";
}

int Distance(const Json::Value& event) {
    return std::clamp(json::ToInt(json::Get(event, "Button")), 0, kMaxShootDistance);
}

void SetEvent(Json::Value& events, int index, bool down, int button, int delay, int type) {
    Json::Value& e = json::At(events, static_cast<Json::ArrayIndex>(index));
    json::Member(e, "Action") = down ? "down" : "up";
    e["Button"] = button;
    e["Delay"] = delay;
    e["Type"] = type;
}

ImageEvent DeviceEvent(const Json::Value& event) {
    const int delay = MacroDelay(event);
    const int type = json::ToInt(json::Get(event, "Type")) & 0x7F;
    return {static_cast<std::uint8_t>(delay & 0xFF), static_cast<std::uint8_t>(delay >> 8),
            static_cast<std::uint8_t>(type | (IsDown(event) ? 0x80 : 0)),
            static_cast<std::uint8_t>(Distance(event))};
}

}  // namespace

ShootBullet ShootBullet::Held() const {
    ShootBullet b = *this;
    b.x = std::clamp(x, 0, kMaxShootDistance);
    b.y = std::clamp(y, 0, kMaxShootDistance);
    b.delay = std::clamp(delay, 0, kMaxShootDelay);
    return b;
}

std::string ShootFilePath(const std::string& folder, int weapon) {
    if (weapon < 0 || weapon >= kShootWeapons)
        return {};
    return FileInFolder(folder, "ShootData_" + std::to_string(weapon), ".Shoot");
}

ShootBullet ReadShootBullet(const Json::Value& pattern, int bullet) {
    if (bullet < 0 || bullet >= kShootBullets)
        return {};
    const Json::Value& events = json::Get(pattern, "Events");
    const auto at = static_cast<Json::ArrayIndex>(kShootEventsPerBullet * bullet);
    const Json::Value& x = json::Get(events, at + 2);
    const Json::Value& y = json::Get(events, at + 3);
    ShootBullet b;
    b.left = IsDown(x);
    b.x = Distance(x);
    b.up = IsDown(y);
    b.y = Distance(y);
    b.delay = MacroDelay(y);
    return b;
}

std::array<ShootBullet, kShootBullets> ReadShootPattern(const Json::Value& pattern) {
    std::array<ShootBullet, kShootBullets> bullets;
    for (int b = 0; b < kShootBullets; ++b)
        bullets[static_cast<std::size_t>(b)] = ReadShootBullet(pattern, b);
    return bullets;
}

void WriteShootBullet(Json::Value& pattern, int bullet, const ShootBullet& values) {
    if (bullet < 0 || bullet >= kShootBullets)
        return;
    const ShootBullet v = values.Held();
    Json::Value& events = json::Arr(pattern, "Events");
    const int at = kShootEventsPerBullet * bullet;
    SetEvent(events, at, true, kLeftButton, kClickDelay, macro_type::kMouseButton);
    SetEvent(events, at + 1, false, kLeftButton, 0, macro_type::kMouseButton);
    SetEvent(events, at + 2, v.left, v.x, kMoveXDelay, macro_type::kMoveHorizontal);
    SetEvent(events, at + 3, v.up, v.y, v.delay, macro_type::kMoveVertical);
    SetEvent(events, at + 4, v.left, 0, 0, macro_type::kMoveHorizontal);
    SetEvent(events, at + 5, v.up, 0, 0, macro_type::kMoveVertical);
}

ShootCopy CopyShootFile(const std::string& source, const std::string& target) {
    // A copy that streams while it reads would leave half a file behind a failing source.
    const std::string bytes = ReadFileText(source);
    if (!ParseJsonText(bytes).isObject())
        return ShootCopy::kUnreadableSource;
    return WriteFileText(target, bytes) == 0 ? ShootCopy::kDone : ShootCopy::kWriteFailed;
}

std::optional<std::vector<std::uint8_t>> BuildShootImage(const std::string& folder) {
    std::vector<std::vector<ImageEvent>> entries;
    for (int w = 0; w < kShootWeapons; ++w) {
        std::vector<ImageEvent>& block = entries.emplace_back();
        const Json::Value events = json::Get(ReadJsonFile(ShootFilePath(folder, w)), "Events");
        for (Json::ArrayIndex i = 0; i < json::Size(events); ++i) {
            if (events[i].isObject())
                block.push_back(DeviceEvent(events[i]));
        }
    }
    return BuildMacroImage(entries);
}

}  // namespace morva
