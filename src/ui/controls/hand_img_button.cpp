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
    m_handImage = image;
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
        m_deleteNormal = value;
    } else if (n == u"deletehotimage") {
        m_deleteHot = value;
    } else {
        CButtonUI::SetAttribute(name, value);
    }
}

void CHandImgButtonUI::paintEvent(QPaintEvent* event) {
    CButtonUI::paintEvent(event);
    if (m_handImage.isEmpty()) {
        return;
    }
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    DrawImageString(painter, rect(), m_handImage);
}

void CHandImgButtonUI::mouseMoveEvent(QMouseEvent* event) {
    const bool overDelete = DeleteArea().contains(event->position().toPoint());
    m_deleteCurrent = overDelete ? m_deleteHot : m_deleteNormal;
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
