// Every control name that code binds or routes to stands in a shipped layout: a renamed or
// dropped control would otherwise leave its page or entry silently dead.
#include <gtest/gtest.h>

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>

#include <set>

#include "app/sim_window.h"
#include "ui/pages/keyboard_page.h"
#include "ui/pages/mouse_page.h"
#include "ui/pages/mousepad_page.h"

namespace morva::app {
namespace {

// Lower-cased names of every control in the layouts under res/skin.
std::set<std::string> LayoutNames() {
    std::set<std::string> names;
    const QRegularExpression name(QStringLiteral("\\sname=\"([^\"]+)\""));
    QDirIterator files(test::ResDir() + "/skin", {QStringLiteral("*.xml")}, QDir::Files,
                       QDirIterator::Subdirectories);
    while (files.hasNext()) {
        QFile file(files.next());
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QString text = QString::fromUtf8(file.readAll());
        for (const QRegularExpressionMatch& m : name.globalMatch(text))
            names.insert(m.captured(1).toLower().toStdString());
    }
    return names;
}

bool HasName(const std::set<std::string>& names, std::string wanted, bool prefix) {
    for (char& c : wanted)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (!prefix)
        return names.count(wanted) > 0;
    const auto at = names.lower_bound(wanted);
    return at != names.end() && at->compare(0, wanted.size(), wanted) == 0 &&
           at->size() > wanted.size() &&
           std::isdigit(static_cast<unsigned char>((*at)[wanted.size()]));
}

TEST(LayoutNamesTest, EveryNameCodeBindsOrRoutesIsInALayout) {
    test::SimWindow sim;
    ASSERT_TRUE(sim.Start({}));
    const std::set<std::string> names = LayoutNames();
    ASSERT_GT(names.size(), 100u);
    // The second DPI family is routed for layouts that carry it; no shipped layout does. The
    // macro panel builds one row with a delay edit per action.
    const std::set<std::string> noLayout = {"kaldo_DPI_slider_", "kaldo_DPI_edit_", "macro_action",
                                            "macro_delay"};
    for (const auto& [name, prefix] : sim.window->Router().Names()) {
        if (sim.window->IsPendingEntry(name) || noLayout.count(name) > 0)
            continue;
        EXPECT_TRUE(HasName(names, name, prefix)) << "routed, in no layout: " << name;
    }
    for (const std::string& name : ui::CMousePageUI::BoundControlNames())
        EXPECT_TRUE(HasName(names, name, false))
            << "bound by the mouse page, in no layout: " << name;
    for (const std::string& name : ui::CKeyboardPageUI::BoundControlNames())
        EXPECT_TRUE(HasName(names, name, false))
            << "bound by the keyboard page, in no layout: " << name;
    for (const std::string& name : ui::CMousePadPageUI::BoundControlNames())
        EXPECT_TRUE(HasName(names, name, false)) << "bound by the pad page, in no layout: " << name;
}

}  // namespace
}  // namespace morva::app
