// Notifications from user input, their order, silent setters and control timers.
#include <QEnterEvent>
#include <QStyle>
#include <QStyleOption>
#include <QStyleOptionSlider>
#include <QTest>

#include "toolkit_test_support.h"
#include "ui/toolkit/containers.h"
#include "ui/toolkit/controls.h"
#include "ui/toolkit/list.h"
#include "ui/toolkit/timer_source.h"

namespace morva::ui::test {
namespace {

class NotifyTest : public ToolkitTest {
protected:
    void SetUp() override {
        ToolkitTest::SetUp();
        w = Show(R"(<Window size="400,600"><VerticalLayout name="root">
            <Button name="btn" text="Go"/>
            <Button name="off" enabled="false"/>
            <HorizontalLayout name="opts">
              <Option name="opt_a" group="rate" selected="true"/>
              <Option name="opt_b" group="rate"/>
              <Option name="opt_c" group="RATE"/>
              <Option name="other" group="mode" selected="true"/>
              <Option name="solo"/>
            </HorizontalLayout>
            <CheckBox name="check"/>
            <Combo name="combo">
              <ListLabelElement text="a"/><ListLabelElement text="b"/>
              <ListLabelElement text="c"/><ListLabelElement text="d"/>
            </Combo>
            <Slider name="slider" min="0" max="100" value="50" width="200"/>
            <Slider name="short" min="0" max="4" value="0" width="200"/>
            <Edit name="edit"/>
            <RichEdit name="rich"/>
            <List name="list">
              <ListLabelElement name="row0" text="r0"/><ListLabelElement name="row1" text="r1"/>
              <ListLabelElement name="row2" text="r2"/>
            </List>
            <TabLayout name="tabs" selectedid="1"><Label name="p0"/><Label name="p1"/></TabLayout>
          </VerticalLayout></Window>)");
        ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
        ASSERT_TRUE(WaitUntil([&] { return w->Types().contains("windowinit"); }));
        w->notes.clear();
    }

    QWidget* Widget(const char* name) { return w->FindControl(name)->GetWidget(); }

    std::unique_ptr<TestWindow> w;
};

TEST_F(NotifyTest, ButtonClickSendsClickFromTheButton) {
    QTest::mouseClick(Widget("btn"), Qt::LeftButton);
    EXPECT_EQ(w->Trace(), QStringList({"click:btn"}));
    w->notes.clear();
    QTest::mouseClick(Widget("off"), Qt::LeftButton);
    EXPECT_TRUE(w->notes.empty()) << "a disabled button says nothing";
    // A real double click: press, release, double-click press, release.
    QTest::mouseClick(Widget("btn"), Qt::LeftButton);
    QTest::mouseDClick(Widget("btn"), Qt::LeftButton);
    QTest::mouseRelease(Widget("btn"), Qt::LeftButton);
    EXPECT_EQ(w->Trace(), QStringList({"click:btn", "dbclick:btn", "click:btn"}));
}

TEST_F(NotifyTest, OptionGroupsAreExclusiveAndNotifyClickThenSelectChanged) {
    auto* a = w->Find<COptionUI>("opt_a");
    auto* b = w->Find<COptionUI>("opt_b");
    auto* c = w->Find<COptionUI>("opt_c");
    auto* other = w->Find<COptionUI>("other");
    QTest::mouseClick(b, Qt::LeftButton);
    EXPECT_EQ(w->Trace(), QStringList({"click:opt_b", "selectchanged:opt_b"}))
        << "nothing for the option that lost the selection";
    EXPECT_TRUE(b->IsSelected());
    EXPECT_FALSE(a->IsSelected());
    EXPECT_FALSE(a->isChecked());
    EXPECT_TRUE(other->IsSelected()) << "another group is untouched";

    w->notes.clear();
    QTest::mouseClick(b, Qt::LeftButton);
    EXPECT_EQ(w->Trace(), QStringList({"click:opt_b"})) << "the selected one stays selected";
    EXPECT_TRUE(b->IsSelected());

    w->notes.clear();
    QTest::mouseClick(c, Qt::LeftButton);  // group names ignore case
    EXPECT_FALSE(b->IsSelected());
    EXPECT_TRUE(c->IsSelected());

    // Without a group an option toggles both ways.
    w->notes.clear();
    auto* solo = w->Find<COptionUI>("solo");
    QTest::mouseClick(solo, Qt::LeftButton);
    QTest::mouseClick(solo, Qt::LeftButton);
    EXPECT_EQ(w->Trace(), QStringList({"click:solo", "selectchanged:solo", "click:solo",
                                       "selectchanged:solo"}));
    EXPECT_FALSE(solo->IsSelected());
}

TEST_F(NotifyTest, OptionSetterIsSilentUnlessAskedAndKeepsTheGroupExclusive) {
    auto* a = w->Find<COptionUI>("opt_a");
    auto* b = w->Find<COptionUI>("opt_b");
    b->Selected(true, false);
    EXPECT_TRUE(w->notes.empty());
    EXPECT_TRUE(b->IsSelected());
    EXPECT_FALSE(a->IsSelected());
    a->Selected(true);
    EXPECT_EQ(w->Trace(), QStringList({"selectchanged:opt_a"}));
    EXPECT_FALSE(b->IsSelected());
    a->Selected(true);
    EXPECT_EQ(w->notes.size(), 1u) << "no change, no notification";
    a->Selected(false, false);
    EXPECT_FALSE(a->isChecked()) << "a grouped option can be cleared from code";
}

TEST_F(NotifyTest, CheckBoxClickSendsClickThenSelectChanged) {
    auto* check = w->Find<CCheckBoxUI>("check");
    QStyleOptionButton option;
    option.initFrom(check);
    const QPoint box =
        check->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, check).center();
    QTest::mouseClick(check, Qt::LeftButton, {}, box);
    EXPECT_EQ(w->Trace(), QStringList({"click:check", "selectchanged:check"}));
    EXPECT_TRUE(check->IsSelected());
    w->notes.clear();
    check->Selected(false, false);
    EXPECT_TRUE(w->notes.empty());
    check->Selected(true);
    EXPECT_EQ(w->Trace(), QStringList({"selectchanged:check"}));
}

TEST_F(NotifyTest, ComboUserChoiceReportsNewAndOldIndexSetterIsSilent) {
    auto* combo = w->Find<CComboUI>("combo");
    ASSERT_EQ(combo->GetCurSel(), 0);
    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_Down);
    ASSERT_EQ(w->notes.size(), 1u);
    EXPECT_EQ(w->notes[0].type, "itemselect");
    EXPECT_EQ(w->notes[0].wParam, 1);
    EXPECT_EQ(w->notes[0].lParam, 0);

