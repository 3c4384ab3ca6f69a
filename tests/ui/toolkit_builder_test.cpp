// Layout files to control trees: tags, callback, sub-layouts, resource ids, lookup, layout
// placement, DPI and colour attributes.
#include <QImage>
#include <QSignalSpy>

#include "toolkit_test_support.h"
#include "ui/toolkit/containers.h"
#include "ui/toolkit/controls.h"
#include "ui/toolkit/list.h"

namespace morva::ui::test {
namespace {

using BuilderTest = ToolkitTest;

// A custom control as later code writes them: its own class name and one attribute.
class CKeyCellUI : public CButtonUI {
public:
    QString GetClass() const override { return QStringLiteral("DeviceKeyButton"); }
    void SetAttribute(const QString& name, const QString& value) override {
        if (name.compare(u"lightimage", Qt::CaseInsensitive) == 0) {
            lightImage = value;
        } else {
            CButtonUI::SetAttribute(name, value);
        }
    }
    void DoInit() override { ++inits; }
    QString lightImage;
    int inits = 0;
};

TEST_F(BuilderTest, EveryToolkitTagGivesItsWidgetClass) {
    auto w = Show(R"(<Window size="400,300"><VerticalLayout name="root">
        <Control name="c"/> <Container name="box"/> <horizontallayout name="row"/>
        <TabLayout name="tabs"/> <Label name="l"/> <Text name="t"/> <Button name="b"/>
        <Option name="o"/> <CheckBox name="cb"/> <Combo name="co"/> <Edit name="e"/>
        <RichEdit name="re"/> <Slider name="s"/> <Progress name="p"/> <List name="li"/>
    </VerticalLayout></Window>)");
    EXPECT_NE(w->Find<CVerticalLayoutUI>("root"), nullptr);
    EXPECT_NE(w->Find<CPlainControlUI>("c"), nullptr);
    EXPECT_NE(w->Find<CContainerUI>("box"), nullptr);
    EXPECT_NE(w->Find<CHorizontalLayoutUI>("row"), nullptr);
    EXPECT_NE(w->Find<QStackedWidget>("tabs"), nullptr);
    EXPECT_NE(w->Find<QLabel>("l"), nullptr);
    EXPECT_TRUE(w->Find<QLabel>("t")->wordWrap());
    EXPECT_NE(w->Find<QPushButton>("b"), nullptr);
    EXPECT_FALSE(w->Find<QPushButton>("b")->isCheckable());
    EXPECT_TRUE(w->Find<COptionUI>("o")->isCheckable());
    EXPECT_NE(w->Find<QCheckBox>("cb"), nullptr);
    EXPECT_NE(w->Find<QComboBox>("co"), nullptr);
    EXPECT_NE(w->Find<QLineEdit>("e"), nullptr);
    EXPECT_NE(w->Find<QTextEdit>("re"), nullptr);
    EXPECT_NE(w->Find<QSlider>("s"), nullptr);
    EXPECT_NE(w->Find<QProgressBar>("p"), nullptr);
    EXPECT_NE(w->Find<CListUI>("li"), nullptr);
    EXPECT_EQ(w->FindControl("o")->GetClass(), "OptionUI");
    EXPECT_TRUE(w->askedTags.isEmpty()) << "toolkit tags never reach the callback";
}

TEST_F(BuilderTest, UnknownTagsAskTheWindowAndYieldNothingWithoutAnAnswer) {
    auto w = std::make_unique<TestWindow>(Write("XML/test.xml", R"(<Window>
        <HorizontalLayout name="root">
          <DeviceKeyButton name="key_1" lightimage="glow.png" text="K"/>
          <Mystery name="lost"><Button name="inside_lost"/></Mystery>
          <Button name="after"/>
        </HorizontalLayout></Window>)"));
    w->factory = [](const QString& tag) -> CControlUI* {
        return tag.compare(u"devicekeybutton", Qt::CaseInsensitive) == 0 ? new CKeyCellUI : nullptr;
    };
    ASSERT_TRUE(w->Create());
    EXPECT_EQ(w->askedTags, QStringList({"DeviceKeyButton", "Mystery"}));
    auto* key = w->Find<CKeyCellUI>("key_1");
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->lightImage, "glow.png");
    EXPECT_EQ(key->GetText(), "K") << "unhandled attributes reach the base class";
    EXPECT_EQ(key->inits, 1) << "DoInit once the control is in the window";
    EXPECT_EQ(w->FindControl("lost"), nullptr);
    EXPECT_EQ(w->FindControl("inside_lost"), nullptr) << "children of a lost tag are skipped";
    auto* root = dynamic_cast<IContainerUI*>(w->GetRoot());
    ASSERT_NE(root, nullptr);
    ASSERT_EQ(root->GetCount(), 2);
    EXPECT_EQ(root->GetItemAt(1)->GetName(), "after");
}

TEST_F(BuilderTest, RegisteredClassesAndSubLayoutsAreBuiltInPlace) {
    Write("XML/CustomControlXML/DeviceProfile.xml", R"(<HorizontalLayout name="profile_root"
        height="20" bkcolor="#FF112233">
          <Button name="device_add_btn"/><Combo name="device_profile_combo"/>
        </HorizontalLayout>)");
    auto& factory = CControlFactory::Instance();
    factory.RegistSubLayout("DeviceProfileUI", "XML/CustomControlXML/DeviceProfile.xml");
    factory.RegistControl("CKeyCellUI", [] { return new CKeyCellUI; });
    auto w = Show(R"(<Window size="300,200"><VerticalLayout name="root">
        <DeviceProfileUI name="profile_panel" height="40"/>
        <ckeycellui name="cell"/>
        <DeviceProfileUI name="second_panel"/>
      </VerticalLayout></Window>)");
    factory.UnregistSubLayout("DeviceProfileUI");
    factory.UnregistControl("CKeyCellUI");

    CControlUI* panel = w->FindControl("profile_panel");
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->GetClass(), "HorizontalLayoutUI");
    EXPECT_EQ(panel->GetFixedHeight(), 40) << "the tag's attributes override the file's";
    EXPECT_EQ(panel->GetBkColor(), QColor(0x11, 0x22, 0x33)) << "the file's own stay";
    EXPECT_NE(w->Find<CKeyCellUI>("cell"), nullptr);
    // Each use builds its own copy; lookups below a panel stay inside it.
    CControlUI* second = w->FindControl("second_panel");
    ASSERT_NE(second, nullptr);
    CControlUI* firstAdd = CPaintManagerUI::FindSubControlByName(panel, "DEVICE_ADD_BTN");
    CControlUI* secondAdd = CPaintManagerUI::FindSubControlByName(second, "device_add_btn");
    ASSERT_NE(firstAdd, nullptr);
    ASSERT_NE(secondAdd, nullptr);
    EXPECT_NE(firstAdd, secondAdd);
    EXPECT_EQ(secondAdd->GetParent(), second);
    EXPECT_TRUE(w->askedTags.contains("DeviceProfileUI")) << "the window has the first say";
}

TEST_F(BuilderTest, ASubLayoutThatContainsItselfEndsWithAnError) {
    Write("XML/loop.xml", R"(<VerticalLayout name="again"><Loop/></VerticalLayout>)");
    CControlFactory::Instance().RegistSubLayout("Loop", "XML/loop.xml");
    CDialogBuilder builder;
    CControlUI* root =
        builder.CreateFromText(R"(<VerticalLayout name="top"><Loop/></VerticalLayout>)");
    CControlFactory::Instance().UnregistSubLayout("Loop");
    ASSERT_NE(root, nullptr);
    const std::unique_ptr<QWidget> owner(root->GetWidget());
    EXPECT_TRUE(builder.GetLastError().contains("too deep"))
        << builder.GetLastError().toStdString();
}

TEST_F(BuilderTest, SkinFilesAreResourceIdsOrFileNames) {
    Write("res.xml", R"(<Resource><File id="XML_MAIN" path="XML/main.xml"/></Resource>)");
    Write("XML/main.xml", R"(<Window size="320,200" caption="30" title="Main">
        <VerticalLayout name="root"><Button name="closebtn"/></VerticalLayout></Window>)");
    ASSERT_TRUE(CResourceManager::Instance().LoadResource());
    EXPECT_EQ(CResourceManager::Instance().GetPath("XML_MAIN"), Root() + "/XML/main.xml");

    TestWindow byId("XML_MAIN");
    EXPECT_TRUE(byId.Create());
    EXPECT_NE(byId.FindControl("closebtn"), nullptr);
    EXPECT_EQ(byId.size(), QSize(320, 200));
    EXPECT_EQ(byId.GetCaptionHeight(), 30);
    EXPECT_EQ(byId.windowTitle(), "Main");

    TestWindow byFile("XML/main.xml");
    EXPECT_TRUE(byFile.Create());
    EXPECT_NE(byFile.FindControl("closebtn"), nullptr);

    TestWindow missing("XML_NOT_THERE");
    EXPECT_FALSE(missing.Create());
    EXPECT_EQ(missing.initCount, 1) << "InitWindow runs even with an empty tree";
    EXPECT_EQ(missing.FindControl("closebtn"), nullptr);
    EXPECT_FALSE(missing.Create()) << "built once";
    EXPECT_EQ(missing.initCount, 1);
}

TEST_F(BuilderTest, LookupIgnoresCaseStaysBelowTheParentAndSkipsRemovedControls) {
    auto w = Show(R"(<Window size="300,300"><VerticalLayout name="root">
        <HorizontalLayout name="left"><Button name="DPI_slider_1"/><Label name="shared"/></HorizontalLayout>
        <HorizontalLayout name="right"><Label name="shared"/><Label name="right_only"/></HorizontalLayout>
      </VerticalLayout></Window>)");
    EXPECT_NE(w->FindControl("dpi_SLIDER_1"), nullptr);
    EXPECT_EQ(w->FindControl("dpi_slider_"), nullptr);
    EXPECT_EQ(w->FindControl(""), nullptr);
    CControlUI* left = w->FindControl("left");
    CControlUI* right = w->FindControl("right");
    EXPECT_EQ(w->FindControl("shared")->GetParent(), left) << "first in tree order";
    EXPECT_EQ(CPaintManagerUI::FindSubControlByName(right, "SHARED")->GetParent(), right);
    EXPECT_EQ(CPaintManagerUI::FindSubControlByName(left, "right_only"), nullptr);
    EXPECT_EQ(CPaintManagerUI::FindSubControlByName(left, "left"), nullptr) << "parent excluded";
    EXPECT_EQ(CPaintManagerUI::FindSubControlByName(nullptr, "left"), nullptr);

    auto* rightBox = dynamic_cast<IContainerUI*>(right);
    ASSERT_TRUE(rightBox->Remove(w->FindControl("right_only")));
    EXPECT_EQ(w->FindControl("right_only"), nullptr) << "gone before it is deleted";
    EXPECT_EQ(rightBox->GetCount(), 1);
}

TEST_F(BuilderTest, TextsUserDataToolTipsAndStateAttributes) {
    auto w = Show(R"(<Window size="300,200"><VerticalLayout name="root">
        <Button name="b" text="Apply" tooltip="Write to the device" userdata="stage:3"
                visible="false" enabled="false"/>
        <Label name="l" text="plain" align="right" valign="bottom"/>
      </VerticalLayout></Window>)");
    CControlUI* b = w->FindControl("b");
    EXPECT_EQ(b->GetText(), "Apply");
    EXPECT_EQ(b->GetToolTip(), "Write to the device");
    EXPECT_EQ(b->GetUserData(), "stage:3");
    EXPECT_FALSE(b->IsVisible());
    EXPECT_FALSE(b->GetWidget()->isVisible());
    EXPECT_FALSE(b->IsEnabled());
    b->SetVisible(true);
    b->SetEnabled(true);
    EXPECT_TRUE(b->GetWidget()->isVisible());
    EXPECT_TRUE(b->IsEnabled());
    EXPECT_EQ(w->Find<QLabel>("l")->alignment(), Qt::AlignRight | Qt::AlignBottom);
}

TEST_F(BuilderTest, ComboAndListItemsComeFromTheLayout) {
    auto w = Show(R"(<Window size="300,300"><VerticalLayout name="root">
        <Combo name="co">
          <ListLabelElement text="Profile 1" userdata="id1"/>
          <ListLabelElement text="Profile 2" userdata="id2" selected="true"/>
        </Combo>
        <List name="li" itemheight="20">
          <ListLabelElement name="row0" text="first"/>
          <ListContainerElement name="row1" height="30" selected="true">
            <Label name="row1_text" text="second"/><Button name="row1_btn" width="20"/>
          </ListContainerElement>
        </List>
      </VerticalLayout></Window>)");
    auto* combo = w->Find<CComboUI>("co");
    ASSERT_EQ(combo->GetCount(), 2);
    EXPECT_EQ(combo->GetItemText(1), "Profile 2");
    EXPECT_EQ(combo->GetItemUserData(0), "id1");
    EXPECT_EQ(combo->GetCurSel(), 1);

    auto* list = w->Find<CListUI>("li");
    ASSERT_EQ(list->GetCount(), 2);
    EXPECT_EQ(list->GetCurSel(), 1) << "`selected` applies once the element is in the list";
    auto* row1 = dynamic_cast<CListContainerElementUI*>(list->GetItemAt(1));
    ASSERT_NE(row1, nullptr);
    EXPECT_EQ(row1->GetOwner(), list);
    EXPECT_TRUE(row1->IsSelected());
    EXPECT_EQ(row1->GetIndex(), 1);
    EXPECT_EQ(CPaintManagerUI::FindSubControlByName(list, "row1_btn")->GetParent(), row1);
    EXPECT_EQ(list->GetItemAt(0)->GetPos().height(), 20);
    EXPECT_EQ(row1->GetPos(), QRect(0, 20, list->viewport()->width(), 30));
}

TEST_F(BuilderTest, VerticalLayoutGivesFixedSizesAndSharesTheRest) {
    auto w = Show(
        R"(<Window size="200,300"><VerticalLayout name="root" inset="10,10,10,10" childpadding="5">
        <Button name="fixed" height="40" padding="2,3,4,5"/>
        <Label name="auto1"/>
        <Label name="hidden" height="50" visible="false"/>
        <Label name="auto2" width="60"/>
        <Control name="floating" float="true" pos="20,30,70,50"/>
      </VerticalLayout></Window>)");
    // Inner area 180 x 280; fixed child 40 + padding 3 + 5; one gap of 5 between each pair
    // of the three visible flow children; the rest split between the two automatic ones.
    EXPECT_EQ(w->FindControl("fixed")->GetPos(), QRect(12, 13, 174, 40));
    const int rest = 280 - (3 + 40 + 5) - 2 * 5;
    EXPECT_EQ(w->FindControl("auto1")->GetPos(), QRect(10, 13 + 40 + 5 + 5, 180, rest / 2));
    EXPECT_EQ(w->FindControl("auto2")->GetPos(), QRect(10, 63 + rest / 2 + 5, 60, rest - rest / 2));
    EXPECT_EQ(w->FindControl("floating")->GetPos(), QRect(20, 30, 50, 20));

    // Showing the hidden child takes its space from the automatic ones.
    w->FindControl("hidden")->SetVisible(true);
    const int rest2 = rest - 50 - 5;
    EXPECT_EQ(w->FindControl("auto1")->GetPos().height(), rest2 / 2);
    EXPECT_EQ(w->FindControl("hidden")->GetPos().top(), 63 + rest2 / 2 + 5);
}

TEST_F(BuilderTest, HorizontalLayoutAndStackContainer) {
    auto w = Show(R"(<Window size="300,100"><Container name="root">
        <HorizontalLayout name="row" childpadding="10">
          <Button name="a" width="50" height="20"/><Button name="b"/><Button name="c"/>
        </HorizontalLayout>
        <Label name="over" padding="5,5,5,5"/>
      </Container></Window>)");
    EXPECT_EQ(w->FindControl("row")->GetPos(), QRect(0, 0, 300, 100));
    EXPECT_EQ(w->FindControl("over")->GetPos(), QRect(5, 5, 290, 90));
    EXPECT_EQ(w->FindControl("a")->GetPos(), QRect(0, 0, 50, 20))
        << "fixed height keeps to the top";
    EXPECT_EQ(w->FindControl("b")->GetPos(), QRect(60, 0, 115, 100));
    EXPECT_EQ(w->FindControl("c")->GetPos(), QRect(185, 0, 115, 100));
    w->FindControl("a")->SetFixedWidth(70);
    EXPECT_EQ(w->FindControl("b")->GetPos().left(), 80);
}

TEST_F(BuilderTest, DpiScalesSizesPositionsAndFonts) {
    EXPECT_EQ(CPaintManagerUI::NormalizeDpi(100), 96);
    EXPECT_EQ(CPaintManagerUI::NormalizeDpi(192), 192);
    EXPECT_EQ(CPaintManagerUI::SetAllDPI(97), 96);
    const QString layout = R"(<Window size="400,200"><Font id="1" size="20" bold="true"/>
        <HorizontalLayout name="root" inset="10,0,0,0">
          <Button name="sized" width="100" height="40" font="1"/>
          <Label name="plain" float="true" pos="20,100,60,120"/>
        </HorizontalLayout></Window>)";

