// Device key cells and the rubber-band selection panel.
#include <QImage>
#include <QPainter>
#include <QTest>

#include "toolkit_test_support.h"
#include "ui/controls/device_key_button.h"
#include "ui/controls/register_controls.h"
#include "ui/controls/select_panel.h"
#include "ui/toolkit/theme.h"

namespace morva::ui::test {
namespace {

// How the device page packs a frame's colour bytes.
uint32_t Pack(uint8_t byte0, uint8_t byte1, uint8_t byte2) {
    return byte0 + byte2 * 256u + byte1 * 65536u;
}

// Same cell, another class name: the panel must leave it alone.
class OtherKey : public CDeviceKeyButtonUI {
public:
    QString GetClass() const override { return QStringLiteral("OtherKey"); }
};

class ControlsTest : public ToolkitTest {
protected:
    void SetUp() override {
        ToolkitTest::SetUp();
        // Twice: registering again must keep every tag working. The layout uses both names.
        RegisterDeviceControls();
        RegisterDeviceControls();
        w = std::make_unique<TestWindow>(Write("XML/test.xml", R"(<Window size="400,300">
          <VerticalLayout><CSelectPanelUI name="panel">
            <DeviceKeyButton name="k1" float="true" pos="10,10,40,40"/>
            <DeviceKeyButton name="k2" float="true" pos="50,10,80,40"/>
            <CDeviceKeyButtonUI name="k3" float="true" pos="10,60,40,90"/>
            <DeviceKeyButton name="k_off" float="true" pos="200,10,230,40" enabled="false"/>
            <OtherKey name="other" float="true" pos="90,10,120,40"/>
            <Container float="true" pos="130,10,180,60"><DeviceKeyButton name="nested"/></Container>
          </CSelectPanelUI></VerticalLayout></Window>)"));
        w->factory = [](const QString& tag) -> CControlUI* {
            return tag == u"OtherKey" ? new OtherKey : nullptr;
        };
        w->ShowWindow();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
        ASSERT_TRUE(WaitUntil([&] { return w->Types().contains("windowinit"); }));
        panel = w->Find<CSelectPanelUI>("panel");
        ASSERT_TRUE(panel && Key("nested") && Key("other"));
        w->notes.clear();
    }

    CDeviceKeyButtonUI* Key(const char* name) const { return w->Find<CDeviceKeyButtonUI>(name); }

    QStringList Marked() const {
        QStringList out;
        for (const char* name : {"k1", "k2", "k3", "k_off", "other", "nested"}) {
            if (Key(name)->IsKeySelected() != 0) {
                out << name;
            }
        }
        return out;
    }

    // Points in the target's own coordinates; events go to it as the mouse grab would send them.
    static void Drag(QWidget* target, QPoint from, QPoint to) {
        QTest::mousePress(target, Qt::LeftButton, {}, from);
        QTest::mouseMove(target, to);
        QTest::mouseRelease(target, Qt::LeftButton, {}, to);
    }

    static QImage Render(QWidget* widget) { return widget->grab().toImage(); }

    std::unique_ptr<TestWindow> w;
    CSelectPanelUI* panel = nullptr;
};

TEST_F(ControlsTest, DragMarksDirectKeysTheBandTouchesAndClearsTheRest) {
    // Cells: k1 x 10..40 y 10..40, k2 x 50..80, k3 y 60..90 (right / bottom edges exclusive).
    const std::tuple<QPoint, QPoint, QStringList> cases[] = {
        {{5, 5}, {60, 45}, {"k1", "k2"}},
        {{49, 100}, {41, 0}, {}},            // in the gap between k1 and k2: clears both
        {{40, 0}, {49, 100}, {"k1", "k3"}},  // left edge on k1's and k3's right edge
        {{50, 0}, {41, 100}, {"k2"}},        // right edge on k2's left edge
        {{0, 40}, {100, 59}, {"k1", "k2"}},
        {{100, 41}, {0, 60}, {"k3"}},
        {{1, 1}, {399, 299}, {"k1", "k2", "k3", "k_off"}},  // never "other" or "nested"
    };
    for (const auto& [from, to, marked] : cases) {
        SCOPED_TRACE(testing::Message() << "to " << to.x() << ',' << to.y());
        QTest::mousePress(panel, Qt::LeftButton, {}, from);
        QTest::mouseMove(panel, to);
        EXPECT_TRUE(panel->IsDragging());
        // Corner points as dragged; QRect::normalized would shift swapped edges by one.
        QRect band;
        band.setCoords(std::min(from.x(), to.x()), std::min(from.y(), to.y()),
                       std::max(from.x(), to.x()), std::max(from.y(), to.y()));
        EXPECT_EQ(panel->SelectionRect(), band);
        QTest::mouseRelease(panel, Qt::LeftButton, {}, to);
        EXPECT_FALSE(panel->IsDragging());
        EXPECT_EQ(Marked(), marked);
        EXPECT_EQ(w->Trace(), QStringList({"click_select_end:panel"}));
        w->notes.clear();
    }
}

TEST_F(ControlsTest, DragFromACellSelectsWithoutClickingIt) {
    Drag(Key("k1"), {2, 2}, {20, 20});
    EXPECT_EQ(Marked(), QStringList({"k1"}));
    EXPECT_EQ(w->Trace(), QStringList({"click_select_end:panel"}));

    // A disabled cell passes its events on to the panel too: still one band, one notification.
    w->notes.clear();
    Drag(Key("k_off"), {5, 5}, {-170, 45});
    EXPECT_EQ(Marked(), QStringList({"k1", "k2", "k_off"}));
    EXPECT_EQ(w->Trace(), QStringList({"click_select_end:panel"}));
}

TEST_F(ControlsTest, BandIsDrawnOverTheCellsOnlyWhileDragging) {
    const QPoint inside = Key("k1")->geometry().center();
    const QRgb before = Render(panel).pixel(inside);
    QTest::mousePress(panel, Qt::LeftButton, {}, {5, 5});
    QTest::mouseMove(panel, {60, 60});
    const QRgb during = Render(panel).pixel(inside);
    QTest::mouseRelease(panel, Qt::LeftButton, {}, {60, 60});
    EXPECT_GT(qBlue(during), qBlue(before)) << "tinted towards the accent";
    EXPECT_EQ(Render(panel).pixel(inside), before);
}

TEST_F(ControlsTest, ClickWithoutMoveSelectsNothingAndKeepsTheCellClick) {
    Drag(panel, {5, 5}, {45, 45});
    w->notes.clear();
    QTest::mouseClick(panel, Qt::LeftButton, {}, {300, 200});
    QTest::mouseClick(Key("k2"), Qt::LeftButton);
    EXPECT_EQ(w->Trace(), QStringList({"click:k2"}));
    EXPECT_EQ(Marked(), QStringList({"k1"}));
}

TEST_F(ControlsTest, DoubleClickSendsOneDbClickOnlyWhenEnabledAndInside) {
    const auto doubleClick = [](QWidget* target, QPoint at) {
        QTest::mouseDClick(target, Qt::LeftButton, {}, at);
        QTest::mouseRelease(target, Qt::LeftButton, {}, at);
    };
    doubleClick(Key("k2"), {5, 5});
    EXPECT_EQ(w->Types().count("dbclick"), 1);
    doubleClick(Key("k2"), {-3, -3});
    doubleClick(Key("k_off"), {5, 5});
    EXPECT_EQ(w->Types().count("dbclick"), 1);
}

TEST_F(ControlsTest, RendersTheLightColourOnlyWhileShown) {
    CDeviceKeyButtonUI* k1 = Key("k1");
    const QPoint centre = k1->rect().center();
    const QRgb green = qRgb(0, 255, 0);
    k1->SetKeyLight(Pack(0, 255, 0), 255, true);
    EXPECT_EQ(Render(k1).pixel(centre), green);
    k1->SetKeyLight(Pack(0, 255, 0), 255, false);
    EXPECT_NE(Render(k1).pixel(centre), green);

    // A light picture gives the lit shape: its opaque left half turns green, the rest does not.
    QImage shape(10, 10, QImage::Format_ARGB32);
    shape.fill(Qt::transparent);
    QPainter(&shape).fillRect(0, 0, 5, 10, Qt::white);
    ASSERT_TRUE(shape.save(Root() + "/led.png"));
    k1->SetLightImage("led.png");
    k1->SetKeyLight(Pack(0, 255, 0), 255, true);
    const QImage tinted = Render(k1);
    EXPECT_EQ(tinted.pixel(5, centre.y()), green);
    EXPECT_NE(tinted.pixel(25, centre.y()), green);
}

TEST_F(ControlsTest, KeysetMarkAndSelectionOutlineUseTheAccentAtEveryScale) {
    CDeviceKeyButtonUI* k1 = Key("k1");
    const QRgb accent = theme::kAccent;
    EXPECT_NE(Render(k1).pixel(k1->width() - 2, 1), accent);
    k1->SetKeysetImageHidden(false);
    EXPECT_EQ(Render(k1).pixel(k1->width() - 2, 1), accent);

    k1->SetKeySelected(1);
    for (const int dpi : {96, 192}) {
        CPaintManagerUI::SetAllDPI(dpi);
        const int pen = dpi / 48;
        const QImage image = Render(k1);
        EXPECT_EQ(image.pixel(pen - 1, k1->height() / 2), accent) << dpi;
        EXPECT_NE(image.pixel(pen + 1, k1->height() / 2), accent) << dpi;
    }
}

TEST_F(ControlsTest, KeycapOnAPlainPanelPaintsThePanelInItsCornersAndTheLightOnItsEdge) {
    // The cell then paints every pixel itself; a cap drawn without alpha would turn the edge
    // black and the corners would keep whatever was there before.
    panel->SetAttribute("bkcolor", "#FF112233");
    CDeviceKeyButtonUI* k1 = Key("k1");
    k1->SetLegend("A");
    k1->SetKeyLight(Pack(255, 0, 0), 255, true);
    for (const int dpi : {96, 144}) {
        CPaintManagerUI::SetAllDPI(dpi);
        const QImage image = Render(k1);
        // The corner pixel is cut by the antialiased outline: the panel's colour, nearly.
        const QRgb corner = image.pixel(0, 0);
        EXPECT_LE(std::abs(qRed(corner) - 0x11) + std::abs(qGreen(corner) - 0x22) +
                      std::abs(qBlue(corner) - 0x33),
                  12)
            << dpi << " " << std::hex << corner;
        EXPECT_EQ(image.pixel(image.width() / 2, 0), qRgb(255, 0, 0)) << dpi;
        EXPECT_TRUE(k1->testAttribute(Qt::WA_OpaquePaintEvent)) << dpi;
    }
    panel->SetAttribute("bkcolor", "#80112233");
    Render(k1);
    EXPECT_FALSE(k1->testAttribute(Qt::WA_OpaquePaintEvent)) << "a see-through panel shows";
}

TEST(DeviceKeyButton, RepaintsOnlyWhenALightOrAMarkChanges) {
    struct CountingKey : CDeviceKeyButtonUI {
        int invalidations = 0;
        void Invalidate() override { ++invalidations; }
    } key;
    key.SetKeysetImageHidden(true);
    key.SetKeySelected(0);
    EXPECT_EQ(key.invalidations, 0);
    // Frames repeat most colours: only a change of colour, alpha or lit state repaints.
    key.SetKeyLight(Pack(1, 2, 3), 10, true);
    key.SetKeyLight(Pack(1, 2, 3), 10, true);
    EXPECT_EQ(key.invalidations, 1);
    key.SetKeyLight(Pack(1, 2, 3), 11, true);
    key.SetKeyLight(Pack(1, 2, 3), 11, false);
    key.SetKeyLight(Pack(1, 2, 4), 11, false);
    EXPECT_EQ(key.invalidations, 4);
    key.SetKeysetImageHidden(false);
    key.SetKeysetImageHidden(false);
    key.SetKeySelected(1);
    key.SetKeySelected(1);
    EXPECT_EQ(key.invalidations, 6);
    key.SetAttribute("LightImage", "led.png");
    EXPECT_EQ(key.invalidations, 7);
}

TEST(DeviceKeyButton, OwnAttributesIgnoreCaseAndTheRestGoToTheButton) {
    CDeviceKeyButtonUI key;
    const QString style = key.styleSheet();
    key.SetAttribute("LIGHTIMAGE", "led.png");
    key.SetAttribute("KeySetImage", "set.png");
    key.SetAttribute("gmNameTextColor", "#FF00FF");
    key.SetAttribute("text", "Esc");
    EXPECT_EQ(key.GetLightImage(), "led.png");
    EXPECT_EQ(key.GetKeysetImage(), "set.png");
    EXPECT_FALSE(key.GetTextColor().isValid());
    EXPECT_EQ(key.styleSheet(), style);
    EXPECT_EQ(key.GetText(), "Esc");
}

TEST(DeviceKeyButton, UnpacksTheDeviceByteOrderToTheTrueColour) {
    const auto unpack = &CDeviceKeyButtonUI::LightColourToQColor;
    EXPECT_EQ(unpack(Pack(0, 255, 0), 255), QColor(0, 255, 0));
    EXPECT_EQ(unpack(Pack(0, 0, 255), 255), QColor(0, 0, 255));
    EXPECT_EQ(unpack(Pack(0x12, 0x34, 0x56), 200), QColor(0x12, 0x34, 0x56, 200));
    EXPECT_EQ(unpack(0xFF000000u, 300), QColor(0, 0, 0, 255)) << "top byte is no colour";
    EXPECT_EQ(unpack(0, -5).alpha(), 0);
}

}  // namespace
}  // namespace morva::ui::test
