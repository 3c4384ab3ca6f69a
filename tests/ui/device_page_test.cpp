// A device page: binding its cells, showing the model's frame, switching function tabs and
// handing the model's requests over to the UI thread.
#include <QApplication>
#include <QThread>

#include <thread>

#include "device/models/usb_device.h"
#include "sim/sim_bus.h"
#include "toolkit_test_support.h"
#include "ui/controls/device_key_button.h"
#include "ui/controls/register_controls.h"
#include "ui/pages/device_option.h"
#include "ui/pages/device_page.h"
#include "ui/toolkit/containers.h"

namespace morva::ui::test {
namespace {

class DevicePageTest : public ToolkitTest {
protected:
    void SetUp() override {
        ToolkitTest::SetUp();
        RegisterDeviceControls();
        sim::SimBusOptions options;
        options.plugged = {sim::Link::Pad};
        bus_ = std::make_unique<sim::SimBus>(options);
    }
    void TearDown() override {
        window_.reset();
        ToolkitTest::TearDown();
    }

    // A page of class "TestPage" built from `body`, with `keys` keys and `leds` LEDs.
    CDevicePageUI* Build(const QString& body, int keys, int leds, bool withPath = true) {
        window_ = Show(QStringLiteral("<Window size=\"800,600\"><TestPage name=\"page\">") + body +
                       QStringLiteral("</TestPage></Window>"));
        page_ = window_->Find<CDevicePageUI>(QStringLiteral("page"));
        if (page_ == nullptr)
            return nullptr;
        page_->Model().SetDeviceXmlPath(withPath ? "XML/test.xml" : "");
        page_->Model().SetKeyCount(keys);
        page_->Model().SetLedCount(leds);
        page_->InitPage();
        return page_;
    }
    std::unique_ptr<TestWindow> Show(const QString& layout) {
        auto w = std::make_unique<TestWindow>(Write(QStringLiteral("XML/test.xml"), layout));
        w->factory = [this](const QString& tag) -> CControlUI* {
            if (tag != QLatin1String("TestPage"))
                return nullptr;
            return new CDevicePageUI(std::make_unique<CTessaronUSBDevice>(*bus_),
                                     QStringLiteral("TessaronUSBDevice"));
        };
        EXPECT_TRUE(w->Create());
        w->show();
        return w;
    }
    CDeviceKeyButtonUI* Cell(const char* name) const {
        return window_->Find<CDeviceKeyButtonUI>(QString::fromLatin1(name));
    }

