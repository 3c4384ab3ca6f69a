#include "ui/controls/select_panel.h"

#include <QAbstractButton>
#include <QChildEvent>
#include <QImageReader>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>

#include "ui/controls/device_key_button.h"
#include "ui/toolkit/paint_manager.h"
#include "ui/toolkit/theme.h"

namespace morva::ui {

namespace {

// Edges count as touching: a cell spans x .. x + width (its exclusive right edge) and the band
// spans left .. right, so a band whose right edge equals a cell's x, or whose left edge equals
// x + width, still selects it. QRect::intersects would miss both.
bool Touches(const QRect& band, const QRect& cell) {
    return band.left() <= cell.x() + cell.width() && cell.x() <= band.right() &&
           band.top() <= cell.y() + cell.height() && cell.y() <= band.bottom();
}

class BandOverlay : public QWidget {
public:
    explicit BandOverlay(CSelectPanelUI* panel) : QWidget(panel), panel_(panel) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        hide();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        const QRect band = panel_->SelectionRect();
        const QRectF area(QPointF(band.left(), band.top()), QPointF(band.right(), band.bottom()));
        QColor fill = QColor::fromRgba(theme::kAccent);
        fill.setAlpha(56);
        QPainter painter(this);
        painter.fillRect(area, fill);
        // Half a pen inside the band keeps the border on whole pixels at every scale.
        const qreal pen = CPaintManagerUI::Scale(1);
        if (area.width() > pen && area.height() > pen) {
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setPen(QPen(QColor::fromRgba(theme::kAccent), pen));
            painter.drawRect(area.adjusted(pen / 2, pen / 2, -pen / 2, -pen / 2));
        }
    }

private:
    CSelectPanelUI* panel_;
};

}  // namespace

CSelectPanelUI::CSelectPanelUI(QWidget* parent) : CVerticalLayoutUI(parent) {
    band_ = new BandOverlay(this);
}

void CSelectPanelUI::SetAttribute(const QString& name, const QString& value) {
    if (name.compare(u"bkimage", Qt::CaseInsensitive) != 0) {
        CVerticalLayoutUI::SetAttribute(name, value);
        return;
    }
    pictureFile_ = ImageFile(value);
    picture_ = QImage();
    update();
}

void CSelectPanelUI::paintEvent(QPaintEvent* event) {
    CVerticalLayoutUI::paintEvent(event);
    if (pictureFile_.isEmpty() || width() <= 0 || height() <= 0)
        return;
    const qreal dpr = devicePixelRatioF();
    const QSize pixels = (QSizeF(size()) * dpr).toSize();
    if (picture_.size() != pixels) {
        QImageReader reader(pictureFile_);
        reader.setScaledSize(pixels);
        picture_ = reader.read();
        picture_.setDevicePixelRatio(dpr);
    }
    QPainter painter(this);
    painter.setClipRegion(event->region());
    painter.drawImage(QPoint(0, 0), picture_);
}

void CSelectPanelUI::childEvent(QChildEvent* event) {
    // A press on a cell goes to the cell, so the panel watches its direct children to still
    // start a band from there.
    if (event->type() == QEvent::ChildAdded && event->child()->isWidgetType()) {
        event->child()->installEventFilter(this);
    }
    CVerticalLayoutUI::childEvent(event);
}

bool CSelectPanelUI::eventFilter(QObject* watched, QEvent* event) {
    auto* child = qobject_cast<QWidget*>(watched);
    if (child == nullptr || child == band_ || child->parentWidget() != this) {
        return CVerticalLayoutUI::eventFilter(watched, event);
    }
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::MouseButtonRelease:
            break;
        default:
            return false;
    }
    auto* mouse = static_cast<QMouseEvent*>(event);
    const QPoint point = child->mapToParent(mouse->position().toPoint());
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            if (mouse->button() == Qt::LeftButton) {
                Press(point);
            }
            break;
        case QEvent::MouseMove:
            Move(point);
            break;
        default:
            if (mouse->button() == Qt::LeftButton) {
                // A drag that ends over the pressed cell is a selection, not a click of it.
                if (auto* button = qobject_cast<QAbstractButton*>(child); button && dragging_) {
                    button->setDown(false);
                }
                Release();
            }
            break;
    }
    // The child still sees every event, so a click without movement reaches it.
    return false;
}

void CSelectPanelUI::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        CVerticalLayoutUI::mousePressEvent(event);
        return;
    }
    Press(event->position().toPoint());
    event->accept();
}

void CSelectPanelUI::mouseMoveEvent(QMouseEvent* event) {
    Move(event->position().toPoint());
    event->accept();
}

void CSelectPanelUI::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        CVerticalLayoutUI::mouseReleaseEvent(event);
        return;
    }
    Release();
    event->accept();
}

void CSelectPanelUI::resizeEvent(QResizeEvent* event) {
    CVerticalLayoutUI::resizeEvent(event);
    band_->setGeometry(rect());
}

// Events a child ignores travel on to the panel after its filter saw them, so each step must
// be harmless when it runs twice for the same event.
void CSelectPanelUI::Press(const QPoint& point) {
    if (!isEnabled()) {
        return;
    }
    mouseDown_ = 1;
    start_ = point;
}

void CSelectPanelUI::Move(const QPoint& point) {
    if (mouseDown_ != 0) {
        dragging_ = true;
    }
    if (!dragging_) {
        return;
    }
    current_ = point;
    selection_.setCoords(std::min(start_.x(), current_.x()), std::min(start_.y(), current_.y()),
                         std::max(start_.x(), current_.x()), std::max(start_.y(), current_.y()));
    if (!band_->isVisible()) {
        band_->setGeometry(rect());
        band_->raise();
        band_->show();
    }
    band_->update();
}

void CSelectPanelUI::Release() {
    mouseDown_ = 0;
    if (!dragging_) {
        return;
    }
    dragging_ = false;
    start_ = current_;
    ApplySelection();
    band_->hide();
    update();
    // Last: a handler may remove this panel.
    SendNotify(kNotifyClickSelectEnd);
}

void CSelectPanelUI::ApplySelection() {
    for (int i = 0; i < GetCount(); ++i) {
        CControlUI* control = GetItemAt(i);
        if (control == nullptr || control->GetClass() != u"DeviceKeyButton") {
            continue;
        }
        if (auto* key = dynamic_cast<CDeviceKeyButtonUI*>(control)) {
            key->SetKeySelected(Touches(selection_, control->GetPos()) ? 1 : 0);
        }
    }
}

}  // namespace morva::ui