    w->notes.clear();
    EXPECT_TRUE(combo->SelectItem(2, false, false));
    EXPECT_TRUE(w->notes.empty());
    QTest::keyClick(combo, Qt::Key_Down);
    ASSERT_EQ(w->notes.size(), 1u);
    EXPECT_EQ(w->notes[0].wParam, 3);
    EXPECT_EQ(w->notes[0].lParam, 2) << "the old index includes silent changes";

    w->notes.clear();
    QTest::keyClick(combo, Qt::Key_Down);
    EXPECT_TRUE(w->notes.empty()) << "already on the last item: no change";
    EXPECT_FALSE(combo->SelectItem(9));
    EXPECT_EQ(combo->GetCurSel(), 3);
    combo->RemoveAll();
    combo->AddItem("x");
    EXPECT_TRUE(w->notes.empty()) << "item changes from code are silent";
    EXPECT_TRUE(combo->SelectItem(-1, false, true));
    EXPECT_EQ(w->notes.back().wParam, -1);
    EXPECT_EQ(w->notes.back().lParam, 0);
}

TEST_F(NotifyTest, SliderDragMovesThenReleaseSettlesAndSetterIsSilent) {
    auto* slider = w->Find<CSliderUI>("slider");
    QStyleOptionSlider option;
    option.initFrom(slider);
    option.orientation = slider->orientation();
    option.minimum = slider->minimum();
    option.maximum = slider->maximum();
    option.sliderPosition = slider->value();
    option.sliderValue = slider->value();
    const QPoint handle =
        slider->style()
            ->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, slider)
            .center();
    QTest::mousePress(slider, Qt::LeftButton, {}, handle);
    QTest::mouseMove(slider, handle + QPoint(20, 0));
    QTest::mouseMove(slider, handle + QPoint(40, 0));
    QTest::mouseRelease(slider, Qt::LeftButton, {}, handle + QPoint(40, 0));
    const QStringList types = w->Types();
    ASSERT_GE(types.size(), 2);
    EXPECT_EQ(types.last(), "valuechanged");
    EXPECT_EQ(types.count("valuechanged"), 1) << types.join(',').toStdString();
    for (int i = 0; i + 1 < types.size(); ++i) {
        EXPECT_EQ(types[i], "movevaluechanged");
    }
    EXPECT_GT(slider->GetValue(), 50);
    EXPECT_EQ(w->notes.back().wParam, slider->GetValue());

    w->notes.clear();
    slider->setFocus();
    QTest::keyClick(slider, Qt::Key_Right);
    EXPECT_EQ(w->Types(), QStringList({"valuechanged"}));

    w->notes.clear();
    slider->SetValue(10);
    slider->SetMaxValue(5);  // clamps the value
    slider->SetMinValue(0);
    EXPECT_TRUE(w->notes.empty());
    EXPECT_EQ(slider->GetValue(), 5);
}

