// The smaller custom controls: ring progress, picture buttons, level strip, chart, list rows
// and the widget host.
#include <QContextMenuEvent>
#include <QEnterEvent>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QTest>

#include <cmath>
#include <limits>

#include "toolkit_test_support.h"
#include "ui/controls/audio_record.h"
#include "ui/controls/chart_view.h"
#include "ui/controls/circle_progress.h"
#include "ui/controls/cloud_share_list_item.h"
#include "ui/controls/combo_edit_container_element.h"
#include "ui/controls/hand_img_button.h"
#include "ui/controls/hand_img_select_button.h"
#include "ui/controls/redio_macro_button.h"
#include "ui/controls/register_controls.h"
#include "ui/controls/wnd.h"
#include "ui/toolkit/theme.h"

namespace morva::ui::test {
namespace {

constexpr QRgb kBehind = 0xff102030;

// The widget alone over a known colour, so see-through parts show it.
QImage RenderOver(QWidget* widget, QRgb behind = kBehind) {
    QImage image(widget->size(), QImage::Format_ARGB32);
    image.fill(behind);
    widget->render(&image, {}, {}, QWidget::DrawChildren);
    return image;
}

void Hover(QWidget* widget, bool enter) {
    if (enter) {
        QEnterEvent event(QPointF(1, 1), QPointF(1, 1), widget->mapToGlobal(QPointF(1, 1)));
        QCoreApplication::sendEvent(widget, &event);
    } else {
        QEvent event(QEvent::Leave);
        QCoreApplication::sendEvent(widget, &event);
    }
}

class Controls2Test : public ToolkitTest {
protected:
    void SetUp() override {
        ToolkitTest::SetUp();
        RegisterDeviceControls();
        RegisterDeviceControls();
    }
    std::unique_ptr<TestWindow> ShowExposed(const QString& layout) {
        auto w = Show(layout);
        EXPECT_TRUE(QTest::qWaitForWindowExposed(w.get()));
        EXPECT_TRUE(WaitUntil([&] { return w->Types().contains("windowinit"); }));
        w->notes.clear();
        return w;
    }
    void SaveImage(const QString& name, const QImage& image) const {
        ASSERT_TRUE(image.save(Root() + u'/' + name));
    }
};

// ---- ring progress ---------------------------------------------------------------------

// A point in the middle of the ring, `degrees` clockwise from the bottom.
QPoint RingPoint(const CCircleProgressUI& ring, double degrees) {
    const double half = CCircleProgressUI::RingWidth() / 2.0;
    const double rx = ring.width() / 2.0 - half;
    const double ry = ring.height() / 2.0 - half;
    const double a = degrees * M_PI / 180.0;
    return QPoint(int(std::lround(ring.width() / 2.0 - rx * std::sin(a))),
                  int(std::lround(ring.height() / 2.0 + ry * std::cos(a))));
}

TEST(CircleProgress, ArcRunsClockwiseFromTheBottomOverTheShareOfTheRange) {
    CCircleProgressUI ring;
    ring.resize(100, 100);
    ring.SetAttribute("bkcolor", "#FF404040");
    const QRgb track = qRgb(0x40, 0x40, 0x40);
    const QRgb arc = theme::kAccent;
    struct Case {
        int min, max, value, sweep;
    };
    // A range not starting at 0 is measured from its minimum; an empty range shows no arc.
    for (const Case c : {Case{0, 100, 25, 90}, Case{0, 100, 50, 180}, Case{50, 150, 100, 180},
                         Case{50, 150, 125, 270}, Case{-100, 100, -50, 90}}) {
        SCOPED_TRACE(testing::Message() << c.min << ".." << c.max << " = " << c.value);
        ring.setRange(c.min, c.max);
        ring.SetValue(c.value);
        EXPECT_EQ(ring.SweepDegrees(), c.sweep);
        const QImage image = RenderOver(&ring);
        EXPECT_EQ(image.pixel(RingPoint(ring, c.sweep - 10)), arc);
        EXPECT_EQ(image.pixel(RingPoint(ring, c.sweep + 10)), track);
        EXPECT_EQ(image.pixel(RingPoint(ring, 350)), track);
        EXPECT_EQ(image.pixel(50, 50), kBehind) << "the centre is cut out";
        EXPECT_EQ(image.pixel(1, 1), kBehind) << "nothing outside the ring";
    }
}

TEST(CircleProgress, FullRingAtTheMaximumAndNoArcForAnEmptyRange) {
    CCircleProgressUI ring;
    ring.resize(80, 120);
    ring.setRange(0, 40);
    ring.SetValue(40);
    QImage image = RenderOver(&ring);
    for (int degrees = 0; degrees < 360; degrees += 15) {
        EXPECT_EQ(image.pixel(RingPoint(ring, degrees)), theme::kAccent) << degrees;
    }
    EXPECT_EQ(image.pixel(40, 60), kBehind);
    EXPECT_EQ(ring.SweepDegrees(), 360);

    for (const auto& [min, max] : {std::pair{7, 7}, std::pair{0, 0}}) {
        ring.setRange(min, max);
        ring.SetValue(max);
        EXPECT_EQ(ring.SweepDegrees(), 0);
        image = RenderOver(&ring);
        for (int degrees = 0; degrees < 360; degrees += 15) {
            EXPECT_EQ(image.pixel(RingPoint(ring, degrees)), theme::kRaised) << degrees;
        }
    }
}

TEST(CircleProgress, RingWidthFollowsTheScaleAndTinyRingsStayDiscs) {
    CCircleProgressUI ring;
    ring.resize(100, 100);
    ring.SetValue(100);
    CPaintManagerUI::SetAllDPI(192);
    // At scale 2 the ring is 20 pixels wide: 15 pixels in from the edge is still ring.
    EXPECT_EQ(RenderOver(&ring).pixel(50, 15), theme::kAccent);
    CPaintManagerUI::SetAllDPI(96);
    EXPECT_EQ(RenderOver(&ring).pixel(50, 15), kBehind);
    ring.resize(16, 16);
    EXPECT_EQ(RenderOver(&ring).pixel(8, 8), theme::kAccent);
}

// ---- picture buttons -------------------------------------------------------------------

class PictureTest : public Controls2Test {
protected:
    void SetUp() override {
        Controls2Test::SetUp();
        // 300 × 200: red left of x = 150, blue right of it; green below y = 100.
        QImage big(300, 200, QImage::Format_RGB32);
        big.fill(Qt::red);
        QPainter p(&big);
        p.fillRect(150, 0, 150, 200, Qt::blue);
        p.fillRect(0, 100, 300, 100, Qt::green);
        p.end();
        SaveImage("big.png", big);
        w = ShowExposed(R"(<Window size="400,300"><VerticalLayout>
            <HorizontalLayout height="50">
              <HandImgSelectButton name="pic" width="100" handimage="big.png" cursor="sizeall"/>
              <HandImgButton name="hand" width="100" deletenormalimage="dn.png"
                             deletehotimage="dh.png"/>
              <Control/>
            </HorizontalLayout><Control/></VerticalLayout></Window>)");
        pic = w->Find<CHandImgSelectButtonUI>("pic");
        hand = w->Find<CHandImgButtonUI>("hand");
        ASSERT_TRUE(pic && hand);
    }
    void Drag(QPoint from, QPoint to) {
        QTest::mousePress(pic, Qt::LeftButton, {}, from);
        QTest::mouseMove(pic, to);
        QTest::mouseRelease(pic, Qt::LeftButton, {}, to);
    }
    QString Source() const {
        const LayoutRect s = pic->GetSource();
        return QStringLiteral("%1,%2,%3,%4").arg(s.left).arg(s.top).arg(s.right).arg(s.bottom);
    }

