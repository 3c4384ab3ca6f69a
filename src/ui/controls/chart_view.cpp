#include "ui/controls/chart_view.h"

#include <QPainter>
#include <QTextDocument>

#include <algorithm>
#include <cmath>

#include "ui/controls/image_string.h"
#include "ui/toolkit/paint_manager.h"
#include "ui/toolkit/theme.h"

namespace morva::ui {

namespace {

// Decimal like the layouts write them; a trailing unit or junk after the digits is ignored.
int LeadingInt(const QString& value) {
    const QString t = value.trimmed();
    qsizetype end = 0;
    if (end < t.size() && (t[end] == u'-' || t[end] == u'+')) {
        ++end;
    }
    while (end < t.size() && t[end].isDigit()) {
        ++end;
    }
    return t.left(end).toInt();
}

}  // namespace

void CChartViewUI::AddItem(const QString& label, double value) {
    m_items.push_back({label, value});
    update();
}

void CChartViewUI::RemoveAllItems() {
    m_items.clear();
    update();
}

void CChartViewUI::SetView(int view) {
    if (view == kPie || view == kHistogram) {
        m_view = view;
        update();
    }
}

void CChartViewUI::SetAttribute(const QString& name, const QString& value) {
    CPlainControlUI::SetAttribute(name, value);
    const QString n = name.toLower();
    if (n == u"view") {
        // Layouts spell the second view this way.
        if (value == u"pie") {
            SetView(kPie);
        } else if (value == u"histpgram") {
            SetView(kHistogram);
        }
    } else if (n == u"shadowimage") {
        m_shadowImage = value;
    } else if (n == u"pillarimage") {
        m_pillarImage = value;
    } else if (n == u"shadowimageheight") {
        m_shadowHeight = LeadingInt(value);
    } else if (n == u"pillarimagewidth") {
        m_pillarWidth = LeadingInt(value);
    } else if (n == u"font") {
        m_chartFont = LeadingInt(value);
    } else if (n == u"showhtml") {
        m_showHtml = value == u"true";
    } else if (n == u"showtext") {
        m_showText = value == u"true";
    } else {
        return;
    }
    update();
}

QColor CChartViewUI::SliceColour(size_t index) const {
    // Steps round the colour wheel from the accent, so neighbours differ clearly.
    const QColor accent = QColor::fromRgba(theme::kAccent);
    const int hue = (accent.hsvHue() + static_cast<int>(index) * 47) % 360;
    return QColor::fromHsv(hue, accent.hsvSaturation(), accent.value());
}

void CChartViewUI::paintEvent(QPaintEvent* event) {
    CPlainControlUI::paintEvent(event);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setFont(m_chartFont >= 0 ? CPaintManagerUI::FontFor(GetManager(), m_chartFont)
                                     : font());
    if (m_view == kPie) {
        PaintPie(painter);
    } else {
        PaintHistogram(painter);
    }
}

void CChartViewUI::PaintPie(QPainter& painter) const {
    double total = 0;
    for (const Item& item : m_items) {
        total += std::max(0.0, item.value);
    }
    if (total <= 0) {
        return;
    }
    const int side = std::min(width(), height());
    const QRectF disc((width() - side) / 2.0, (height() - side) / 2.0, side, side);
    painter.setPen(Qt::NoPen);
    // From 12 o'clock, clockwise; Qt counts 1/16 degrees counter-clockwise.
    double start = 90.0;
    for (size_t i = 0; i < m_items.size(); ++i) {
        const double span = std::max(0.0, m_items[i].value) / total * 360.0;
        painter.setBrush(SliceColour(i));
        painter.drawPie(disc, static_cast<int>(std::lround(start * 16)),
                        -static_cast<int>(std::lround(span * 16)));
        start -= span;
    }
}

void CChartViewUI::PaintHistogram(QPainter& painter) {
    const int band = m_showText ? CPaintManagerUI::Scale(kTextBand) : 0;
    const int floor = height() - band;
    if (!m_shadowImage.isEmpty()) {
        const int shadow = CPaintManagerUI::Scale(m_shadowHeight);
        const QRect area(0, floor - shadow, width(), shadow);
        // A picture that cannot be drawn is not tried again on every repaint.
        if (!DrawImageString(painter, area, m_shadowImage)) {
            m_shadowImage.clear();
        }
    }
    if (m_items.empty()) {
        return;
    }
    double top = 0;
    for (const Item& item : m_items) {
        top = std::max(top, item.value);
    }
    const double slot = double(width()) / double(m_items.size());
    const double pillar =
        m_pillarWidth > 0 ? CPaintManagerUI::Scale(m_pillarWidth) : std::max(1.0, slot / 2);
    for (size_t i = 0; i < m_items.size(); ++i) {
        const double x = slot * double(i) + (slot - pillar) / 2;
        if (top > 0 && m_items[i].value > 0) {
            const double h = m_items[i].value / top * floor;
            const QRectF bar(x, floor - h, pillar, h);
            if (!DrawImageString(painter, bar.toRect(), m_pillarImage)) {
                painter.fillRect(bar, QColor::fromRgba(theme::kAccent));
            }
        }
        if (band > 0) {
            const QRectF cell(slot * double(i), floor, slot, band);
            painter.setPen(GetTextColor().isValid() ? GetTextColor()
                                                    : QColor::fromRgba(theme::kTextSecondary));
            if (m_showHtml) {
                QTextDocument doc;
                doc.setDefaultFont(painter.font());
                doc.setHtml(m_items[i].label);
                doc.setTextWidth(cell.width());
                painter.save();
                painter.translate(cell.topLeft());
                doc.drawContents(&painter, QRectF(QPointF(), cell.size()));
                painter.restore();
            } else {
                painter.drawText(cell, Qt::AlignCenter, m_items[i].label);
            }
        }
    }
}

}  // namespace morva::ui