// A short range such as a brightness of 0..4: a click on the track goes to the clicked value
// (not to an end), a press on the track drags from there, and each ends in one "valuechanged".
TEST_F(NotifyTest, SliderTrackClickGoesToTheClickedValueAndShowsIt) {
    auto* slider = w->Find<CSliderUI>("short");
    const QRect track = slider->GetTrackRect();
    EXPECT_LT(track.right(), slider->width() - slider->fontMetrics().horizontalAdvance("4"))
        << "the number has its own room right of the track";
    auto at = [&](double fraction) {
        return QPoint(track.left() + static_cast<int>(fraction * (track.width() - 1)),
                      track.center().y());
    };
    const std::pair<double, int> clicks[] = {{0.75, 3}, {0.25, 1}, {1.0, 4}, {0.5, 2}, {0.0, 0}};
    for (const auto& [fraction, expected] : clicks) {
        w->notes.clear();
        QTest::mouseClick(slider, Qt::LeftButton, {}, at(fraction));
        EXPECT_EQ(slider->GetValue(), expected) << fraction;
        EXPECT_EQ(w->Types(), QStringList({"movevaluechanged", "valuechanged"})) << fraction;
        EXPECT_EQ(w->notes.back().wParam, expected);
        EXPECT_EQ(slider->GetValueText(), QString::number(expected));
    }

    w->notes.clear();
    QTest::mousePress(slider, Qt::LeftButton, {}, at(0.25));
    QTest::mouseMove(slider, at(0.5));
    QTest::mouseMove(slider, at(1.0));
    QTest::mouseRelease(slider, Qt::LeftButton, {}, at(1.0));
    EXPECT_EQ(slider->GetValue(), 4);
    EXPECT_EQ(w->Types(), QStringList({"movevaluechanged", "movevaluechanged", "movevaluechanged",
                                       "valuechanged"}));

    slider->SetValue(0);
    slider->setFocus();
    QTest::keyClick(slider, Qt::Key_PageUp);
    EXPECT_EQ(slider->GetValue(), 1) << "a page of a short range is one step";
}

// A vertical track has its maximum at the top and its number underneath.
TEST_F(NotifyTest, VerticalSliderClickGoesToTheClickedValue) {
    auto v = Show(R"(<Window size="100,300"><VerticalLayout>
        <Slider name="band" vertical="true" min="-20" max="20" value="0" height="240"/>
        </VerticalLayout></Window>)");
    ASSERT_TRUE(QTest::qWaitForWindowExposed(v.get()));
    auto* slider = v->Find<CSliderUI>("band");
    const QRect track = slider->GetTrackRect();
    EXPECT_LT(track.bottom(), slider->height() - slider->fontMetrics().height());
    const std::pair<double, int> clicks[] = {{0.0, 20}, {1.0, -20}, {0.5, 0}};
    for (const auto& [fraction, expected] : clicks) {
        v->notes.clear();
        const QPoint at(track.center().x(),
                        track.top() + static_cast<int>(fraction * (track.height() - 1)));
        QTest::mouseClick(slider, Qt::LeftButton, {}, at);
        EXPECT_EQ(slider->GetValue(), expected) << fraction;
        ASSERT_FALSE(v->notes.empty());
        EXPECT_EQ(v->notes.back().type, "valuechanged");
    }
}

