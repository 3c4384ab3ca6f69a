#include "ui/controls/cloud_share_list_item.h"

#include <QMouseEvent>
#include <QPainter>

#include "ui/toolkit/theme.h"

namespace morva::ui {

CCloudShareListItemUI::CCloudShareListItemUI(QWidget* parent) : CListContainerElementUI(parent) {}

bool CCloudShareListItemUI::Activate() {
    if (!IsEnabled() || !IsVisible()) {
        return false;
    }
    SendNotify(kNotifyItemActivate);
    return true;
}

bool CCloudShareListItemUI::event(QEvent* event) {
    switch (event->type()) {
        case QEvent::MouseButtonDblClick:
            // Taken here: the list would send its own "itemactivate" as well.
            if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
                Activate();
            }
            event->accept();
            return true;
        case QEvent::Enter:
            if (IsEnabled()) {
                hot_ = true;
                update();
            }
            break;
        case QEvent::Leave:
            hot_ = false;
            update();
            break;
        default:
            break;
    }
    return CListContainerElementUI::event(event);
}

void CCloudShareListItemUI::paintEvent(QPaintEvent* event) {
    CListContainerElementUI::paintEvent(event);
    if (!hot_ || IsSelected() || GetOwner() == nullptr) {
        return;
    }
    QPainter painter(this);
    painter.setPen(QColor::fromRgba(theme::kAccent));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

}  // namespace morva::ui
