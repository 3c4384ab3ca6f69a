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
    items_.push_back({label, value});
    update();
}

void CChartViewUI::RemoveAllItems() {
    items_.clear();
    update();
}

void CChartViewUI::SetView(int view) {
    if (view == kPie || view == kHistogram) {
        view_ = view;
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
        shadowImage_ = value;
    } else if (n == u"pillarimage") {
        pillarImage_ = value;
    } else if (n == u"shadowimageheight") {
        shadowHeight_ = LeadingInt(value);
    } else if (n == u"pillarimagewidth") {
        pillarWidth_ = LeadingInt(value);
    } else if (n == u"font") {
        chartFont_ = LeadingInt(value);
    } else if (n == u"showhtml") {
        showHtml_ = value == u"true";
    } else if (n == u"showtext") {
        showText_ = value == u"true";
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
    painter.setFont(chartFont_ >= 0 ? CPaintManagerUI::FontFor(GetManager(), chartFont_) : font());
    if (view_ == kPie) {
        PaintPie(painter);
    } else {
        PaintHistogram(painter);
    }
}

void CChartViewUI::PaintPie(QPainter& painter) const {
    double total = 0;
    for (const Item& item : items_) {
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
    for (size_t i = 0; i < items_.size(); ++i) {
        const double span = std::max(0.0, items_[i].value) / total * 360.0;
        painter.setBrush(SliceColour(i));
        painter.drawPie(disc, static_cast<int>(std::lround(start * 16)),
                        -static_cast<int>(std::lround(span * 16)));
        start -= span;
    }
}

void CChartViewUI::PaintHistogram(QPainter& painter) {
    const int band = showText_ ? CPaintManagerUI::Scale(kTextBand) : 0;
    const int floor = height() - band;
    if (!shadowImage_.isEmpty()) {
        const int shadow = CPaintManagerUI::Scale(shadowHeight_);
        const QRect area(0, floor - shadow, width(), shadow);
        // A picture that cannot be drawn is not tried again on every repaint.
        if (!DrawImageString(painter, area, shadowImage_)) {
            shadowImage_.clear();
        }
    }
    if (items_.empty()) {
        return;
    }
    double top = 0;
    for (const Item& item : items_) {
        top = std::max(top, item.value);
    }
    const double slot = double(width()) / double(items_.size());
    const double pillar =
        pillarWidth_ > 0 ? CPaintManagerUI::Scale(pillarWidth_) : std::max(1.0, slot / 2);
    for (size_t i = 0; i < items_.size(); ++i) {
        const double x = slot * double(i) + (slot - pillar) / 2;
        if (top > 0 && items_[i].value > 0) {
            const double h = items_[i].value / top * floor;
            const QRectF bar(x, floor - h, pillar, h);
            if (!DrawImageString(painter, bar.toRect(), pillarImage_)) {
                painter.fillRect(bar, QColor::fromRgba(theme::kAccent));
            }
        }
        if (band > 0) {
            const QRectF cell(slot * double(i), floor, slot, band);
            painter.setPen(GetTextColor().isValid() ? GetTextColor()
                                                    : QColor::fromRgba(theme::kTextSecondary));
            if (showHtml_) {
                QTextDocument doc;
                doc.setDefaultFont(painter.font());
                doc.setHtml(items_[i].label);
                doc.setTextWidth(cell.width());
                painter.save();
                painter.translate(cell.topLeft());
                doc.drawContents(&painter, QRectF(QPointF(), cell.size()));
                painter.restore();
            } else {
                painter.drawText(cell, Qt::AlignCenter, items_[i].label);
            }
        }
    }
}

}  // namespace morva::ui
