// Every page, panel and tab of the main window fits the design size, in each DPI the window
// takes and each shipped language: the real window on the four simulated products, walked
// the way a user walks it (device tabs, settings tabs, profile menu, function tabs, every key
// function category and every lighting effect).
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QTimer>

#include <map>

#include "app/fit_check.h"
#include "app/msg_wnd.h"
#include "app/sim_window.h"
#include "ui/pages/device_option.h"
#include "ui/toolkit/containers.h"
#include "ui/toolkit/controls.h"
#include "ui/toolkit/paint_manager.h"

namespace morva::app {
namespace {

using sim::Link;
using ui::CControlUI;

struct Config {
    int dpi;
    int language;  // position in the language list
    const char* name;
};

struct Offender {
    QString detail;     // as first seen
    QStringList views;  // where it was seen
};
// Offenders by "config | control problem".
using Report = std::map<QString, Offender>;

class LayoutWalk {
public:
    LayoutWalk(test::SimWindow& sim, const Config& config, Report& report)
        : sim_(sim), config_(config), report_(report) {}

    void Run() {
        ShowAtDesignSize();
        sim_.window->ApplyLanguage(config_.language);
        for (int i = 0; i < sim_.devices->EntryCount(); ++i) {
            ui::CDeviceOptionUI* entry = sim_.devices->EntryAt(i);
            if (entry == nullptr || !entry->IsShown())
                continue;
            Click(Sub(entry, "device_select"));
            page_ = sim_.devices->CurrentDevice();
            ASSERT_EQ(page_, entry->GetDevice());
            pageName_ = PageName();
            WalkPage();
        }
    }

private:
    // What the display adaptation does for a monitor of this DPI.
    void ShowAtDesignSize() {
        CMainWnd& window = *sim_.window;
        if (ui::CPaintManagerUI::GetDPI() != config_.dpi) {
            ui::CPaintManagerUI::SetAllDPI(96);
            window.setGeometry(0, 0, 1000, 640);
            ui::CPaintManagerUI::SetAllDPI(config_.dpi);
        }
        window.resize(ui::CPaintManagerUI::Scale(1000), ui::CPaintManagerUI::Scale(640));
        QCoreApplication::processEvents();
    }

    QString PageName() const {
        const std::pair<int, const char*> kinds[] = {{kKindMouse, "mouse"},
                                                     {kKindKeyboard, "keyboard"},
                                                     {kKindMousePad, "pad"},
                                                     {kKindHeadset, "headset"}};
        for (const auto& [kind, name] : kinds) {
            if (sim_.devices->PageOfKind(kind) == page_)
                return QString::fromLatin1(name);
        }
        return page_->GetClass();
    }

    // Each tab with the profile menu closed and open; the menu takes room from the tabs, so
    // the views inside them are walked with it open.
    void WalkPage() {
        CControlUI* menuButton = Find("profile_fun_spread_btn");
        for (const bool menu : {false, true}) {
            if (menu && menuButton == nullptr)
                break;
            if (menuButton != nullptr && menu != IsShown("profile_menu_layout"))
                Click(menuButton);
            ASSERT_EQ(IsShown("profile_menu_layout"), menu);
            const QString profile = menu ? QStringLiteral(" + profile menu") : QString();
            Check(QStringLiteral("page") + profile);
            for (int tab = 0;
                 CControlUI* option = Find(Indexed("mouse_device_seting_option_", tab)); ++tab) {
                Click(option);
                auto* tabs = dynamic_cast<ui::CTabLayoutUI*>(Find("mouse_seting_switch"));
                ASSERT_TRUE(tabs != nullptr && tabs->GetCurSel() == tab) << tab;
                const QString view = QStringLiteral("tab ") + option->GetTextKey() + profile;
                Check(view);
                if (menu && tab == 2)
                    WalkKeyAssignment(view);
                if (menu && tab == 3)
                    WalkCombo("light_combo_modeSelect", view);
            }
            if (CControlUI* recoil = Find("mouse_recoil_option")) {
                Click(recoil);
                Check(QStringLiteral("tab mouse_tab_recoil") + profile);
            }
        }
        for (QWidget* w : page_->GetWidget()->findChildren<QWidget*>()) {
            auto* tab = dynamic_cast<ui::COptionUI*>(w);
            if (tab != nullptr && tab->GetName().endsWith(QLatin1String("_Op_tab")) &&
                w->isVisible()) {
                Click(tab);
                const QString view = QStringLiteral("function tab ") + tab->GetTextKey() +
                                     QStringLiteral(" + profile menu");
                Check(view);
                // Without settings tabs of its own the page assigns keys on its key tab.
                if (tab->GetName() == QLatin1String("key_Op_tab") &&
                    Find("mouse_device_seting_option_0") == nullptr) {
                    // A category the key refuses says so in a box; the walk goes on.
                    QTimer answer;
                    answer.callOnTimeout([] {
                        for (QWidget* w : QApplication::topLevelWidgets()) {
                            if (auto* box = qobject_cast<CMsgWnd*>(w); box && box->isVisible())
                                box->Close(CMsgWnd::kResultCancel);
                        }
                    });
                    answer.start(20);
                    WalkKeyAssignment(view, "key_91");
                }
            }
        }
        if (menuButton != nullptr)
            Click(menuButton);
    }