TEST_F(NotifyTest, EditsReportTypingReturnAndFocusButNotTheirSetters) {
    w->ignored.clear();
    w->ignored << "windowsize"
               << "msenter"
               << "msleave";
    QApplication::setActiveWindow(w.get());
    auto* edit = w->Find<CEditUI>("edit");
    edit->SetFocus();
    QTest::keyClicks(edit, "12");
    QTest::keyClick(edit, Qt::Key_Return);
    w->Find<CRichEditUI>("rich")->SetFocus();
    // Whichever control had the focus before says "killfocus" first.
    if (!w->notes.empty() && w->notes.front().sender != "edit") {
        w->notes.erase(w->notes.begin());
    }
    EXPECT_EQ(w->Trace(), QStringList({"setfocus:edit", "textchanged:edit", "textchanged:edit",
                                       "return:edit", "killfocus:edit", "setfocus:rich"}));
    EXPECT_EQ(edit->GetText(), "12");

    w->notes.clear();
    edit->SetText("800");
    w->Find<CRichEditUI>("rich")->SetText("line");
    EXPECT_TRUE(w->notes.empty());
    QTest::keyClicks(w->Find<CRichEditUI>("rich"), "x");
    EXPECT_EQ(w->Trace(), QStringList({"textchanged:rich"}));
}

TEST_F(NotifyTest, ListPressSelectsReleaseClicksAndDoubleClickActivates) {
    auto* list = w->Find<CListUI>("list");
    QWidget* row1 = Widget("row1");
    QTest::mouseClick(row1, Qt::LeftButton);
    ASSERT_EQ(w->Trace(), QStringList({"itemselect:list", "itemclick:row1"}));
    EXPECT_EQ(w->notes[0].wParam, 1);
    EXPECT_EQ(w->notes[0].lParam, -1);
    EXPECT_TRUE(dynamic_cast<IListItemUI*>(w->FindControl("row1"))->IsSelected());

    w->notes.clear();
    EXPECT_TRUE(list->SelectItem(0, false, false));
    EXPECT_TRUE(w->notes.empty());
    QTest::keyClick(list, Qt::Key_Down);
    ASSERT_EQ(w->notes.size(), 1u);
    EXPECT_EQ(w->notes[0].wParam, 1);
    EXPECT_EQ(w->notes[0].lParam, 0);

    w->notes.clear();
    QTest::mouseClick(Widget("row2"), Qt::LeftButton);
    QTest::mouseDClick(Widget("row2"), Qt::LeftButton);
    QTest::mouseRelease(Widget("row2"), Qt::LeftButton);
    EXPECT_EQ(w->Trace(), QStringList({"itemselect:list", "itemclick:row2", "itemactivate:row2",
                                       "itemclick:row2"}));

    // Removing rows keeps the selection on the same element or clears it.
    ASSERT_EQ(list->GetCurSel(), 2);
    list->RemoveAt(0);
    EXPECT_EQ(list->GetCurSel(), 1);
    list->Remove(w->FindControl("row2"));
    EXPECT_EQ(list->GetCurSel(), -1);
    EXPECT_EQ(list->GetCount(), 1);
}

TEST_F(NotifyTest, HoverNotifiesForButtonsOnly) {
    w->ignored.clear();
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(Widget("btn"), &enter);
    QApplication::sendEvent(Widget("btn"), &leave);
    QApplication::sendEvent(Widget("p0"), &enter);
    EXPECT_EQ(w->Trace(), QStringList({"msenter:btn", "msleave:btn"}));
}

TEST_F(NotifyTest, TabLayoutSelectionIsSilent) {
    auto* tabs = w->Find<CTabLayoutUI>("tabs");
    EXPECT_EQ(tabs->GetCurSel(), 1) << "selectedid read before the pages existed";
    EXPECT_TRUE(tabs->SelectItem(w->FindControl("p0")));
    EXPECT_EQ(tabs->GetCurSel(), 0);
    EXPECT_FALSE(tabs->SelectItem(5));
    EXPECT_TRUE(w->notes.empty());
}

// Extra notifiers come after the window, in order; dispatch stops for a sender that was
// destroyed by a handler.
class Listener : public INotifyUI {
public:
    explicit Listener(QStringList& log, QString tag) : log_(log), tag_(std::move(tag)) {}
    std::function<void(const TNotifyUI&)> then;
    void Notify(const TNotifyUI& msg) override {
        log_ << tag_ + u':' + msg.sType;
        if (then) {
            then(msg);
        }
    }

private:
    QStringList& log_;
    QString tag_;
};

