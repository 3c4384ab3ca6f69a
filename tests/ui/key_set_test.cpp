// The key assignment panel built from its shipped layout: codes shown on the controls and
// read back from them, key capture, and the keyboard's smaller category list.
#include "device/device_tables.h"
#include "device/key_codes.h"
#include "device/models/mouse_key_names.h"
#include "toolkit_test_support.h"
#include "ui/language/language_manager.h"
#include "ui/panels/key_set_control.h"
#include "ui/panels/register_panels.h"
#include "ui/toolkit/controls.h"

namespace morva::ui::test {
namespace {

class KeySetTest : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterPanelControls();
        CResourceManager::Instance().SetResourcePath(QStringLiteral(MORVA_RES_DIR "/skin"));
        CDialogBuilder builder;
        panel_.reset(dynamic_cast<CKeySetControlUI*>(
            builder.Create(QStringLiteral("XML/CustomControlXML/KeySetControl.xml"))));
        ASSERT_NE(panel_, nullptr);
        panel_->FillMacroList({"a", "b", "c"});
        KeyListEntry entry;
        entry.defaultAssignment.code = {0x10, 0x01, 0x00};
        entry.assignment.code = entry.defaultAssignment.code;
        panel_->SetKeyEntryParts(entry);
    }
    void TearDown() override { CResourceManager::Instance().SetResourcePath({}); }

    template <typename T = CControlUI>
    T* Find(const char* name) const {
        return dynamic_cast<T*>(
            CPaintManagerUI::FindSubControlByName(panel_.get(), QString::fromLatin1(name)));
    }
    // Shows a code, then reads it back from the controls as "apply" does.
    KeyCode ShowAndRead(KeyCode code) {
        KeyListEntry entry = panel_->KeyEntry();
        entry.assignment.code = code;
        panel_->SetKeyEntryParts(entry);
        return panel_->ReadKeyEntry(false).assignment.code;
    }

    std::unique_ptr<CKeySetControlUI> panel_;
};

TEST_F(KeySetTest, CodesShowOnTheirPageAndComeBackUnchanged) {
    for (const KeyCode code :
         {KeyCode{0x10, 0x04, 0}, KeyCode{0x13, 3, 0}, KeyCode{0x30, 0xCD, 0},
          KeyCode{0x40, 0x02, 0}, KeyCode{0x11, 0x32, 0x85}, KeyCode{0x12, 0x0F, 0xFD},
          KeyCode{0x14, 120, 9}, KeyCode{0x20, 0x02, 0x04}, KeyCode{0x70, 2, 1},
          KeyCode{0x71, 1, 6}, KeyCode{0x72, 3, 0}}) {
        EXPECT_EQ(ShowAndRead(code), code) << int(code.type) << " " << int(code.value1);
    }
    ShowAndRead({0x11, 0x32, 0x85});
    EXPECT_EQ(panel_->CurrentCategory(), kCategoryRepeat);
    EXPECT_EQ(Find("keyset_mouseswing_delay_edit")->GetText(), "3");
    EXPECT_EQ(Find("keyset_mouseswing_speed_edit")->GetText(), "2");
    EXPECT_EQ(Find("keyset_mouseswing_num_edit")->GetText(), "5");
    EXPECT_EQ(Find<CTabLayoutUI>("function_switch_tablayout")->GetCurSel(), kCategoryRepeat);

    ShowAndRead({0x71, 1, 6});
    EXPECT_TRUE(Find("keyset_macro_cycle_layout")->IsVisible());
    ShowAndRead({0x70, 5, 0});
    EXPECT_EQ(Find<CComboUI>("keyset_macro_combo")->GetCurSel(), -1) << "three macros: none";
}

