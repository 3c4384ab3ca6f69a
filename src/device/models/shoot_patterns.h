// Recoil ("shoot") patterns: four weapon files "ShootData_w.Shoot" in a device folder, each
// 30 bullets of six macro events (click, horizontal move, vertical move and pause, two zero
// moves), and the image the mouse's shoot memory takes.
#pragma once

#include <json/value.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace morva {

inline constexpr int kShootWeapons = 4;
inline constexpr int kShootBullets = 30;
inline constexpr int kShootEventsPerBullet = 6;
// The device takes distances as 8 bits and delays as 16 bits: values beyond are held at the
// end of the range instead of wrapping, so what is shown is what the mouse gets.
inline constexpr int kMaxShootDistance = 255;
inline constexpr int kMaxShootDelay = 65535;

struct ShootBullet {
    bool left = false;  // horizontal move to the left ("down"), else to the right
    int x = 0;
    bool up = false;  // vertical move up ("down"), else down
    int y = 0;
    int delay = 0;  // milliseconds after the move

    // The same bullet with its numbers held to their ranges.
    ShootBullet Held() const;
    bool operator==(const ShootBullet&) const = default;
};

// folder + "ShootData_" + weapon + ".Shoot"; empty for a weapon outside 0..3 or no folder.
std::string ShootFilePath(const std::string& folder, int weapon);

// Bullet b of a pattern document, held to range; missing entries read as 0 and "up".
ShootBullet ReadShootBullet(const Json::Value& pattern, int bullet);
std::array<ShootBullet, kShootBullets> ReadShootPattern(const Json::Value& pattern);
// Sets the six events of bullet b (each key assigned, other keys kept); a shorter "Events"
// array grows, the entries in between null.
void WriteShootBullet(Json::Value& pattern, int bullet, const ShootBullet& values);

enum class ShootCopy {
    kDone,
    kUnreadableSource,  // missing, unreadable, cut short or not a JSON object: target kept
    kWriteFailed,       // the target is as it was
};
// Reads the whole source and only then replaces the target atomically with the same bytes.
ShootCopy CopyShootFile(const std::string& source, const std::string& target);

// The image of the four weapon files of `folder` (a missing file gives an empty pattern);
// nothing when it does not fit the image's 16-bit lengths.
std::optional<std::vector<std::uint8_t>> BuildShootImage(const std::string& folder);

}  // namespace morva
