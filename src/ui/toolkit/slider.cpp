#include "ui/toolkit/slider.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionSlider>

#include <algorithm>

namespace morva::ui {

CSliderUI::CSliderUI(QWidget* parent) : QSlider(Qt::Horizontal, parent), CControlUI(this) {
    setRange(0, 100);
    UpdatePageStep();
    QObject::connect(this, &QSlider::valueChanged, this, [this](int v) {
        if (internal_) {
            return;
        }
        SendNotify(isSliderDown() ? kNotifyMoveValueChanged : kNotifyValueChanged, v);
    });
    QObject::connect(this, &QSlider::sliderReleased, this,
                     [this] { SendNotify(kNotifyValueChanged, value()); });
}

template <class F>
void CSliderUI::Quietly(F&& change) {
    internal_ = true;
    change();
    internal_ = false;
}

void CSliderUI::SetValue(int v) {
    Quietly([&] { setValue(v); });
}

void CSliderUI::SetMinValue(int v) {
    Quietly([&] { setMinimum(v); });
    UpdatePageStep();
    updateGeometry();
}

void CSliderUI::SetMaxValue(int v) {
    Quietly([&] { setMaximum(v); });
    UpdatePageStep();
    updateGeometry();
}

void CSliderUI::SetAttribute(const QString& name, const QString& value) {
    const QString n = name.toLower();
    if (n == u"min") {
        SetMinValue(attr::ParseInt(value));
    } else if (n == u"max") {
        SetMaxValue(attr::ParseInt(value));
    } else if (n == u"value") {
        SetValue(attr::ParseInt(value));
    } else if (n == u"step") {
        setSingleStep(std::max(1, attr::ParseInt(value, 1)));
        UpdatePageStep();
    } else if (n == u"vertical") {
        setOrientation(attr::ParseBool(value) ? Qt::Vertical : Qt::Horizontal);
        updateGeometry();
    } else if (n == u"showvalue") {
        SetValueShown(attr::ParseBool(value));
    } else if (n == u"valueformat") {
        formatKey_ = value;
        RefreshText();
    } else {
        CControlUI::SetAttribute(name, value);
    }
}

void CSliderUI::RefreshText() {
    CControlUI::RefreshText();
    format_ = formatKey_.isEmpty() ? QString() : Resolve(formatKey_);
    updateGeometry();
    update();
}

void CSliderUI::SetValueShown(bool shown) {
    if (shown == showValue_) {
        return;
    }
    showValue_ = shown;
    updateGeometry();
    update();
}

QString CSliderUI::ValueText(int v) const {
    return format_.contains(u"%1") ? format_.arg(v) : QString::number(v);
}

QString CSliderUI::GetValueText() const {
    return ValueText(value());
}

int CSliderUI::ValueWidth() const {
    if (!showValue_) {
        return 0;
    }
    const QFontMetrics metrics = fontMetrics();
    if (orientation() == Qt::Vertical) {
        return metrics.height() + metrics.height() / 2;  // a line under the track
    }
    // The widest end of the range, so the track keeps its length while the value changes;
    // three digits at least, so the tracks of a column of sliders end together.
    const int text = std::max({metrics.horizontalAdvance(ValueText(minimum())),
                               metrics.horizontalAdvance(ValueText(maximum())),
                               metrics.horizontalAdvance(QStringLiteral("000"))});
    return text + metrics.height();
}

void CSliderUI::initStyleOption(QStyleOptionSlider* option) const {
    QSlider::initStyleOption(option);
    if (orientation() == Qt::Vertical) {
        option->rect.setHeight(std::max(0, option->rect.height() - ValueWidth()));
    } else {
        option->rect.setWidth(std::max(0, option->rect.width() - ValueWidth()));
    }
}

QRect CSliderUI::GetTrackRect() const {
    QStyleOptionSlider option;
    initStyleOption(&option);
    return style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
}

QSize CSliderUI::ValueRoom() const {
    if (orientation() == Qt::Horizontal) {
        return {ValueWidth(), 0};
    }
    return {0, ValueWidth()};
}

QSize CSliderUI::sizeHint() const {
    return QSlider::sizeHint() + ValueRoom();
}

QSize CSliderUI::minimumSizeHint() const {
    return QSlider::minimumSizeHint() + ValueRoom();
}

void CSliderUI::paintEvent(QPaintEvent* event) {
    QSlider::paintEvent(event);
    if (!showValue_) {
        return;
    }
    QPainter painter(this);
    const int room = ValueWidth();
    const bool vertical = orientation() == Qt::Vertical;
    const QRect box = vertical ? QRect(0, rect().bottom() - room + 1, width(), room)
                               : QRect(rect().right() - room + 1, 0, room, height());
    const Qt::Alignment align =
        vertical ? Qt::AlignHCenter | Qt::AlignBottom : Qt::AlignRight | Qt::AlignVCenter;
    style()->drawItemText(&painter, box, align, palette(), isEnabled(), GetValueText(),
                          QPalette::WindowText);
}

int CSliderUI::ValueAt(const QPoint& pos) const {
    QStyleOptionSlider option;
    initStyleOption(&option);
    const QRect groove =
        style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
    const QRect handle =
        style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
    // The handle's centre goes to the pointer.
    if (orientation() == Qt::Vertical) {
        const int span = groove.height() - handle.height();
        return QStyle::sliderValueFromPosition(minimum(), maximum(),
                                               pos.y() - handle.height() / 2 - groove.y(),
                                               std::max(0, span), option.upsideDown);
    }
    const int span = groove.width() - handle.width();
    return QStyle::sliderValueFromPosition(minimum(), maximum(),
                                           pos.x() - handle.width() / 2 - groove.x(),
                                           std::max(0, span), option.upsideDown);
}

void CSliderUI::mousePressEvent(QMouseEvent* event) {
    // Qt's own press on the track pages towards the pointer, which on a short range such as
    // 0..4 lands on an end.
    if (event->button() == Qt::LeftButton && event->buttons() == Qt::LeftButton &&
        minimum() < maximum()) {
        QStyleOptionSlider option;
        initStyleOption(&option);
        const QRect handle =
            style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
        if (!handle.contains(event->position().toPoint())) {
            trackDrag_ = true;
            setSliderDown(true);
            setSliderPosition(ValueAt(event->position().toPoint()));
            event->accept();
            return;
        }
    }
    QSlider::mousePressEvent(event);
}

void CSliderUI::mouseMoveEvent(QMouseEvent* event) {
    if (trackDrag_) {
        setSliderPosition(ValueAt(event->position().toPoint()));
        event->accept();
        return;
    }
    QSlider::mouseMoveEvent(event);
}

void CSliderUI::mouseReleaseEvent(QMouseEvent* event) {
    if (trackDrag_ && event->button() == Qt::LeftButton) {
        trackDrag_ = false;
        setSliderPosition(ValueAt(event->position().toPoint()));
        setSliderDown(false);
        event->accept();
        return;
    }
    QSlider::mouseReleaseEvent(event);
}

void CSliderUI::UpdatePageStep() {
    // A tenth of the range, so Page Up and the wheel never jump a short range to its end.
    setPageStep(std::max(singleStep(), (maximum() - minimum()) / 10));
}

}  // namespace morva::ui