TEST_F(KeySetTest, EditsAreReadAsTheDeviceStoresThem) {
    ShowAndRead({0x11, 0, 0});
    Find("keyset_mouseswing_delay_edit")->SetText(QStringLiteral("x"));
    Find("keyset_mouseswing_speed_edit")->SetText(QStringLiteral("20"));
    Find("keyset_mouseswing_num_edit")->SetText(QStringLiteral("200"));
    EXPECT_EQ(panel_->ReadKeyEntry(false).assignment.code, (KeyCode{0x11, 0x0F, 0x7F}))
        << "non-numbers are 0; delay and speed are held at 15, the count at 127";
    EXPECT_EQ(Find("keyset_mouseswing_speed_edit")->GetText(), "15") << "the edits say so";
    EXPECT_EQ(Find("keyset_mouseswing_num_edit")->GetText(), "127");

    ShowAndRead({0x14, 1, 1});
    Find("keyset_mousefire_num_edit")->SetText(QStringLiteral("300"));
    EXPECT_EQ(panel_->ReadKeyEntry(false).assignment.code, (KeyCode{0x14, 1, 255}));
    EXPECT_EQ(Find("keyset_mousefire_num_edit")->GetText(), "255");
}

TEST_F(KeySetTest, CapturedKeysBuildTheKeyboardCode) {
    panel_->ShowCategory(kCategoryKeyboard);
    panel_->SetComboModifier(-1);
    panel_->SetKeyboardText(QString());
    const int shift = FindKeyNameRow({0x20, kModLeftShift, 0});
    const int a = FindKeyNameRow({0x20, 0, 0x04});
    ASSERT_GE(shift, 0);
    ASSERT_GE(a, 0);
    panel_->CaptureKeyRow(shift, false);
    EXPECT_EQ(panel_->GetComboModifier(), 2);
    EXPECT_TRUE(Find("keyset_keyboard_text_edit")->GetText().isEmpty());
    panel_->CaptureKeyRow(a, false);
    EXPECT_EQ(panel_->ReadKeyEntry(false).assignment.code, (KeyCode{0x20, 0x02, 0x04}));
    EXPECT_FALSE(Find("keyset_keyboard_text_edit")->GetText().isEmpty());
}

TEST_F(KeySetTest, DefaultAndCancelAndTheKeyboardsCategories) {
    ShowAndRead({0x30, 0xCD, 0});
    panel_->ShowDefault();
    EXPECT_EQ(panel_->CurrentCategory(), kCategoryDefault);
    EXPECT_EQ(panel_->ReadKeyEntry(false).assignment.code, (KeyCode{0x10, 0x01, 0x00}));
    panel_->ShowAssignment();
    EXPECT_EQ(panel_->CurrentCategory(), kCategoryDefault) << "the assignment is the default now";

    auto* functions = Find<CComboUI>("keyset_function_combo");
    const int all = functions->GetCount();
    panel_->SetPanelDeviceType(kDeviceTypeKeyboard);
    EXPECT_EQ(functions->GetCount(), all - 2);
    for (int i = 0; i < functions->GetCount(); ++i) {
        const int category = functions->GetItemUserData(i).toInt();
        EXPECT_NE(category, kCategoryDpi);
        EXPECT_NE(category, kCategoryGunKey);
    }
}

// The key edit and the mouse page name keys by the key name table's language keys; every row
// must have a text in every language, not only the keys some layout happens to show.
TEST(KeyNames, EveryGeneratedNameHasATextInEveryLanguage) {
    for (const char* file : {"lan_en.xml", "lan_cn.xml"}) {
        CLanguageTable table;
        ASSERT_TRUE(table.Load(QStringLiteral(MORVA_RES_DIR "/skin/") + file)) << file;
        QStringList missing;
        auto check = [&](const std::string& key) {
            const QString k = QString::fromStdString(key);
            if (!table.Has(k) || table.Text(k).isEmpty())
                missing << k;
        };
        const auto rows = KeyNameTable();
        for (int row = 0; row < kKeyNameRowCount; ++row) {
            if (row != kReservedKeyNameRow)
                check(rows[static_cast<std::size_t>(row)].languageKey);
        }
        for (int button = 0; button < kMouseButtons; ++button)
            check(MouseButtonName(button).text);
        EXPECT_TRUE(missing.isEmpty()) << file << ": " << missing.join(", ").toStdString();
    }
}

}  // namespace
}  // namespace morva::ui::test
