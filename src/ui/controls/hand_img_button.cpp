#include "ui/controls/hand_img_button.h"

#include <QMouseEvent>
#include <QPainter>

#include "ui/controls/image_string.h"
#include "ui/toolkit/paint_manager.h"

namespace morva::ui {

CHandImgButtonUI::CHandImgButtonUI(QWidget* parent) : CButtonUI(parent) {
    // Moves without a button decide which delete picture applies.
    setMouseTracking(true);
    // Installed after the toolkit's filter, so it sees the double click first.
    installEventFilter(this);
}

void CHandImgButtonUI::SetHandImage(const QString& image) {
    handImage_ = image;
    update();
}

QRect CHandImgButtonUI::DeleteArea() const {
    const int side = CPaintManagerUI::Scale(20);
    return {width() - CPaintManagerUI::Scale(30), height() - CPaintManagerUI::Scale(29), side,
            side};
}

void CHandImgButtonUI::SetAttribute(const QString& name, const QString& value) {
    const QString n = name.toLower();
    if (n == u"handimage") {
        SetHandImage(value);
    } else if (n == u"deletenormalimage") {
        deleteNormal_ = value;
    } else if (n == u"deletehotimage") {
        deleteHot_ = value;
    } else {
        CButtonUI::SetAttribute(name, value);
    }
}

void CHandImgButtonUI::paintEvent(QPaintEvent* event) {
    CButtonUI::paintEvent(event);
    if (handImage_.isEmpty()) {
        return;
    }
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    DrawImageString(painter, rect(), handImage_);
}

void CHandImgButtonUI::mouseMoveEvent(QMouseEvent* event) {
    const bool overDelete = DeleteArea().contains(event->position().toPoint());
    deleteCurrent_ = overDelete ? deleteHot_ : deleteNormal_;
    CButtonUI::mouseMoveEvent(event);
    update();
}

bool CHandImgButtonUI::eventFilter(QObject* watched, QEvent* event) {
    if (watched == this && event->type() == QEvent::MouseButtonDblClick) {
        // Handled as a press here so the toolkit's filter never turns it into "dbclick".
        if (isEnabled()) {
            CButtonUI::mouseDoubleClickEvent(static_cast<QMouseEvent*>(event));
            update();
        }
        return true;
    }
    return CButtonUI::eventFilter(watched, event);
}

}  // namespace morva::ui
