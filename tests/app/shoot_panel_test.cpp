// The mouse page's recoil panel in the main window on the simulated bus, driven through the
// window's router: a bullet edited, kept in the weapon's file, sent to the mouse's shoot
// memory; patterns exported, imported and refused; the texts the user reads.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>

#include <fstream>

#include "app/box_answers.h"
#include "app/msg_wnd.h"
#include "app/sim_window.h"
#include "device/models/mouse_device.h"
#include "device/protocol/command_report.h"
#include "profile/json_file.h"
#include "ui/panels/file_dialog.h"
#include "ui/panels/shoot_control.h"
#include "ui/toolkit/paint_manager.h"

namespace morva::app {
namespace {

using sim::Link;
using sim::Product;
using ui::CControlUI;

class ShootPanelTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sim_.Start({Link::Mouse}));
        page_ = dynamic_cast<ui::CMousePageUI*>(sim_.devices->PageOfKind(kKindMouse));
        ASSERT_NE(page_, nullptr);
        panel_ = page_->ShootPanel();
        ASSERT_NE(panel_, nullptr);
        ASSERT_TRUE(sim_.ConnectMouse());
    }
    void TearDown() override {
        ui::SetOpenFileDialogHook({});
        ui::SetSaveFileDialogHook({});
    }

    CControlUI* Find(const QString& name) const {
        return ui::CPaintManagerUI::FindSubControlByName(page_, name);
    }
    void Click(const QString& name) {
        CControlUI* c = Find(name);
        ASSERT_NE(c, nullptr) << name.toStdString();
        sim_.Route("click", c);
    }
    // An option clicked on: it is selected, then the window hears of it.
    void Choose(const QString& option) {
        CControlUI* c = Find(option);
        ASSERT_NE(c, nullptr) << option.toStdString();
        ui::SetOn(c, true);
        sim_.Route("selectchanged", c);
    }
    void Type(const char* edit, const char* text) {
        CControlUI* c = Find(QLatin1String(edit));
        ASSERT_NE(c, nullptr) << edit;
        c->SetText(QLatin1String(text));
        sim_.Route("killfocus", c);
    }
    QString Text(const char* name) const { return Find(QLatin1String(name))->GetText(); }
    QString Translated(const char* key) { return sim_.window->Translate(QLatin1String(key)); }
    std::string WeaponFile(int w) const {
        return page_->Mouse().GetUserDataFolder() + "ShootData_" + std::to_string(w) + ".Shoot";
    }
    std::vector<std::uint8_t> Shoot() const {
        return sim_.bus->Firmware(Product::Mouse).ReadArea(sim::Area::Shoot);
    }
    std::size_t SentShoot() const {
        std::size_t n = 0;
        for (const sim::Report& r : sim_.bus->ReceivedReports(Product::Mouse))
            n += r[3] == cmd::kWriteShoot;
        return n;
    }

    test::SimWindow sim_;
    ui::CMousePageUI* page_ = nullptr;
    ui::CShootControlUI* panel_ = nullptr;
    test::BoxAnswers boxes_;
};

