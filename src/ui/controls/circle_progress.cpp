#include "ui/controls/circle_progress.h"

#include <QImage>
#include <QPainter>

#include <algorithm>

#include "ui/toolkit/paint_manager.h"
#include "ui/toolkit/theme.h"

namespace morva::ui {

CCircleProgressUI::CCircleProgressUI(QWidget* parent)
    : CProgressUI(parent), foreColor_(QColor::fromRgba(theme::kAccent)) {
    // The theme's bar background would show as a rectangle around the ring.
    UpdateStyle();
}

void CCircleProgressUI::SetForeColor(const QColor& color) {
    foreColor_ = color.isValid() ? color : QColor::fromRgba(theme::kAccent);
    update();
}

QColor CCircleProgressUI::GetTrackColor() const {
    return GetBkColor().isValid() ? GetBkColor() : QColor::fromRgba(theme::kRaised);
}

int CCircleProgressUI::SweepDegrees() const {
    // 64-bit: a range spanning most of int would overflow.
    const qint64 range = qint64(maximum()) - minimum();
    if (range <= 0) {
        return 0;
    }
    // Measured from the minimum, or a range not starting at 0 would overrun the ring.
    const double part = double(qint64(value()) - minimum()) / double(range);
    return std::clamp(static_cast<int>(part * 360.0), 0, 360);
}

int CCircleProgressUI::RingWidth() {
    return CPaintManagerUI::Scale(10);
}

void CCircleProgressUI::SetAttribute(const QString& name, const QString& value) {
    if (name.compare(u"forecolor", Qt::CaseInsensitive) == 0) {
        SetForeColor(attr::ParseColor(value));
    } else {
        CProgressUI::SetAttribute(name, value);
        if (name.compare(u"bkcolor", Qt::CaseInsensitive) == 0) {
            update();
        }
    }
}

void CCircleProgressUI::CollectStyle(StyleRules& rules) const {
    CProgressUI::CollectStyle(rules);
    QStringList& plain = rules[QString()];
    plain.erase(std::remove_if(plain.begin(), plain.end(),
                               [](const QString& d) { return d.startsWith(u"background"); }),
                plain.end());
    plain << QStringLiteral("background: transparent") << QStringLiteral("border: none");
}

void CCircleProgressUI::paintEvent(QPaintEvent*) {
    if (width() <= 0 || height() <= 0) {
        return;
    }
    // Drawn apart first so the centre can be cut out without cutting into what lies behind.
    const qreal dpr = devicePixelRatioF();
    QImage ring((size() * dpr), QImage::Format_ARGB32_Premultiplied);
    ring.setDevicePixelRatio(dpr);
    ring.fill(Qt::transparent);
    {
        QPainter p(&ring);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        const QRectF area(rect());
        p.setBrush(GetTrackColor());
        p.drawEllipse(area);
        if (const int sweep = SweepDegrees(); sweep > 0) {
            // Qt turns counter-clockwise from 3 o'clock: -90° is the bottom, a negative span
            // runs clockwise.
            p.setBrush(foreColor_);
            p.drawPie(area, -90 * 16, -sweep * 16);
        }
        const int inset = RingWidth();
        const QRectF hole = area.adjusted(inset, inset, -inset, -inset);
        if (hole.width() > 0 && hole.height() > 0) {
            p.setCompositionMode(QPainter::CompositionMode_Clear);
            p.setBrush(Qt::black);
            p.drawEllipse(hole);
        }
    }
    QPainter painter(this);
    painter.drawImage(QPointF(0, 0), ring);
    if (isTextVisible()) {
        painter.setPen(GetTextColor().isValid() ? GetTextColor() : QColor::fromRgba(theme::kText));
        painter.drawText(rect(), Qt::AlignCenter, text());
    }
}

}  // namespace morva::ui