    std::unique_ptr<sim::SimBus> bus_;
    std::unique_ptr<TestWindow> window_;
    CDevicePageUI* page_ = nullptr;
};

const char* const kCells = R"(
<SelectPanel name="panel">
  <DeviceKeyButton name="key_0" userdata="light_2" float="true" pos="0,0,20,20"/>
  <DeviceKeyButton name="KEY_1" float="true" pos="30,0,50,20"/>
  <DeviceKeyButton name="key_9" userdata="light_9" float="true" pos="60,0,80,20"/>
  <DeviceKeyButton name="lamp" userdata="Light_0" float="true" pos="90,0,110,20"/>
  <Button name="key_2" float="true" pos="120,0,140,20"/>
  <HorizontalLayout float="true" pos="0,40,100,60">
    <DeviceKeyButton name="key_3" userdata="light_1" width="20"/>
  </HorizontalLayout>
</SelectPanel>)";

TEST_F(DevicePageTest, BindsDirectCellsByNameAndUserData) {
    ASSERT_NE(Build(QString::fromLatin1(kCells), 4, 3), nullptr);
    const auto& keys = page_->KeyButtons();
    const auto& leds = page_->LedControls();
    ASSERT_EQ(keys.size(), 4u);
    ASSERT_EQ(leds.size(), 3u);
    EXPECT_EQ(keys[0], Cell("key_0"));
    EXPECT_EQ(keys[1], Cell("KEY_1")) << "the prefix compares without case";
    EXPECT_EQ(keys[2], nullptr) << "a plain button is no cell";
    EXPECT_EQ(keys[3], nullptr) << "cells below a direct child are not bound";
    EXPECT_EQ(leds[0], Cell("lamp"));
    EXPECT_EQ(leds[1], nullptr);
    EXPECT_EQ(leds[2], Cell("key_0")) << "a key is also the LED its user data names";
    // LED cells start white and lit; numbers past the tables bind nothing.
    EXPECT_TRUE(Cell("lamp")->IsKeyLightShown());
    EXPECT_EQ(Cell("lamp")->GetKeyLightColour(), 0xFFFFFFu);
    EXPECT_EQ(Cell("lamp")->GetKeyLightAlpha(), 255);
    EXPECT_FALSE(Cell("key_9")->IsKeyLightShown());
    EXPECT_EQ(page_->SelectPanel(), window_->FindControl(QStringLiteral("panel")));
}

TEST_F(DevicePageTest, WithoutSelectPanelTheTablesAreSizedButEmpty) {
    ASSERT_NE(Build(QStringLiteral("<HorizontalLayout><DeviceKeyButton name=\"key_0\"/>"
                                   "</HorizontalLayout>"),
                    2, 3),
              nullptr);
    EXPECT_EQ(page_->SelectPanel(), nullptr);
    EXPECT_EQ(page_->KeyButtons(), (std::vector<CDeviceKeyButtonUI*>{nullptr, nullptr}));
    EXPECT_EQ(page_->LedControls().size(), 3u);
    EXPECT_EQ(page_->LedControls()[0], nullptr);
}

TEST_F(DevicePageTest, WithoutPageLayoutThereAreNoKeysOrLeds) {
    ASSERT_NE(Build(QString::fromLatin1(kCells), 4, 3, false), nullptr);
    EXPECT_TRUE(page_->KeyButtons().empty());
    EXPECT_TRUE(page_->LedControls().empty());
    EXPECT_EQ(page_->Model().LedCount(), 0);
    EXPECT_EQ(page_->Model().KeyCount(), 0);
}

TEST_F(DevicePageTest, FramesColourTheCellsOnlyWhileTheProgramDrivesTheLeds) {
    ASSERT_NE(Build(QString::fromLatin1(kCells), 4, 3), nullptr);
    CTessaronUSBDevice& model = page_->Model();
    // Red 10, green 200, blue 30 in frame order, alpha 255.
    model.SetLedColour(0, LedColour{10, 200, 30, 255}.Pack());

    model.SetExternalLightControl(false);
    page_->PresentLightFrame();
    EXPECT_EQ(Cell("lamp")->GetKeyLightColour(), 0xFFFFFFu) << "left as it was";

    model.SetExternalLightControl(true);
    page_->PresentLightFrame();
    EXPECT_EQ(Cell("lamp")->GetKeyLightColour(), 10u + 30u * 256u + 200u * 65536u);
    EXPECT_EQ(CDeviceKeyButtonUI::LightColourToQColor(Cell("lamp")->GetKeyLightColour(), 255),
              QColor(10, 200, 30));
    // A hidden cell keeps its last colour (LED 2 was dark).
    Cell("key_0")->SetVisible(false);
    model.SetLedColour(2, LedColour{1, 2, 3, 255}.Pack());
    page_->PresentLightFrame();
    EXPECT_EQ(Cell("key_0")->GetKeyLightColour(), 0u);
    EXPECT_EQ(Cell("key_0")->GetKeyLightAlpha(), 0);
}

// Counts the paint events each watched widget receives.
class PaintCounter : public QObject {
public:
    std::map<const QObject*, int> paints;
    void Watch(CControlUI* control) { control->GetWidget()->installEventFilter(this); }
    int Of(CControlUI* control) const {
        const auto it = paints.find(control->GetWidget());
        return it == paints.end() ? 0 : it->second;
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++paints[watched];
        return false;
    }
};

TEST_F(DevicePageTest, FramesRepaintOnlyChangedCellsAndOnlyOnScreen) {
    ASSERT_NE(
        Build(QString::fromLatin1(kCells) +
                  QStringLiteral("<Label name=\"beacon\" float=\"true\" pos=\"0,100,20,120\"/>"),
              4, 3),
        nullptr);
    CTessaronUSBDevice& model = page_->Model();
    CControlUI* panel = window_->FindControl(QStringLiteral("panel"));
    CControlUI* beacon = window_->FindControl(QStringLiteral("beacon"));
    CDeviceKeyButtonUI* lamp = Cell("lamp");  // LED 0
    CDeviceKeyButtonUI* key = Cell("key_0");  // LED 2
    ASSERT_TRUE(panel && beacon && lamp && key);
    model.SetLedColour(0, LedColour{10, 20, 30, 255}.Pack());
    model.SetLedColour(2, LedColour{40, 50, 60, 255}.Pack());
    page_->PresentLightFrame();
    PaintCounter counter;
    for (CControlUI* c :
         {panel, beacon, static_cast<CControlUI*>(lamp), static_cast<CControlUI*>(key)})
        counter.Watch(c);
    // The beacon's own repaint tells when the window has painted what was asked for.
    const auto settle = [&] {
        const int before = counter.Of(beacon);
        beacon->GetWidget()->update();
        return WaitUntil([&] { return counter.Of(beacon) > before; });
    };
    ASSERT_TRUE(settle());
    counter.paints.clear();

    page_->PresentLightFrame();  // the same frame again
    ASSERT_TRUE(settle());
    EXPECT_EQ(counter.Of(lamp), 0);
    EXPECT_EQ(counter.Of(key), 0);

    model.SetLedColour(0, LedColour{11, 20, 30, 255}.Pack());
    page_->PresentLightFrame();
    ASSERT_TRUE(WaitUntil([&] { return counter.Of(lamp) > 0; }));
    ASSERT_TRUE(settle());
    EXPECT_EQ(counter.Of(key), 0) << "its colour did not change";

    // Off screen nothing paints, yet the cells follow the frame and show it when they return.
    panel->SetVisible(false);
    counter.paints.clear();
    model.SetLedColour(2, LedColour{41, 50, 60, 255}.Pack());
    for (int i = 0; i < 3; ++i)
        page_->PresentLightFrame();
    ASSERT_TRUE(settle());
    EXPECT_EQ(counter.Of(key) + counter.Of(lamp) + counter.Of(panel), 0);
    EXPECT_EQ(key->GetKeyLightColour(), (LedColour{41, 50, 60, 255}.ButtonColour()));
    panel->SetVisible(true);
    EXPECT_TRUE(WaitUntil([&] { return counter.Of(key) > 0; }));
}

TEST_F(DevicePageTest, FunctionTypeSelectsTheTabsOfItsTable) {
    ASSERT_NE(Build(QStringLiteral(R"(
<TabLayout name="device_function_switch"><Control/><Control/><Control/><Control/></TabLayout>
<TabLayout name="device_key_function_switch"><Control/><Control/><Control/></TabLayout>)"),
                    0, 0),
              nullptr);
    auto* functions = window_->Find<CTabLayoutUI>(QStringLiteral("device_function_switch"));
    auto* keys = window_->Find<CTabLayoutUI>(QStringLiteral("device_key_function_switch"));
    ASSERT_TRUE(functions && keys);
    page_->Model().SetSlotRecord(SupportedInterfaces()[4]);  // a mouse
    page_->SetFunctionType(2);
    EXPECT_EQ(functions->GetCurSel(), 0);
    EXPECT_EQ(keys->GetCurSel(), 1);
    page_->SetFunctionType(5);
    EXPECT_EQ(functions->GetCurSel(), 2);
    EXPECT_EQ(keys->GetCurSel(), 1) << "left as it was";
    page_->SetFunctionType(4);
    EXPECT_EQ(functions->GetCurSel(), 3);
    page_->SetFunctionType(7);
    EXPECT_EQ(functions->GetCurSel(), 0);
    EXPECT_EQ(keys->GetCurSel(), 2);
    EXPECT_EQ(page_->Model().GetFunctionType(), 7);
}

TEST_F(DevicePageTest, TimersAskedForFromADeviceThreadStartOnTheUiThread) {
    ASSERT_NE(Build(QString::fromLatin1(kCells), 4, 3), nullptr);
    class Entry : public CDeviceOptionUI {
    public:
        std::vector<std::pair<int, int>> started;
        bool onUiThread = true;

    protected:
        void SetEntryTimer(int id, int ms) override {
            onUiThread = onUiThread && QThread::currentThread() == qApp->thread();
            started.emplace_back(id, ms);
        }
    };
    auto* entry = new Entry;
    page_->Add(entry);
    page_->SetTabEntry(entry);
    std::thread([this] { page_->StartEntryTimer(kEntryTimerActiveProfile, 50); }).join();
    EXPECT_TRUE(entry->started.empty()) << "queued, not run on the device thread";
    EXPECT_TRUE(WaitUntil([&] { return !entry->started.empty(); }));
    EXPECT_EQ(entry->started, (std::vector<std::pair<int, int>>{{kEntryTimerActiveProfile, 50}}));
    EXPECT_TRUE(entry->onUiThread);
}

}  // namespace
}  // namespace morva::ui::test
