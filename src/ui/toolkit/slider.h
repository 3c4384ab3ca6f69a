// The slider control: a track whose value shows as a number beside it (below a vertical one).
#pragma once

#include <QSlider>

#include "ui/toolkit/control.h"

class QStyleOptionSlider;

namespace morva::ui {

// A press on the track puts the handle at the pressed value and drags it from there, like a
// press on the handle. While the handle is dragged: "movevaluechanged" per step; on release:
// one "valuechanged". A keyboard or wheel step: "valuechanged". wParam = the value.
// Attributes: "min", "max", "value", "step", "vertical" (default false; a vertical track has
// its maximum at the top), "showvalue" (default true: the value is drawn right of the track,
// or under it), "valueformat" (a text or language key with "%1" for the number).
class CSliderUI : public QSlider, public CControlUI {
public:
    explicit CSliderUI(QWidget* parent = nullptr);
    QString GetClass() const override { return QStringLiteral("SliderUI"); }

    int GetValue() const { return value(); }
    void SetValue(int value);
    int GetMinValue() const { return minimum(); }
    void SetMinValue(int value);
    int GetMaxValue() const { return maximum(); }
    void SetMaxValue(int value);
    void SetAttribute(const QString& name, const QString& value) override;

    bool IsValueShown() const { return showValue_; }
    void SetValueShown(bool shown);
    // The value as drawn beside the track (also when it is not shown).
    QString GetValueText() const;
    // Where the track lies in the widget.
    QRect GetTrackRect() const;

    void RefreshText() override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void initStyleOption(QStyleOptionSlider* option) const override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    template <class F>
    void Quietly(F&& change);
    QString ValueText(int value) const;
    // Room for the widest value and a gap before it (for a vertical track: a line's height);
    // 0 when the value is not shown.
    int ValueWidth() const;
    QSize ValueRoom() const;
    int ValueAt(const QPoint& pos) const;
    void UpdatePageStep();

    bool internal_ = false;
    bool showValue_ = true;
    bool trackDrag_ = false;
    QString formatKey_;
    QString format_;
};

}  // namespace morva::ui
