// The mouse's recoil pattern operations: the four weapon files of its user data folder and
// the download of all four.
#include "device/models/mouse_device.h"
#include "profile/json_file.h"

namespace morva {

namespace {

bool IsWeapon(int weapon) {
    return weapon >= 0 && weapon < kShootWeapons;
}

OpResult CopyResult(ShootCopy copy) {
    switch (copy) {
        case ShootCopy::kDone:
            return OpResult::Done();
        case ShootCopy::kUnreadableSource:
            return OpResult::Refused(kMsgShootFileUnreadable);
        case ShootCopy::kWriteFailed:
            break;
    }
    return {kResultNotSaved, kMsgProfileNotSaved};
}

}  // namespace

void CTessaronMouseDevice::RestoreShootPatterns() {
    for (int w = 0; w < kShootWeapons; ++w) {
        const std::string path = ShootFilePath(GetUserDataFolder(), w);
        if (!path.empty() && ReadJsonFile(path).isNull())
            (void)CopyShootFile(ShootFilePath(GetDefaultDataFolder(), w), path);
    }
}

std::array<ShootBullet, kShootBullets> CTessaronMouseDevice::ShootPattern(int weapon) const {
    return ReadShootPattern(ReadJsonFile(ShootFilePath(GetUserDataFolder(), weapon)));
}

OpResult CTessaronMouseDevice::ChangeShootBullet(int weapon, int bullet,
                                                 const ShootBullet& values) {
    if (!IsWeapon(weapon))
        return OpResult::Refused(kMsgValueOutOfRange, weapon);
    if (bullet < 0 || bullet >= kShootBullets)
        return OpResult::Refused(kMsgValueOutOfRange, bullet);
    const std::string path = ShootFilePath(GetUserDataFolder(), weapon);
    // Whatever else the file holds stays as it was.
    Json::Value pattern = ReadJsonFile(path);
    WriteShootBullet(pattern, bullet, values);
    if (WriteJsonFile(path, pattern) != 0)
        return {kResultNotSaved, kMsgProfileNotSaved};
    return OpResult::Done();
}

OpResult CTessaronMouseDevice::SendShootPatterns() {
    const int r = DownloadShootPatterns();
    if (r == kResultImageTooLarge)
        return {r, kMsgShootImageTooLarge};
    return r == kResultOk ? OpResult::Done() : OpResult{r, kMsgDeviceWriteFailed};
}

OpResult CTessaronMouseDevice::ImportShootPattern(int weapon, const std::string& path) {
    if (!IsWeapon(weapon))
        return OpResult::Refused(kMsgValueOutOfRange, weapon);
    return CopyResult(CopyShootFile(path, ShootFilePath(GetUserDataFolder(), weapon)));
}

OpResult CTessaronMouseDevice::ExportShootPattern(int weapon, const std::string& path) {
    if (!IsWeapon(weapon))
        return OpResult::Refused(kMsgValueOutOfRange, weapon);
    return CopyResult(CopyShootFile(ShootFilePath(GetUserDataFolder(), weapon), path));
}

OpResult CTessaronMouseDevice::ResetShootPattern(int weapon) {
    if (!IsWeapon(weapon))
        return OpResult::Refused(kMsgValueOutOfRange, weapon);
    return CopyResult(CopyShootFile(ShootFilePath(GetDefaultDataFolder(), weapon),
                                    ShootFilePath(GetUserDataFolder(), weapon)));
}

}  // namespace morva