    ASSERT_EQ(CPaintManagerUI::SetAllDPI(144), 144);
    auto w = Show(layout);
    EXPECT_EQ(w->size(), QSize(600, 300));
    EXPECT_EQ(w->FindControl("sized")->GetPos(), QRect(15, 0, 150, 60));
    EXPECT_EQ(w->FindControl("plain")->GetPos(), QRect(30, 150, 60, 30));
    EXPECT_EQ(w->FindControl("sized")->GetWidget()->font().pixelSize(), 30);
    EXPECT_TRUE(w->FindControl("sized")->GetWidget()->font().bold());
    EXPECT_EQ(w->FindControl("plain")->GetWidget()->font().pixelSize(), 21)
        << "the default font (14) scales as well";

    // Existing windows follow a change.
    CPaintManagerUI::SetAllDPI(96);
    EXPECT_EQ(w->size(), QSize(400, 200));
    EXPECT_EQ(w->FindControl("sized")->GetPos(), QRect(10, 0, 100, 40));
    EXPECT_EQ(w->FindControl("sized")->GetWidget()->font().pixelSize(), 20);
    EXPECT_EQ(w->FindControl("plain")->GetPos(), QRect(20, 100, 40, 20));
}

TEST_F(BuilderTest, ColourAndImageAttributesPaintOverTheTheme) {
    QImage red(8, 8, QImage::Format_RGB32);
    red.fill(QColor(255, 0, 0));
    ASSERT_TRUE(red.save(dir.File("red.png").c_str()));
    auto w = Show(R"(<Window size="100,100"><VerticalLayout name="root">
        <Control name="swatch" bkcolor="#FF102030"/>
        <Control name="picture" bkimage="file='red.png' corner='1,1,1,1'"/>
        <Control name="missing" bkimage="nothing.png"/>
        <Control name="themed"/>
      </VerticalLayout></Window>)");
    auto pixel = [&](const char* name) {
        QWidget* widget = w->FindControl(name)->GetWidget();
        return w->grab().toImage().pixelColor(widget->geometry().center());
    };
    EXPECT_EQ(pixel("swatch"), QColor(0x10, 0x20, 0x30));
    EXPECT_EQ(pixel("picture"), QColor(255, 0, 0));
    EXPECT_EQ(pixel("missing"), QColor(0x15, 0x17, 0x1c)) << "window colour shows through";
    EXPECT_EQ(pixel("themed"), QColor(0x15, 0x17, 0x1c));
}

}  // namespace
}  // namespace morva::ui::test
