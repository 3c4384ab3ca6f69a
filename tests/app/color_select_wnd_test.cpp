// The colour picker opened from a DPI stage's swatch in the real main window: the colour on
// OK reaches page, profile and the simulated mouse; swatches and favourites are kept.
#include <gtest/gtest.h>

#include <QTest>
#include <QTimer>

#include <filesystem>
#include <functional>

#include "app/color_select_wnd.h"
#include "app/sim_window.h"
#include "profile/json_file.h"
#include "ui/toolkit/controls.h"

namespace morva::app {
namespace {

using ui::CControlUI;

constexpr std::size_t StageColourAt(int i) {
    return 14 + 9 * static_cast<std::size_t>(i) + 6;
}

CControlUI* Find(CColorSelectWnd& w, const QString& name) {
    CControlUI* c = w.FindControl(name);
    EXPECT_NE(c, nullptr) << name.toStdString();
    return c;
}

void Click(CColorSelectWnd& w, const QString& name) {
    if (CControlUI* c = Find(w, name))
        QTest::mouseClick(c->GetWidget(), Qt::LeftButton);
}

// Types into an edit and moves the focus away, as the user leaves it.
void TypeChannel(CColorSelectWnd& w, const char* edit, const char* text) {
    CControlUI* c = Find(w, QLatin1String(edit));
    ASSERT_NE(c, nullptr);
    c->GetWidget()->setFocus();
    QTest::keyClick(c->GetWidget(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(c->GetWidget(), Qt::Key_Backspace);
    QTest::keyClicks(c->GetWidget(), QLatin1String(text));
    Find(w, QStringLiteral("okbtn"))->GetWidget()->setFocus();
}

// Runs `steps` in the picker once it is up; `open` opens it and returns once it closed.
bool InPicker(const std::function<void(CColorSelectWnd&)>& steps,
              const std::function<void()>& open) {
    bool seen = false;
    QTimer::singleShot(0, [&] {
        CColorSelectWnd* w = CColorSelectWnd::Current();
        ASSERT_TRUE(w != nullptr && w->isVisible());
        ASSERT_TRUE(QTest::qWaitForWindowActive(w));
        seen = true;
        steps(*w);
    });
    open();
    return seen;
}

TEST(ColorSelectWndTest, TheChosenColourReachesPageProfileAndMouseOnlyOnOk) {
    test::SimWindow sim;
    ASSERT_TRUE(sim.Start({sim::Link::Mouse}));
    ASSERT_TRUE(sim.ConnectMouse());
    sim.window->show();
    auto* page = dynamic_cast<ui::CMousePageUI*>(sim.devices->CurrentDevice());
    ASSERT_NE(page, nullptr);
    CControlUI* swatch =
        ui::CPaintManagerUI::FindSubControlByName(page, QStringLiteral("DPI_color_option_3"));
    ASSERT_NE(swatch, nullptr);
    const std::uint32_t before = page->GetDpiColour(3);
    auto setting = [&] {
        return sim.bus->Firmware(sim::Product::Mouse).ReadArea(sim::Area::Setting);
    };
    auto open = [&] { QTest::mouseClick(swatch->GetWidget(), Qt::LeftButton); };

    // Closed: nothing changes anywhere.
    const std::vector<std::uint8_t> untouched = setting();
    ASSERT_TRUE(InPicker(
        [&](CColorSelectWnd& w) {
            EXPECT_EQ(w.GetColour(), before);
            EXPECT_EQ(Find(w, "color_edit_r")->GetText(), QString::number(qRed(before)));
            Click(w, QStringLiteral("color_option_0"));
            Click(w, QStringLiteral("closebtn"));
        },
        open));
    EXPECT_EQ(page->GetDpiColour(3), before);
    EXPECT_EQ(setting(), untouched);

    // Typed channels are held to 0..255 and shown as taken.
    ASSERT_TRUE(InPicker(
        [&](CColorSelectWnd& w) {
            TypeChannel(w, "color_edit_r", "300");
            TypeChannel(w, "color_edit_g", "");
            TypeChannel(w, "color_edit_b", "64");
            EXPECT_EQ(Find(w, "color_edit_r")->GetText(), "255");
            EXPECT_EQ(Find(w, "color_edit_g")->GetText(), "0");
            EXPECT_EQ(w.ShownColour(), 0xFFFF0040u);
            Click(w, QStringLiteral("okbtn"));
        },
        open));
    EXPECT_EQ(page->GetDpiColour(3), 0xFFFF0040u);
    const std::vector<std::uint8_t> block = setting();
    ASSERT_GT(block.size(), StageColourAt(3) + 2);
    EXPECT_EQ(block[StageColourAt(3)], 0xFF);
    EXPECT_EQ(block[StageColourAt(3) + 1], 0x00);
    EXPECT_EQ(block[StageColourAt(3) + 2], 0x40);
    CMouseProfiledata saved;
    saved.LoadDocument(page->Mouse().GetProfilePath());
    const DpiStage stage = saved.ReadDpiStages().at(3);
    EXPECT_EQ((std::array<int, 3>{stage.colorR, stage.colorG, stage.colorB}),
              (std::array<int, 3>{0xFF, 0x00, 0x40}));
}

TEST(ColorSelectWndTest, FavouritesFillOnlyWhenAColourIsChosenAndOutliveThePicker) {
    test::SimWindow sim;
    ASSERT_TRUE(sim.Start({}));
    const std::string file = sim.dir.File("MORVA TR510 Device/color_option_info.config");
    auto open = [&] { (void)sim.window->PickColour(0xFF123456u); };
    auto slot = [](CColorSelectWnd& w, int n) {
        return dynamic_cast<ui::COptionUI*>(
            w.FindControl(QStringLiteral("collect_color_option_%1").arg(n)));
    };

    ASSERT_TRUE(InPicker(
        [&](CColorSelectWnd& w) {
            EXPECT_TRUE(std::filesystem::exists(file)) << "the factory copy is taken first";
            Click(w, QStringLiteral("collect_color_option_2"));
            ASSERT_NE(slot(w, 2), nullptr);
            EXPECT_NE(slot(w, 2)->GetUserData(), "1") << "an empty slot waits for a colour";
            EXPECT_EQ(w.ShownColour(), 0xFF123456u);
            Click(w, QStringLiteral("color_option_9"));
            EXPECT_EQ(slot(w, 2)->GetUserData(), "1");
            EXPECT_EQ(slot(w, 2)->GetBkColor().rgba(), w.GetColour());
            Click(w, QStringLiteral("closebtn"));
        },
        open));
    const Json::Value info = ReadJsonFile(file)["coloroptioninfo"];
    const std::string chosen = info["palletDialogcoloroption"][9]["color"].asString();
    EXPECT_EQ(info["palletDialogcollectcoloroption"][2]["color"].asString(), chosen);
    EXPECT_EQ(info["palletDialogcollectcoloroption"][2]["UserData"].asString(), "1");
    EXPECT_EQ(info["palletDialogcoloroption_selectitem"].asInt(), 9);
    ASSERT_EQ(chosen.size(), 8u);

    ASSERT_TRUE(InPicker(
        [&](CColorSelectWnd& w) {
            EXPECT_EQ(w.FavouriteIndex(), -1) << "a reopened picker arms no slot";
            EXPECT_EQ(slot(w, 2)->GetBkColor().rgba(), ParseArgb(QString::fromStdString(chosen)));
            auto* swatch = dynamic_cast<ui::COptionUI*>(w.FindControl("color_option_9"));
            EXPECT_TRUE(swatch != nullptr && swatch->IsSelected());
            Click(w, QStringLiteral("color_option_1"));  // nothing armed: no slot changes
            EXPECT_EQ(slot(w, 2)->GetBkColor().rgba(), ParseArgb(QString::fromStdString(chosen)));
            QTest::keyClick(&w, Qt::Key_Escape);
            EXPECT_FALSE(w.isVisible()) << "Escape closes like the close button";
        },
        open));
    EXPECT_EQ(ParseArgb(QStringLiteral("FF0099FF")), 0xFF0099FFu);
    EXPECT_EQ(FormatArgb(0xFFFF0000u), "FFFF0000");
}

}  // namespace
}  // namespace morva::app