TEST_F(NotifyTest, ExtraNotifiersFollowTheWindowAndSurviveChangesDuringDispatch) {
    QStringList log;
    Listener first(log, "first");
    Listener second(log, "second");
    CPaintManagerUI& pm = w->GetPaintManager();
    pm.AddNotifier(&first);
    pm.AddNotifier(&second);
    pm.AddNotifier(&first);  // once only
    first.then = [&](const TNotifyUI&) { pm.RemoveNotifier(&second); };
    QTest::mouseClick(Widget("btn"), Qt::LeftButton);
    EXPECT_EQ(log, QStringList({"first:click"}));
    EXPECT_EQ(w->Types(), QStringList({"click"})) << "the window itself came first";

    log.clear();
    pm.AddNotifier(&second);
    first.then = [&](const TNotifyUI& msg) { delete msg.pSender->GetWidget(); };
    w->Find<CButtonUI>("btn")->click();
    EXPECT_EQ(log, QStringList({"first:click"})) << "no one hears from a destroyed sender";
    EXPECT_EQ(w->FindControl("btn"), nullptr);
    pm.RemoveNotifier(&first);
    pm.RemoveNotifier(&second);
}

class TimerTest : public NotifyTest {
protected:
    int Count(const char* sender, int id) const {
        int n = 0;
        for (const Recorded& r : w->notes) {
            n += r.type == "timer" && r.sender == sender && r.wParam == id ? 1 : 0;
        }
        return n;
    }
    // "sender/id" of every timer notification so far.
    QStringList Fired() const {
        QStringList fired;
        for (const Recorded& r : w->notes) {
            if (r.type == "timer")
                fired << r.sender + "/" + QString::number(r.wParam);
        }
        return fired;
    }
};

TEST_F(TimerTest, TimersRepeatWithTheirIdsUntilKilled) {
    CControlUI* btn = w->FindControl("btn");
    CControlUI* label = w->FindControl("p1");
    ASSERT_TRUE(CPaintManagerUI::SetTimer(btn, 1000, 5));
    ASSERT_TRUE(CPaintManagerUI::SetTimer(btn, 1005, 5));
    ASSERT_TRUE(CPaintManagerUI::SetTimer(label, 1000, 5));
    ASSERT_TRUE(WaitUntil([&] {
        return Count("btn", 1000) >= 3 && Count("btn", 1005) >= 3 && Count("p1", 1000) >= 3;
    }));

    EXPECT_TRUE(CPaintManagerUI::KillTimer(btn, 1000));
    EXPECT_FALSE(CPaintManagerUI::KillTimer(btn, 1000));
    const int killed = Count("btn", 1000);
    const int alive = Count("btn", 1005);
    ASSERT_TRUE(WaitUntil([&] { return Count("btn", 1005) >= alive + 3; }));
    EXPECT_EQ(Count("btn", 1000), killed) << "the other id keeps running";

    CPaintManagerUI::KillTimer(btn);
    CPaintManagerUI::KillTimer(label);
    const size_t total = w->notes.size();
    ProcessFor(40);
    EXPECT_EQ(w->notes.size(), total);
}

TEST_F(TimerTest, SettingAnIdAgainRestartsItAndAHandlerMayKillItsOwnTimer) {
    CControlUI* btn = w->FindControl("btn");
    CPaintManagerUI::SetTimer(btn, 1, 5);
    ASSERT_TRUE(WaitUntil([&] { return Count("btn", 1) >= 1; }));
    CPaintManagerUI::SetTimer(btn, 1, 60000);
    const int before = Count("btn", 1);
    ProcessFor(40);
    EXPECT_EQ(Count("btn", 1), before) << "restarted with the long interval";

    // One-shot use, the way the window's timers work: kill first, then act.
    class Once : public INotifyUI {
    public:
        int fired = 0;
        void Notify(const TNotifyUI& msg) override {
            if (msg.sType == "timer" && msg.wParam == 2) {
                CPaintManagerUI::KillTimer(msg.pSender, 2);
                ++fired;
            }
        }
    } once;
    w->GetPaintManager().AddNotifier(&once);
    CPaintManagerUI::SetTimer(btn, 2, 1);
    ASSERT_TRUE(WaitUntil([&] { return once.fired >= 1; }));
    ProcessFor(30);
    EXPECT_EQ(once.fired, 1);
    w->GetPaintManager().RemoveNotifier(&once);
}