    std::unique_ptr<TestWindow> w;
    CHandImgSelectButtonUI* pic = nullptr;
    CHandImgButtonUI* hand = nullptr;
};

TEST_F(PictureTest, SelectPictureShowsTheButtonSizedCornerAndPansWithTheMouse) {
    ASSERT_EQ(pic->size(), QSize(100, 50));
    EXPECT_EQ(pic->GetImageSize(), QSize(300, 200));
    EXPECT_EQ(Source(), "0,0,100,50");
    EXPECT_EQ(pic->GetDrawnImage(), "file='big.png' source='0,0,100,50'");
    EXPECT_EQ(RenderOver(pic).pixel(50, 25), qRgb(255, 0, 0));

    Drag({80, 40}, {20, 10});  // picture follows the mouse: left 60, up 30
    EXPECT_EQ(Source(), "60,30,160,80");
    EXPECT_EQ(pic->GetDrawnImage(), "file='big.png' source='60,30,160,80'");
    QImage image = RenderOver(pic);
    EXPECT_EQ(image.pixel(85, 25), qRgb(255, 0, 0)) << "picture x 145";
    EXPECT_EQ(image.pixel(95, 25), qRgb(0, 0, 255)) << "picture x 155";
    EXPECT_TRUE(w->notes.empty()) << "no click from a drag or a release";
}

TEST_F(PictureTest, SelectPictureStopsAtEveryEdgeKeepingItsSize) {
    Drag({50, 25}, {10, 5});
    Drag({10, 5}, {90, 45});  // 80 right and 40 down, but only 40 and 20 are left
    EXPECT_EQ(Source(), "0,0,100,50");
    Drag({90, 45}, {-900, -900});
    EXPECT_EQ(Source(), "200,150,300,200") << "the far edges stop at the picture's";
    EXPECT_EQ(RenderOver(pic).pixel(99, 49), qRgb(0, 255, 0));
    Drag({5, 5}, {8, 5});
    EXPECT_EQ(Source(), "197,150,297,200");
}

TEST_F(PictureTest, SelectPictureIgnoresMovesWithoutAPressAndUnreadablePictures) {
    QTest::mouseMove(pic, {10, 10});
    QTest::mouseMove(pic, {60, 40});
    EXPECT_EQ(Source(), "0,0,100,50");
    EXPECT_FALSE(pic->IsDragging());

    QTest::mousePress(pic, Qt::LeftButton, {}, {50, 25});
    EXPECT_TRUE(pic->isDown());
    QTest::mouseMove(pic, {150, 25});
    EXPECT_FALSE(pic->isDown()) << "pushed only while over it";
    QTest::mouseRelease(pic, Qt::LeftButton, {}, {150, 25});
    EXPECT_FALSE(pic->IsDragging());

    const QString drawn = pic->GetDrawnImage();
    Write("broken.png", "not a picture");
    pic->SetAttribute("HandImage", "broken.png");
    pic->SetAttribute("handimage", "missing.png");
    EXPECT_EQ(pic->GetDrawnImage(), drawn);
    EXPECT_EQ(pic->GetImageFile(), "big.png");
}

TEST_F(PictureTest, SelectPictureCursorNamesAndSmallPictures) {
    EXPECT_EQ(pic->cursor().shape(), Qt::SizeAllCursor);
    pic->SetAttribute("cursor", "sizewe");
    EXPECT_EQ(pic->cursor().shape(), Qt::SizeHorCursor);
    pic->SetAttribute("cursor", "SIZENS");
    pic->SetAttribute("cursor", "pointer");
    EXPECT_EQ(pic->cursor().shape(), Qt::SizeHorCursor);

    QImage small(40, 20, QImage::Format_RGB32);
    small.fill(Qt::yellow);
    SaveImage("small.png", small);
    pic->SetAttribute("handimage", "small.png");
    EXPECT_EQ(pic->GetDrawnImage(), "small.png") << "the whole picture, stretched";
    EXPECT_EQ(RenderOver(pic).pixel(90, 45), qRgb(255, 255, 0));
    Drag({50, 25}, {0, 0});
    EXPECT_EQ(Source(), "0,0,100,50");
}

TEST_F(PictureTest, HandButtonClicksOnlyOnAReleaseOverIt) {
    QTest::mouseClick(hand, Qt::LeftButton, {}, {10, 10});
    EXPECT_EQ(w->Trace(), QStringList({"click:hand"}));

    QTest::mousePress(hand, Qt::LeftButton, {}, {10, 10});
    EXPECT_TRUE(hand->isDown());
    QTest::mouseMove(hand, {150, 10});
    EXPECT_FALSE(hand->isDown());
    QTest::mouseRelease(hand, Qt::LeftButton, {}, {150, 10});
    EXPECT_EQ(w->Trace(), QStringList({"click:hand"}));

    // A double click is a second press: two clicks, no "dbclick".
    w->notes.clear();
    QTest::mouseDClick(hand, Qt::LeftButton, {}, {10, 10});
    QTest::mouseRelease(hand, Qt::LeftButton, {}, {10, 10});
    EXPECT_FALSE(w->Types().contains("dbclick"));
    EXPECT_FALSE(hand->isDown());

    hand->SetEnabled(false);
    w->notes.clear();
    QTest::mouseClick(hand, Qt::LeftButton, {}, {10, 10});
    EXPECT_TRUE(w->notes.empty());
}

TEST_F(PictureTest, HoverNotifiesOnlyWhileEnabledAndTheDeleteCornerTracksTheMouse) {
    w->ignored.clear();
    for (QWidget* button : {static_cast<QWidget*>(hand), static_cast<QWidget*>(pic)}) {
        Hover(button, true);
        Hover(button, false);
    }
    EXPECT_EQ(w->Trace(),
              QStringList({"msenter:hand", "msleave:hand", "msenter:pic", "msleave:pic"}));
    w->notes.clear();
    hand->SetEnabled(false);
    Hover(hand, true);
    Hover(hand, false);
    EXPECT_TRUE(w->notes.empty());
    hand->SetEnabled(true);

    // The corner: x 70..89, y 21..40 of the 100 × 50 button.
    const QRect corner = hand->DeleteArea();
    EXPECT_EQ(corner, QRect(70, 21, 20, 20));
    QTest::mouseMove(hand, corner.topLeft());
    EXPECT_EQ(hand->GetCurrentDeleteImage(), "dh.png");
    QTest::mouseMove(hand, corner.bottomRight() + QPoint(1, 1));
    EXPECT_EQ(hand->GetCurrentDeleteImage(), "dn.png");
    EXPECT_TRUE(hand->IsDeleteHidden());
}

TEST_F(PictureTest, HandImageUsesFileAndSourceKeysAndMissingFilesDrawNothing) {
    const QRgb plain = RenderOver(hand).pixel(50, 25);
    hand->SetAttribute("handimage", "file='big.png' source='150,0,300,100'");
    EXPECT_EQ(RenderOver(hand).pixel(50, 25), qRgb(0, 0, 255));
    hand->SetAttribute("handimage", "big.png");
    const QImage whole = RenderOver(hand);
    EXPECT_EQ(whole.pixel(10, 10), qRgb(255, 0, 0));
    EXPECT_EQ(whole.pixel(90, 40), qRgb(0, 255, 0));
    hand->SetAttribute("handimage", "file='nothere.png'");
    EXPECT_EQ(RenderOver(hand).pixel(50, 25), plain);
}

// ---- level strip -----------------------------------------------------------------------

TEST(AudioRecord, DrawsABarEveryTwoPixelsUpToFiveHundred) {
    CAudioRecordUI strip;
    std::vector<int32_t> full(CAudioRecordUI::kSampleCount, CAudioRecordUI::kFullScale);
    strip.SetSamples(full);
    for (const auto& [width, bars] :
         {std::pair{1, 1}, std::pair{7, 4}, std::pair{8, 4}, std::pair{999, 500},
          std::pair{1000, 500}, std::pair{1300, 500}}) {
        strip.resize(width, 20);
        EXPECT_EQ(strip.BarCount(), bars) << width;
        const QImage image = RenderOver(&strip);
        int drawn = 0;
        int last = -1;
        for (int x = 0; x < width; ++x) {
            if (image.pixel(x, 10) == theme::kAccent) {
                ++drawn;
                last = x;
            }
        }
        EXPECT_EQ(drawn, bars) << width;
        EXPECT_EQ(last, 2 * (bars - 1)) << width;
    }
}

TEST(AudioRecord, BarHeightIsTheShareOfFullScaleAndOutOfRangeSamplesStayInside) {
    CAudioRecordUI strip;
    strip.resize(20, 100);
    EXPECT_EQ(strip.GetSample(255), 255);
    EXPECT_EQ(strip.GetSample(256), 0);
    const int32_t samples[] = {4096, -5, std::numeric_limits<int32_t>::max(), 8192, 8193};
    strip.SetSamples(samples);
    const QImage image = RenderOver(&strip);
    const auto column = [&](int x) {
        int first = -1, count = 0;
        for (int y = 0; y < 100; ++y) {
            if (image.pixel(x, y) == theme::kAccent) {
                first = first < 0 ? y : first;
                ++count;
            }
        }
        return std::pair{first, count};
    };
    EXPECT_EQ(column(0), std::pair(50, 49)) << "rows 50..98";
    EXPECT_EQ(column(2), std::pair(-1, 0));
    EXPECT_EQ(column(4), std::pair(0, 99));
    EXPECT_EQ(column(6), std::pair(0, 99));
    EXPECT_EQ(column(8), std::pair(0, 99));
    EXPECT_EQ(column(1), std::pair(-1, 0)) << "one pixel wide";
    // Bars never start above the top or below the bottom, however large the sample.
    EXPECT_EQ(strip.BarTop(1), 100);
    EXPECT_EQ(strip.BarTop(2), 0);
    EXPECT_EQ(strip.BarTop(4), 0);
}

// ---- chart -----------------------------------------------------------------------------

TEST_F(Controls2Test, ChartReadsItsAttributesAfterThePlainControl) {
    CChartViewUI chart;
    EXPECT_EQ(chart.GetClass(), "ControlUI");
    // Only the two names as written switch; anything else keeps the view.
    const std::pair<const char*, int> views[] = {
        {"histpgram", 1}, {"histogram", 1}, {"HISTPGRAM", 1}, {"", 1},
        {"pie", 0},       {"Pie", 0},       {"histpgram ", 0}};
    for (const auto& [value, view] : views) {
        chart.SetAttribute("View", value);
        EXPECT_EQ(chart.GetView(), view) << value;
    }

    chart.SetAttribute("showtext", "True");
    chart.SetAttribute("showhtml", "true");
    chart.SetAttribute("ShadowImageHeight", "12px");
    chart.SetAttribute("pillarimagewidth", "x");
    chart.SetAttribute("font", "3");
    chart.SetAttribute("bkcolor", "#FF112233");
    EXPECT_FALSE(chart.IsShowText());
    EXPECT_TRUE(chart.IsShowHtml());
    EXPECT_EQ(chart.GetShadowImageHeight(), 12);
    EXPECT_EQ(chart.GetPillarImageWidth(), 0);
    EXPECT_EQ(chart.GetChartFont(), 3);
    EXPECT_EQ(chart.GetFont(), 3) << "the plain control saw it too";
    EXPECT_EQ(chart.GetBkColor(), QColor(0x11, 0x22, 0x33));
}

TEST_F(Controls2Test, ChartShadowSitsAboveTheTextBandAndIsDroppedWhenItCannotBeDrawn) {
    QImage shadow(4, 4, QImage::Format_RGB32);
    shadow.fill(Qt::magenta);
    SaveImage("shadow.png", shadow);
    CChartViewUI chart;
    chart.resize(60, 100);
    chart.SetAttribute("view", "histpgram");
    chart.SetAttribute("shadowimage", "shadow.png");
    chart.SetAttribute("shadowimageheight", "10");
    const QRgb magenta = qRgb(255, 0, 255);
    // Text band 25: the shadow spans y 65..74.
    QImage image = RenderOver(&chart);
    EXPECT_EQ(image.pixel(30, 64), kBehind);
    EXPECT_EQ(image.pixel(30, 65), magenta);
    EXPECT_EQ(image.pixel(59, 74), magenta);
    EXPECT_EQ(image.pixel(30, 75), kBehind);
    chart.SetAttribute("showtext", "false");
    image = RenderOver(&chart);
    EXPECT_EQ(image.pixel(30, 90), magenta);
    EXPECT_EQ(chart.GetShadowImage(), "shadow.png");

    chart.SetAttribute("view", "pie");
    chart.SetAttribute("shadowimage", "gone.png");
    RenderOver(&chart);
    EXPECT_EQ(chart.GetShadowImage(), "gone.png") << "the pie draws no shadow";
    chart.SetAttribute("view", "histpgram");
    RenderOver(&chart);
    EXPECT_EQ(chart.GetShadowImage(), "");
}

TEST(ChartView, ItemsShowAsPillarsOrSlicesInProportion) {
    CChartViewUI chart;
    chart.resize(100, 100);
    chart.SetAttribute("showtext", "false");
    chart.SetAttribute("view", "histpgram");
    QImage empty(chart.size(), QImage::Format_ARGB32);
    empty.fill(kBehind);
    EXPECT_EQ(RenderOver(&chart), empty) << "no items: nothing";
    chart.AddItem("a", 2);
    chart.AddItem("b", 1);
    QImage image = RenderOver(&chart);
    // Two 50-pixel slots with 25-pixel pillars in their middles; b is half as high.
    EXPECT_EQ(image.pixel(25, 10), theme::kAccent);
    EXPECT_EQ(image.pixel(75, 40), kBehind);
    EXPECT_EQ(image.pixel(75, 60), theme::kAccent);
    EXPECT_EQ(image.pixel(5, 90), kBehind);

    chart.SetAttribute("view", "pie");
    image = RenderOver(&chart);
    // a takes 240° from 12 o'clock clockwise, b the 120° before it.
    const QRgb a = image.pixel(80, 50);
    const QRgb b = image.pixel(20, 30);
    EXPECT_NE(a, kBehind);
    EXPECT_NE(b, kBehind);
    EXPECT_NE(a, b);
    EXPECT_EQ(image.pixel(50, 90), a);
    EXPECT_EQ(image.pixel(2, 2), kBehind);
}

// ---- list rows -------------------------------------------------------------------------

class RowsTest : public Controls2Test {
protected:
    void SetUp() override {
        Controls2Test::SetUp();
        QFile item(QStringLiteral(MORVA_RES_DIR "/skin/") + QLatin1String(kItem));
        ASSERT_TRUE(item.open(QIODevice::ReadOnly));
        Write(kItem, QString::fromUtf8(item.readAll()));
    }
    static constexpr char kItem[] = "XML/CustomControlXML/ComboEditElementItem.xml";
};

TEST_F(RowsTest, ComboRowsBuildTheirOwnPartsFromTheItemLayout) {
    auto w = ShowExposed(R"(<Window size="300,200"><List name="list">
        <ComboEditContainerElement name="row1"><Label name="old"/></ComboEditContainerElement>
        <CComboEditContainerElementUI name="row2" normalimage="x.png"/>
      </List></Window>)");
    auto* row1 = w->Find<CComboEditContainerElementUI>("row1");
    auto* row2 = w->Find<CComboEditContainerElementUI>("row2");
    ASSERT_TRUE(row1 && row2);
    EXPECT_EQ(w->FindControl("old"), nullptr) << "the layout replaces what was there";
    for (auto* row : {row1, row2}) {
        ASSERT_TRUE(row->GetText1() && row->GetText2() && row->GetDelayEdit());
        EXPECT_EQ(row->GetText1()->GetName(), "text1");
        EXPECT_EQ(row->GetText2()->GetName(), "text2");
        EXPECT_EQ(row->GetDelayEdit()->GetClass(), "EditUI");
        EXPECT_TRUE(row->isAncestorOf(row->GetDelayEdit()->GetWidget())) << "its own parts";
    }
    EXPECT_NE(row1->GetDelayEdit(), row2->GetDelayEdit());

    // Without the item layout a row keeps no children and no parts.
    std::filesystem::remove(dir.path() / kItem);
    auto* list = w->Find<CListUI>("list");
    auto* bare = new CComboEditContainerElementUI;
    ASSERT_TRUE(list->Add(bare));
    EXPECT_EQ(bare->GetCount(), 0);
    EXPECT_EQ(bare->GetText1(), nullptr);
    EXPECT_EQ(bare->GetDelayEdit(), nullptr);
}

TEST_F(RowsTest, ComboRowMouseAndKeyboardNotifications) {
    auto w = ShowExposed(R"(<Window size="300,200"><List name="list">
        <ComboEditContainerElement name="row1"/><ComboEditContainerElement name="row2"/>
      </List></Window>)");
    auto* list = w->Find<CListUI>("list");
    auto* row1 = w->Find<CComboEditContainerElementUI>("row1");
    auto* row2 = w->Find<CComboEditContainerElementUI>("row2");
    ASSERT_TRUE(list && row1 && row2);

    QTest::mouseClick(row2, Qt::LeftButton, {}, {10, 10});
    EXPECT_EQ(w->Trace(), QStringList({"itemselect:list", "itemclick:row2"}));
    EXPECT_EQ(list->GetCurSel(), 1);

    // Ctrl toggles the pressed row; a plain press only ever selects.
    w->notes.clear();
    QTest::mouseClick(row2, Qt::LeftButton, Qt::ControlModifier, {10, 10});
    EXPECT_EQ(list->GetCurSel(), -1);
    QTest::mouseClick(row1, Qt::LeftButton, Qt::ControlModifier, {10, 10});
    EXPECT_EQ(list->GetCurSel(), 0);
    QTest::mouseClick(row1, Qt::LeftButton, {}, {10, 10});
    EXPECT_EQ(list->GetCurSel(), 0);
    EXPECT_EQ(w->Types().count("itemclick"), 3);

    // Released elsewhere: no "itemclick".
    w->notes.clear();
    QTest::mousePress(row1, Qt::LeftButton, {}, {10, 10});
    QTest::mouseRelease(row1, Qt::LeftButton, {}, {10, 100});
    EXPECT_TRUE(w->notes.empty());

    ASSERT_TRUE(row1->hasFocus());
    QTest::keyClick(row1, Qt::Key_Return);
    EXPECT_EQ(w->Trace(), QStringList({"itemactivate:row1", "return:row1"}));

    // Return in the delay entry is the entry's own.
    w->notes.clear();
    auto* edit = dynamic_cast<QWidget*>(row2->GetDelayEdit());
    QTest::mouseClick(edit, Qt::LeftButton);
    ASSERT_TRUE(edit->hasFocus());
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(w->Trace(), QStringList({"return:delay_edit"}));

    w->notes.clear();
    QTest::mouseDClick(row2, Qt::LeftButton, {}, {10, 10});
    EXPECT_EQ(w->Types().count("itemactivate"), 1);

    row2->SetEnabled(false);
    w->notes.clear();
    EXPECT_FALSE(row2->Activate());
    EXPECT_TRUE(w->notes.empty());
}

TEST_F(RowsTest, CloudRowActivatesOnceAndOutlinesWhileHot) {
    auto w = ShowExposed(R"(<Window size="300,200"><List name="list">
        <CloudShareListItemUI name="a" menu="true"/><CCloudShareListItemUI name="b"/>
      </List></Window>)");
    auto* list = w->Find<CListUI>("list");
    auto* a = w->Find<CCloudShareListItemUI>("a");
    auto* b = w->Find<CCloudShareListItemUI>("b");
    ASSERT_TRUE(list && a && b);

    QTest::mouseDClick(a, Qt::LeftButton, {}, {10, 10});
    EXPECT_EQ(w->Types().count("itemactivate"), 1);
    w->notes.clear();
    list->SelectItem(1, true, false);
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_EQ(w->Trace(), QStringList({"itemactivate:b"}));

    w->notes.clear();
    QContextMenuEvent menu(QContextMenuEvent::Mouse, QPoint(12, 7), a->mapToGlobal(QPoint(12, 7)));
    QCoreApplication::sendEvent(a, &menu);
    QCoreApplication::sendEvent(b, &menu);
    ASSERT_EQ(w->notes.size(), 1u);
    EXPECT_EQ(w->Trace(), QStringList({"menu:a"}));
    EXPECT_EQ(std::pair(w->notes[0].wParam, w->notes[0].lParam),
              std::pair(intptr_t{12}, intptr_t{7}));

    // Outline: hot and not selected.
    const QRgb accent = theme::kAccent;
    Hover(a, false);  // the double click above may have left the pointer over it
    EXPECT_NE(a->grab().toImage().pixel(0, 0), accent);
    Hover(a, true);
    EXPECT_TRUE(a->IsHot());
    EXPECT_EQ(a->grab().toImage().pixel(0, 0), accent);
    EXPECT_EQ(a->grab().toImage().pixel(a->width() - 1, a->height() - 1), accent);
    list->SelectItem(0, false, false);
    EXPECT_NE(a->grab().toImage().pixel(0, 0), accent);
    list->SelectItem(1, false, false);
    EXPECT_EQ(a->grab().toImage().pixel(0, 0), accent);
    Hover(a, false);
    EXPECT_NE(a->grab().toImage().pixel(0, 0), accent);

    a->SetEnabled(false);
    Hover(a, true);
    EXPECT_FALSE(a->IsHot());
    EXPECT_FALSE(a->Activate());
}

// ---- widget host -----------------------------------------------------------------------

TEST_F(Controls2Test, HostedWidgetFollowsTheControlsPlaceAndVisibility) {
    auto w = ShowExposed(R"(<Window size="300,200"><VerticalLayout name="root">
        <HorizontalLayout name="row" height="60">
          <Control name="spacer" width="40"/><Wnd name="host" width="100"/><Control/>
        </HorizontalLayout><Control/></VerticalLayout></Window>)");
    auto* host = w->Find<CWndUI>("host");
    auto* root = dynamic_cast<QWidget*>(w->GetRoot());
    ASSERT_TRUE(host && root);
    auto* inside = new QLabel(root);  // owned by the root
    host->SetHostedWidget(inside);
    const auto placed = [&] { return QRect(host->mapTo(root, QPoint()), host->size()); };
    EXPECT_EQ(inside->geometry(), placed());
    EXPECT_EQ(inside->geometry(), QRect(40, 0, 100, 60));
    EXPECT_TRUE(inside->isVisible());

    // Moved by its neighbour, resized, and moved with its parent row.
    w->FindControl("spacer")->SetFixedWidth(70);
    EXPECT_EQ(inside->geometry(), QRect(70, 0, 100, 60));
    host->SetFixedWidth(30);
    EXPECT_EQ(inside->geometry(), QRect(70, 0, 30, 60));
    w->Find<CContainerUI>("root")->SetInset({5, 8, 0, 0});
    EXPECT_EQ(inside->geometry(), placed());
    EXPECT_EQ(inside->pos(), QPoint(75, 8));

    host->SetVisible(false);
    EXPECT_FALSE(inside->isVisible());
    host->SetVisible(true);
    EXPECT_TRUE(inside->isVisible());
    w->FindControl("row")->SetVisible(false);
    EXPECT_FALSE(inside->isVisible()) << "hidden with an ancestor";
    w->FindControl("row")->SetVisible(true);
    EXPECT_TRUE(inside->isVisible());

    // Deleting the hosted widget ends hosting.
    delete inside;
    host->SetFixedWidth(50);
    EXPECT_EQ(host->GetHostedWidget(), nullptr);
}

TEST_F(Controls2Test, HostedWindowIsPlacedOnTheScreenAndFollowsTheWindow) {
    auto w = ShowExposed(R"(<Window size="300,200"><VerticalLayout>
        <Control height="30"/><Wnd name="host" height="50"/><Control/>
      </VerticalLayout></Window>)");
    auto* host = w->Find<CWndUI>("host");
    ASSERT_TRUE(host);
    QWidget outside;
    host->SetHostedWidget(&outside);
    EXPECT_EQ(outside.geometry(), QRect(host->mapToGlobal(QPoint()), host->size()));
    EXPECT_TRUE(outside.isVisible());
    const QPoint before = outside.geometry().topLeft();
    w->move(w->pos() + QPoint(25, 15));
    // Client areas: pos() would include the frame of the separate window.
    ASSERT_TRUE(
        WaitUntil([&] { return outside.geometry().topLeft() == host->mapToGlobal(QPoint()); }));
    EXPECT_EQ(outside.geometry().topLeft(), before + QPoint(25, 15));
    w->hide();
    EXPECT_FALSE(outside.isVisible());
    host->SetHostedWidget(nullptr);
    w->show();
    EXPECT_FALSE(outside.isVisible()) << "no longer hosted";

    host->SetHostedWidget(host);
    host->SetHostedWidget(w.get());
    EXPECT_EQ(host->GetHostedWidget(), nullptr) << "never itself or an ancestor";
}

TEST_F(Controls2Test, EveryControlIsBuiltFromItsTagAndClassName) {
    const std::tuple<const char*, const char*, const char*> names[] = {
        {"CircleProgress", "CCircleProgressUI", "CircleProgress"},
        {"HandImgButton", "CHandImgButtonUI", "HandImgButton"},
        {"HandImgSelectButton", "CHandImgSelectButtonUI", "HandImgSelectButton"},
        {"RedioMacroButton", "CRedioMacroButtonUI", "RedioMacroButton"},
        {"AudioRecord", "CAudioRecordUI", "AudioRecord"},
        {"ChartView", "CChartViewUI", "ControlUI"},
        {"ComboEditContainerElement", "CComboEditContainerElementUI", "ComboEditContainerElement"},
        {"CloudShareListItemUI", "CCloudShareListItemUI", "CloudShareListItemUI"},
        {"Wnd", "CWndUI", "Wnd"},
    };
    CDialogBuilder builder;
    for (const auto& [tag, className, cls] : names) {
        for (const char* name : {tag, className}) {
            std::unique_ptr<CControlUI> control(
                builder.CreateFromText(QStringLiteral("<%1 redioimage=\"r.png\"/>").arg(name)));
            ASSERT_TRUE(control) << name;
            EXPECT_EQ(control->GetClass(), cls) << name;
        }
    }
    std::unique_ptr<CControlUI> radio(
        builder.CreateFromText("<RedioMacroButton RedioImage=\"r.png\"/>"));
    auto* macro = dynamic_cast<CRedioMacroButtonUI*>(radio.get());
    ASSERT_TRUE(macro);
    EXPECT_EQ(macro->GetRedioImage(), "r.png");
}

}  // namespace
}  // namespace morva::ui::test
