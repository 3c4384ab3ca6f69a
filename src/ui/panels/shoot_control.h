// The recoil pattern panel of the mouse page: a weapon and one of its bullets are chosen, the
// bullet's move and pause are shown and edited, and a weapon's file is imported, exported or
// reset; the save button sends all four patterns. The mouse model keeps the files.
#pragma once

#include <QString>

#include <array>

#include "device/models/shoot_patterns.h"
#include "ui/toolkit/containers.h"
#include "ui/toolkit/controls.h"

namespace morva {
class CTessaronMouseDevice;
}

namespace morva::ui {

class IPageServices;

// The path a weapon's bullets pull the cursor along, the chosen bullet marked.
class CShootPathUI : public CPlainControlUI {
public:
    QString GetClass() const override { return QStringLiteral("ShootPathUI"); }
    void SetPattern(const std::array<ShootBullet, kShootBullets>& bullets, int marked);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::array<ShootBullet, kShootBullets> bullets_{};
    int marked_ = -1;
};

class CShootControlUI : public CHorizontalLayoutUI {
public:
    QString GetClass() const override { return QStringLiteral("ShootControlUI"); }

    // Restores weapon files that are missing or broken, then shows weapon 0, bullet 0.
    void InitShootData(CTessaronMouseDevice& mouse);
    // Without showing the bullet again.
    void SelectWeapon(int n);
    void SelectBullet(int n, CTessaronMouseDevice& mouse);
    void ShowCurrentBullet(CTessaronMouseDevice& mouse);
    int CurrentWeapon() const { return weapon_; }
    int CurrentBullet() const { return bullet_; }

    // ---- Input (the main window's router forwards here) ----
    void OnWeaponChosen(int n, CTessaronMouseDevice& mouse);
    void OnBulletChosen(int n, CTessaronMouseDevice& mouse);
    void OnPreviousBullet(CTessaronMouseDevice& mouse);
    void OnNextBullet(CTessaronMouseDevice& mouse);
    // The direction's text follows its option; the file takes it with the next edit.
    void UpdateXDirectionText();
    void UpdateYDirectionText();
    // An edit lost focus: the bullet as the controls hold it goes to the weapon's file.
    void OnBulletEdited(CTessaronMouseDevice& mouse, IPageServices& services);
    void OnSave(CTessaronMouseDevice& mouse, IPageServices& services);
    void OnReset(CTessaronMouseDevice& mouse, IPageServices& services);
    void OnImport(CTessaronMouseDevice& mouse, IPageServices& services);
    void OnExport(CTessaronMouseDevice& mouse, IPageServices& services);

private:
    CControlUI* Find(const QString& name) const;
    CControlUI* Indexed(const char* prefix, int n) const;
    int EditValue(const char* name) const;

    int weapon_ = 0;
    int bullet_ = -1;
};

}  // namespace morva::ui