    // A key of the drawn device opens the panel; each category shows its own fields.
    void WalkKeyAssignment(const QString& view, const char* key = "key_3") {
        Click(Find(key));
        ASSERT_TRUE(IsShown("keyset_layout"));
        const QString panel = view + QStringLiteral(" > key assignment");
        Check(panel);
        auto* categories = dynamic_cast<ui::CComboUI*>(Find("keyset_function_combo"));
        ASSERT_NE(categories, nullptr);
        for (int i = 0; i < categories->count(); ++i) {
            Choose(categories, i);
            const QString category = panel + QStringLiteral(" > ") + categories->GetItemTextKey(i);
            Check(category);
            // A counted macro repeat opens one more row.
            if (auto* repeat = dynamic_cast<ui::CComboUI*>(Find("keyset_macro_over_combo"));
                repeat != nullptr && repeat->isVisible()) {
                Choose(repeat, repeat->count() - 1);
                Check(category + QStringLiteral(" > ") +
                      repeat->GetItemTextKey(repeat->count() - 1));
            }
        }
    }

    void WalkCombo(const char* name, const QString& view) {
        auto* combo = dynamic_cast<ui::CComboUI*>(Find(name));
        ASSERT_TRUE(combo != nullptr && combo->isVisible()) << name;
        for (int i = 0; i < combo->count(); ++i) {
            Choose(combo, i);
            Check(view + QStringLiteral(" > ") + combo->GetItemTextKey(i));
        }
    }

    void Check(const QString& view) {
        QCoreApplication::processEvents();
        const QString where =
            QStringLiteral("%1 DPI %2").arg(QLatin1String(config_.name)).arg(config_.dpi);
        for (const test::FitProblem& p : test::FindFitProblems(sim_.window.get())) {
            Offender& o = report_[where + QStringLiteral(" | ") + p.control + QStringLiteral(" ") +
                                  p.problem];
            if (o.detail.isEmpty())
                o.detail = p.detail;
            const QString seen = pageName_ + QStringLiteral(" ") + view;
            if (!o.views.contains(seen))
                o.views << seen;
        }
    }

    static QString Indexed(const char* prefix, int n) {
        return QLatin1String(prefix) + QString::number(n);
    }
    static CControlUI* Sub(const CControlUI* parent, const char* name) {
        return ui::CPaintManagerUI::FindSubControlByName(parent, QLatin1String(name));
    }
    CControlUI* Find(const QString& name) const {
        return ui::CPaintManagerUI::FindSubControlByName(page_, name);
    }
    CControlUI* Find(const char* name) const { return Find(QLatin1String(name)); }
    bool IsShown(const char* name) const {
        const CControlUI* c = Find(name);
        return c != nullptr && c->GetWidget()->isVisible();
    }
    static void Click(CControlUI* c) {
        ASSERT_NE(c, nullptr);
        QTest::mouseClick(c->GetWidget(), Qt::LeftButton);
        QCoreApplication::processEvents();
    }
    // As the combo does when the user picks an item from its list.
    static void Choose(ui::CComboUI* combo, int index) {
        combo->setCurrentIndex(index);
        emit combo->activated(index);
        QCoreApplication::processEvents();
    }

    test::SimWindow& sim_;
    const Config& config_;
    Report& report_;
    ui::CDevicePageUI* page_ = nullptr;
    QString pageName_;
};

// Later tests in the process get the DPI they expect; set once the window is gone, it is cheap.
struct DpiRestore {
    ~DpiRestore() { ui::CPaintManagerUI::SetAllDPI(96); }
};

TEST(LayoutFitTest, EveryPageAndTabFitsTheDesignSizeInEachDpiAndLanguage) {
    const DpiRestore restore;
    test::SimWindow sim;
    ASSERT_TRUE(sim.Start({Link::Mouse, Link::Keyboard, Link::Pad, Link::Headset}));
    // The program's own start: the monitor finds the products, the window adapts and shows,
    // the entries read their devices; window time moves on while the test waits for that.
    sim.window->show();
    auto* mouse = dynamic_cast<ui::CMousePageUI*>(sim.devices->PageOfKind(kKindMouse));
    ASSERT_NE(mouse, nullptr);
    auto* keyboard = dynamic_cast<ui::CKeyboardPageUI*>(sim.devices->PageOfKind(kKindKeyboard));
    ASSERT_NE(keyboard, nullptr);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            sim.timers.Advance(100);
            return sim.window->isVisible() && sim.devices->CountConnectedDevices() == 4 &&
                   mouse->Mouse().Sensor().maxSlider > 0 && keyboard->Keyboard().KeyPositions() > 0;
        },
        10000));

    const Config configs[] = {{96, 0, "en"}, {96, 1, "zh_CN"}, {144, 1, "zh_CN"}, {144, 0, "en"}};
    Report report;
    for (const Config& config : configs) {
        LayoutWalk(sim, config, report).Run();
        ASSERT_FALSE(HasFatalFailure()) << config.name << " DPI " << config.dpi;
    }

    QStringList lines;
    for (const auto& [offender, o] : report) {
        QStringList shown = o.views.mid(0, 2);
        if (o.views.size() > 2)
            shown << QStringLiteral("%1 more").arg(o.views.size() - 2);
        lines << offender + QStringLiteral(": ") + o.detail + QStringLiteral("  (") +
                     shown.join(QStringLiteral("; ")) + QStringLiteral(")");
    }
    EXPECT_TRUE(lines.isEmpty()) << lines.size() << " controls cut:\n"
                                 << lines.join(QLatin1Char('\n')).toStdString();
}

}  // namespace
}  // namespace morva::app
