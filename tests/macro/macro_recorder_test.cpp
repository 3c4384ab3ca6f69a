#include "macro/macro_recorder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "macro/mouse_action_table.h"

namespace morva {
namespace {

using namespace std::chrono_literals;
using namespace mouse_message;

constexpr std::uint8_t kScanA = 0x1E;
constexpr std::uint8_t kScanB = 0x30;

MacroEvent Ev(bool down, int button, int type, int delay) {
    return {down, button, type, delay};
}
MacroEvent KeyA(bool down, int delay) {
    return Ev(down, 0x04, macro_type::kKey, delay);
}
MacroEvent KeyB(bool down, int delay) {
    return Ev(down, 0x05, macro_type::kKey, delay);
}

class MacroRecorderTest : public ::testing::Test {
protected:
    void Start(RecordMode mode, RecordPlace place = RecordPlace::kEnd, int constant = 50) {
        recorder_.Start(mode, place, constant);
    }
    void Tap(std::uint8_t scan, std::chrono::milliseconds held, std::chrono::milliseconds after) {
        (void)recorder_.RecordKey(list_, true, scan, false);
        clock_.Advance(held);
        (void)recorder_.RecordKey(list_, false, scan, false);
        clock_.Advance(after);
    }

    RecorderMemories memories_;
    CManualClock clock_;
    CMacroRecorder recorder_{memories_, clock_};
    CMacroActionList list_;
};

TEST_F(MacroRecorderTest, RealTimeGivesEachActionTheTimeToTheNext) {
    Start(RecordMode::kRealTime);
    clock_.Advance(300ms);
    Tap(kScanA, 100ms, 250ms);
    Tap(kScanB, 80ms, 0ms);
    EXPECT_EQ(list_.Events(), (std::vector<MacroEvent>{KeyA(true, 100), KeyA(false, 250),
                                                       KeyB(true, 80), KeyB(false, 0)}));
    EXPECT_EQ(list_.Selected(), 3);

    // A later recording into the same macro gives the old last row the time to its first action.
    recorder_.Stop();
    clock_.Advance(5s);
    Start(RecordMode::kRealTime);
    clock_.Advance(400ms);
    Tap(kScanA, 10ms, 0ms);
    EXPECT_EQ(list_.At(3).delay, 400);
}

TEST_F(MacroRecorderTest, HeldKeyRepeatsAreRecordedOnce) {
    Start(RecordMode::kNoDelay);
    for (int i = 0; i < 20; ++i)
        (void)recorder_.RecordKey(list_, true, kScanA, false);
    (void)recorder_.RecordKey(list_, false, kScanA, false);
    Tap(kScanA, 1ms, 1ms);  // pressing it again after the release counts
    EXPECT_EQ(list_.Events(), (std::vector<MacroEvent>{KeyA(true, 0), KeyA(false, 0), KeyA(true, 0),
                                                       KeyA(false, 0)}));
}

TEST_F(MacroRecorderTest, ConstantAndNoDelayModes) {
    EXPECT_EQ(ReadConstantDelay("70000"), 65535);
    EXPECT_EQ(ReadConstantDelay("12ab"), 12);
    EXPECT_EQ(ReadConstantDelay("x"), 0);

    Start(RecordMode::kConstant, RecordPlace::kEnd, ReadConstantDelay("70000"));
    (void)recorder_.RecordKey(list_, true, kScanA, false);
    EXPECT_EQ(list_.Events(), std::vector<MacroEvent>{KeyA(true, 0)});  // a lone row stays 0
    (void)recorder_.RecordKey(list_, false, kScanA, false);
    EXPECT_EQ(list_.Events(), (std::vector<MacroEvent>{KeyA(true, 65535), KeyA(false, 65535)}));

    list_.DeleteAll();
    Start(RecordMode::kNoDelay);
    Tap(kScanB, 500ms, 500ms);
    EXPECT_EQ(list_.Events(), (std::vector<MacroEvent>{KeyB(true, 0), KeyB(false, 0)}));
}

TEST_F(MacroRecorderTest, KeysAndButtonsMapToTheirActions) {
    Start(RecordMode::kNoDelay);
    struct Case {
        std::uint8_t scan;
        bool extended;
        MacroEvent expected;
    } const keys[] = {
        {0x1D, false, Ev(true, 1, macro_type::kModifierKey, 0)},  // left Ctrl
        {0x45, false, Ev(true, 0x48, macro_type::kKey, 0)},       // Pause
        {0x45, true, Ev(true, 0x53, macro_type::kKey, 0)},        // Num Lock
    };
    for (const Case& c : keys) {
        list_.DeleteAll();
        (void)recorder_.RecordKey(list_, true, c.scan, c.extended);
        ASSERT_EQ(list_.Count(), 1) << int(c.scan);
        EXPECT_EQ(list_.At(0), c.expected) << int(c.scan);
    }
    list_.DeleteAll();
    EXPECT_FALSE(recorder_.RecordKey(list_, true, 0x7F, true).recorded);  // not in the table

    (void)recorder_.RecordMouse(list_, kExtraDown, kExtraForward, false);
    (void)recorder_.RecordMouse(list_, kExtraUp, kExtraForward, false);
    (void)recorder_.RecordMouse(list_, kExtraDown, 3, false);  // no such extra button
    EXPECT_EQ(list_.Events(), (std::vector<MacroEvent>{Ev(true, 16, 1, 0), Ev(false, 16, 1, 0)}));

    // The click that ends recording is not recorded; a right click there is.
    list_.DeleteAll();
    (void)recorder_.RecordMouse(list_, kLeftDown, 0, true);
    (void)recorder_.RecordMouse(list_, kRightDown, 0, true);
    EXPECT_EQ(list_.Events(), std::vector<MacroEvent>{Ev(true, 2, 1, 0)});
}

TEST_F(MacroRecorderTest, BeforeAfterAndReplaceWorkOnTheSelectedRow) {
    const std::vector<MacroEvent> five = {KeyA(true, 1), KeyA(false, 2), KeyA(true, 3),
                                          KeyA(false, 4), KeyA(true, 5)};
    // Before row 2 with three events, after an earlier recording set the recorded flag.
    Start(RecordMode::kRealTime);
    Tap(kScanA, 0ms, 0ms);
    list_.Assign(five);
    list_.Select(2);
    Start(RecordMode::kRealTime, RecordPlace::kBefore);
    clock_.Advance(70ms);
    (void)recorder_.RecordKey(list_, true, kScanB, false);
    clock_.Advance(30ms);
    (void)recorder_.RecordKey(list_, false, kScanB, false);
    clock_.Advance(20ms);
    (void)recorder_.RecordKey(list_, true, kScanA, false);
    EXPECT_EQ(list_.Events(), (std::vector<MacroEvent>{
                                  KeyA(true, 1), KeyA(false, 70), KeyB(true, 30), KeyB(false, 20),
                                  KeyA(true, 0), KeyA(true, 3), KeyA(false, 4), KeyA(true, 5)}));
    EXPECT_EQ(list_.Selected(), 5);

    // After row 1: the new row follows it, gets selected, and row 1 gets the time to it.
    list_.Assign(five);
    list_.Select(1);
    Start(RecordMode::kRealTime, RecordPlace::kAfter);
    clock_.Advance(40ms);
    (void)recorder_.RecordKey(list_, true, kScanB, false);
    EXPECT_EQ(list_.At(1).delay, 40);
    EXPECT_EQ(list_.At(2), KeyB(true, 0));
    EXPECT_EQ(list_.Selected(), 2);

    // Replacing keeps direction and delay, press and release alike; no rows are added.
    list_.Assign(five);
    list_.Select(3);
    Start(RecordMode::kRealTime, RecordPlace::kReplace);
    Tap(kScanB, 10ms, 10ms);
    EXPECT_EQ(list_.Count(), 5);
    EXPECT_EQ(list_.At(3), KeyB(false, 4));

    // Nothing selected: nothing recorded.
    list_.Select(-1);
    Start(RecordMode::kRealTime, RecordPlace::kAfter);
    EXPECT_FALSE(recorder_.RecordKey(list_, true, kScanA, false).recorded);
}

TEST_F(MacroRecorderTest, StopsAtTheRowLimit) {
    list_.Assign(std::vector<MacroEvent>(CMacroStore::kMaxRecordedEvents - 1, KeyA(true, 0)));
    Start(RecordMode::kNoDelay);
    EXPECT_TRUE(recorder_.RecordKey(list_, true, kScanB, false).recorded);
    EXPECT_FALSE(recorder_.RecordKey(list_, false, kScanB, false).recorded);
    EXPECT_EQ(list_.Count(), CMacroStore::kMaxRecordedEvents);
    // Inserting by hand is not limited.
    EXPECT_EQ(list_.InsertMouseAction(MouseInsert::kLeftClick, 0, 50), 2);
}

TEST(MacroActionListTest, MovesRefuseAtTheEndsAndCarryTheAction) {
    CMacroActionList list;
    list.Assign({KeyA(true, 1), KeyA(false, 2), KeyB(true, 3), KeyB(false, 4), KeyA(true, 5)});
    list.Select(0);
    EXPECT_FALSE(list.MoveUp());
    EXPECT_FALSE(list.MoveToTop());
    list.Select(4);
    EXPECT_FALSE(list.MoveDown());
    list.Select(2);
    EXPECT_TRUE(list.MoveToBottom());
    EXPECT_EQ(list.At(4), KeyB(true, 3));
    EXPECT_EQ(list.Selected(), 4);
    EXPECT_TRUE(list.MoveToTop());
    EXPECT_EQ(list.At(0), KeyB(true, 3));
    EXPECT_EQ(list.At(1), KeyA(true, 1));
    EXPECT_TRUE(list.MoveDown());
    EXPECT_EQ(list.At(1), KeyB(true, 3));
    EXPECT_TRUE(list.DeleteSelected());
    EXPECT_EQ(list.Count(), 4);
    EXPECT_EQ(list.Selected(), -1);
    EXPECT_FALSE(list.MoveUp());
}

TEST(MacroActionListTest, InsertsMouseActionsAfterTheSelection) {
    CMacroActionList list;
    EXPECT_EQ(list.InsertMouseAction(MouseInsert::kMoveUp, 300, 50), 1);
    EXPECT_EQ(list.At(0), Ev(true, 300 & 0xFF, macro_type::kMoveVertical, 50));
    list.Assign({KeyA(true, 1), KeyA(false, 2), KeyB(true, 3), KeyB(false, 4), KeyA(true, 5)});
    list.Select(3);
    EXPECT_EQ(list.InsertMouseAction(MouseInsert::kLeftClick, 0, 50), 2);
    EXPECT_EQ(list.At(4), Ev(true, 1, 1, 50));
    EXPECT_EQ(list.At(5), Ev(false, 1, 1, 50));
    EXPECT_EQ(list.Selected(), 5);
    list.Select(-1);
    (void)list.InsertMouseAction(MouseInsert::kBackUp, 0, 7);
    EXPECT_EQ(list.At(1), Ev(false, 8, 1, 7));  // after row 0 without a selection
}

TEST(MacroActionListTest, LabelsComeFromTheKeyAndMouseTables) {
    struct Case {
        MacroEvent event;
        std::string_view key;
        MacroActionLabel::Kind kind;
    } const cases[] = {
        {KeyA(true, 0), "keyboard_key_A", MacroActionLabel::Kind::Keyboard},
        {Ev(true, 1, macro_type::kModifierKey, 0), "keyboard_key_LCtrl",
         MacroActionLabel::Kind::Keyboard},
        {Ev(false, 16, 1, 0), "mouse_key_forward", MacroActionLabel::Kind::Mouse},
        {Ev(true, 9, macro_type::kMoveHorizontal, 0), "mouse_move_to_left_text",
         MacroActionLabel::Kind::Mouse},
        {Ev(false, 9, macro_type::kMoveVertical, 0), "mouse_move_to_down_text",
         MacroActionLabel::Kind::Mouse},
        {Ev(true, 0xEE, macro_type::kKey, 0), "", MacroActionLabel::Kind::Keyboard},
        {Ev(true, 1, 42, 0), "", MacroActionLabel::Kind::None},
    };
    for (const Case& c : cases) {
        const MacroActionLabel label = LabelOfAction(c.event);
        EXPECT_EQ(label.nameKey, c.key) << c.event.type << "/" << c.event.button;
        EXPECT_EQ(label.kind, c.kind) << c.event.type << "/" << c.event.button;
    }
}

}  // namespace
}  // namespace morva