TEST_F(ShootPanelTest, EditedBulletGoesToTheFileAndOnSaveToTheMouse) {
    Choose(QStringLiteral("mouse_recoil_option"));
    auto* tabs = dynamic_cast<ui::CTabLayoutUI*>(Find(QStringLiteral("mouse_seting_switch")));
    ASSERT_NE(tabs, nullptr);
    EXPECT_EQ(tabs->GetItemAt(tabs->GetCurSel()), panel_) << "the recoil tab shows the panel";
    EXPECT_EQ(Text("bullet_select_index"), "1");
    EXPECT_EQ(Text("bullet_x_check"), Translated("mouse_move_to_right_text"));
    EXPECT_NE(Text("bullet_x_check"), "mouse_move_to_right_text") << "an untranslated key";

    Choose(QStringLiteral("shoot_gun_op_1"));
    Choose(QStringLiteral("bullet_op_4"));
    EXPECT_EQ(Text("bullet_select_index"), "5");
    Choose(QStringLiteral("bullet_y_check"));
    EXPECT_EQ(Text("bullet_y_check"), Translated("mouse_move_to_up_text"));
    Type("bullet_x_eidt", "3");
    Type("bullet_y_eidt", "300");
    EXPECT_EQ(Text("bullet_y_eidt"), "255") << "shown as the file holds it";
    Type("bullet_delay_eidt", "95");
    const Json::Value y = ReadJsonFile(WeaponFile(1))["Events"][4 * 6 + 3];
    EXPECT_EQ(y["Action"].asString(), "down");
    EXPECT_EQ(y["Button"].asInt(), 255);
    EXPECT_EQ(y["Delay"].asInt(), 95);

    Click(QStringLiteral("shootdate_save_btn"));
    EXPECT_EQ(sim_.window->ShownNote(), Translated("op_saved_to_device"));
    const auto image = Shoot();
    const std::size_t bullet4 = 16 + 2 * 4 + (4 + 180 * 4) + 4 + 4 * 6 * 4;
    EXPECT_EQ(std::vector<std::uint8_t>(image.begin() + bullet4 + 8, image.begin() + bullet4 + 16),
              (std::vector<std::uint8_t>{5, 0, 0x04, 3, 95, 0, 0x85, 255}));

    // Weapon 2 keeps its own values for the same bullet; the ends hold the bullet.
    Choose(QStringLiteral("shoot_gun_op_2"));
    EXPECT_EQ(Text("bullet_select_index"), "5");
    EXPECT_EQ(Text("bullet_delay_eidt").toInt(), page_->Mouse().ShootPattern(2)[4].delay);
    Choose(QStringLiteral("bullet_op_29"));
    Click(QStringLiteral("bullet_selected_next"));
    EXPECT_EQ(panel_->CurrentBullet(), 29);
    EXPECT_EQ(Text("bullet_select_index"), "30");
    Choose(QStringLiteral("bullet_op_0"));
    Click(QStringLiteral("bullet_selected_prev"));
    EXPECT_EQ(panel_->CurrentBullet(), 0);
    EXPECT_TRUE(boxes_.texts.isEmpty()) << boxes_.texts.join(u'|').toStdString();
}

TEST_F(ShootPanelTest, CopiesAndRefusalsAreToldAndLeaveThePatternsWhole) {
    QStringList filters;
    QString picked;
    const auto answer = [&](QWidget*, const QString& filter, const QString& pattern) {
        filters << filter + pattern;
        return picked;
    };
    ui::SetSaveFileDialogHook(answer);
    ui::SetOpenFileDialogHook(answer);

    picked = QString::fromStdString(sim_.dir.File("weapon0.shoot"));
    Click(QStringLiteral("shootdate_export_btn"));
    EXPECT_EQ(sim_.window->ShownNote(), Translated("shoot_export_done"));
    Choose(QStringLiteral("shoot_gun_op_3"));
    Click(QStringLiteral("shootdate_import_btn"));
    EXPECT_EQ(test::TempDir::Read(WeaponFile(3)), test::TempDir::Read(WeaponFile(0)));
    EXPECT_EQ(Text("bullet_y_eidt").toInt(), page_->Mouse().ShootPattern(0)[0].y);

    const std::string before = test::TempDir::Read(WeaponFile(3));
    picked = QString::fromStdString(sim_.dir.Write("cut.shoot", before.substr(0, 100)));
    Click(QStringLiteral("shootdate_import_btn"));
    EXPECT_EQ(test::TempDir::Read(WeaponFile(3)), before);

    Json::Value big;
    for (int e = 0; e < 17000; ++e)
        big["Events"][e]["Type"] = 4;
    ASSERT_EQ(WriteJsonFile(sim_.dir.File("big.shoot"), big), 0);
    picked = QString::fromStdString(sim_.dir.File("big.shoot"));
    Click(QStringLiteral("shootdate_import_btn"));
    const std::size_t sent = SentShoot();
    Click(QStringLiteral("shootdate_save_btn"));
    EXPECT_EQ(SentShoot(), sent);
    Click(QStringLiteral("shootdate_reset_btn"));
    EXPECT_EQ(
        test::TempDir::Read(WeaponFile(3)),
        test::TempDir::Read((test::ResDir() + "/DefaultData/ShootData_3.Shoot").toStdString()));

    picked.clear();  // cancelled: nothing happens
    Click(QStringLiteral("shootdate_import_btn"));
    EXPECT_EQ(boxes_.texts, (QStringList{Translated("op_shoot_file_unreadable"),
                                         Translated("op_shoot_image_too_large")}));
    EXPECT_EQ(filters, QStringList(5, QStringLiteral("Shoot Files(*.shoot)*.shoot;")));
}

}  // namespace
}  // namespace morva::app
