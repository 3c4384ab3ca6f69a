#include "ui/controls/register_controls.h"

#include "ui/controls/audio_record.h"
#include "ui/controls/chart_view.h"
#include "ui/controls/circle_progress.h"
#include "ui/controls/cloud_share_list_item.h"
#include "ui/controls/combo_edit_container_element.h"
#include "ui/controls/device_key_button.h"
#include "ui/controls/hand_img_button.h"
#include "ui/controls/hand_img_select_button.h"
#include "ui/controls/redio_macro_button.h"
#include "ui/controls/select_panel.h"
#include "ui/controls/wnd.h"
#include "ui/toolkit/dialog_builder.h"

namespace morva::ui {

namespace {

// Factory creators hand back parentless controls; the builder gives them a parent.
template <class T>
void Register(CControlFactory& factory, const char* tag, const char* className) {
    const auto create = []() -> CControlUI* { return new T; };
    factory.RegistControl(QString::fromLatin1(className), create);
    factory.RegistControl(QString::fromLatin1(tag), create);
}

}  // namespace

void RegisterDeviceControls() {
    // Registering a name again replaces its creator with the same one.
    CControlFactory& factory = CControlFactory::Instance();
    Register<CDeviceKeyButtonUI>(factory, "DeviceKeyButton", "CDeviceKeyButtonUI");
    Register<CSelectPanelUI>(factory, "SelectPanel", "CSelectPanelUI");
    Register<CCircleProgressUI>(factory, "CircleProgress", "CCircleProgressUI");
    Register<CHandImgButtonUI>(factory, "HandImgButton", "CHandImgButtonUI");
    Register<CHandImgSelectButtonUI>(factory, "HandImgSelectButton", "CHandImgSelectButtonUI");
    Register<CRedioMacroButtonUI>(factory, "RedioMacroButton", "CRedioMacroButtonUI");
    Register<CAudioRecordUI>(factory, "AudioRecord", "CAudioRecordUI");
    // Its class name is the plain control's, so the tag is its own.
    Register<CChartViewUI>(factory, "ChartView", "CChartViewUI");
    Register<CComboEditContainerElementUI>(factory, "ComboEditContainerElement",
                                           "CComboEditContainerElementUI");
    Register<CCloudShareListItemUI>(factory, "CloudShareListItemUI", "CCloudShareListItemUI");
    Register<CWndUI>(factory, "Wnd", "CWndUI");
}

}  // namespace morva::ui