TEST_F(TimerTest, TimersEndWithTheirControlAndCustomControlsMayHandleThemSelves) {
    auto* row = dynamic_cast<IContainerUI*>(w->FindControl("opts"));
    CControlUI* doomed = w->FindControl("solo");
    CPaintManagerUI::SetTimer(doomed, 9, 2);
    ASSERT_TRUE(WaitUntil([&] { return Count("solo", 9) >= 1; }));
    row->Remove(doomed);
    const int seen = Count("solo", 9);
    ProcessFor(40);
    EXPECT_EQ(Count("solo", 9), seen);
    EXPECT_EQ(w->FindControl("solo"), nullptr);

    class CTicker : public CLabelUI {
    public:
        std::vector<int> ticks;
        void OnTimer(int id) override { ticks.push_back(id); }
    };
    auto* ticker = new CTicker;
    ticker->SetName("ticker");
    row->Add(ticker);
    CPaintManagerUI::SetTimer(ticker, 4, 2);
    ASSERT_TRUE(WaitUntil([&] { return ticker->ticks.size() >= 2; }));
    EXPECT_EQ(ticker->ticks.front(), 4);
    EXPECT_EQ(Count("ticker", 4), 0) << "the override took the timer";
    delete ticker;  // with a running timer
    ProcessFor(20);
}

TEST_F(TimerTest, ManualTimersFireInDueOrderOnlyWhenTimeMovesAndRestartAsSet) {
    CManualTimerSource time;
    CControlUI* btn = w->FindControl("btn");
    CControlUI* label = w->FindControl("p1");
    ASSERT_TRUE(CPaintManagerUI::SetTimer(btn, 1, 30));
    ASSERT_TRUE(CPaintManagerUI::SetTimer(label, 2, 20));
    ProcessFor(60);
    EXPECT_TRUE(Fired().isEmpty()) << "real time moves nothing";
    time.Advance(19);
    EXPECT_TRUE(Fired().isEmpty());
    time.Advance(31);
    EXPECT_EQ(Fired(), QStringList({"p1/2", "btn/1", "p1/2"})) << "at 20, 30 and 40 ms";

    // The same id again starts its interval over; a killed timer can be set again.
    time.Advance(5);
    CPaintManagerUI::SetTimer(btn, 1, 30);
    EXPECT_EQ(time.DueIn(btn, 1), 30);
    EXPECT_TRUE(CPaintManagerUI::KillTimer(label, 2));
    EXPECT_FALSE(CPaintManagerUI::KillTimer(label, 2));
    EXPECT_FALSE(time.IsActive(label, 2));
    w->notes.clear();
    time.Advance(29);
    EXPECT_TRUE(Fired().isEmpty());
    CPaintManagerUI::SetTimer(label, 2, 1);
    time.Advance(1);
    EXPECT_EQ(Fired(), QStringList({"btn/1", "p1/2"}));
}

TEST_F(TimerTest, ManualTimersStartedByAHandlerFireInTheSameAdvanceAndEndWithTheirControl) {
    CManualTimerSource time;
    CControlUI* btn = w->FindControl("btn");
    // The window's way: kill first, then act; here the act starts the next timer.
    class Chain : public INotifyUI {
    public:
        void Notify(const TNotifyUI& msg) override {
            if (msg.sType == "timer" && msg.wParam == 2) {
                CPaintManagerUI::KillTimer(msg.pSender, 2);
                CPaintManagerUI::SetTimer(msg.pSender, 3, 5);
            }
        }
    } chain;
    w->GetPaintManager().AddNotifier(&chain);
    CPaintManagerUI::SetTimer(btn, 2, 20);
    CPaintManagerUI::SetTimer(btn, 1, 26);
    time.Advance(29);
    EXPECT_EQ(Fired(), QStringList({"btn/2", "btn/3", "btn/1"})) << "at 20, 25 and 26 ms";
    EXPECT_EQ(time.Now(), 29);
    w->GetPaintManager().RemoveNotifier(&chain);

    auto* row = dynamic_cast<IContainerUI*>(w->FindControl("opts"));
    CControlUI* doomed = w->FindControl("solo");
    CPaintManagerUI::SetTimer(doomed, 9, 2);
    row->Remove(doomed);
    class CTicker : public CLabelUI {
    public:
        void OnTimer(int) override { ADD_FAILURE() << "a destroyed control's timer fired"; }
    };
    auto* ticker = new CTicker;
    row->Add(ticker);
    CPaintManagerUI::SetTimer(ticker, 4, 2);
    delete ticker;  // with a running timer
    w->notes.clear();
    time.Advance(10);
    EXPECT_EQ(Count("solo", 9), 0);
}

}  // namespace
}  // namespace morva::ui::test
