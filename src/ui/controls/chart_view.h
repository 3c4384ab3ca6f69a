// A small chart of labelled values, as a pie or as a row of pillars.
#pragma once

#include <QString>

#include <vector>

#include "ui/toolkit/controls.h"

namespace morva::ui {

// Keeps the plain control's class name. Attributes: `view` ("pie" or "histpgram"),
// `shadowimage` + `shadowimageheight` (a floor under the pillars), `pillarimage` +
// `pillarimagewidth`, `showtext` (labels under the pillars), `showhtml`, `font`.
class CChartViewUI : public CPlainControlUI {
public:
    enum View { kPie = 0, kHistogram = 1 };
    struct Item {
        QString label;
        double value = 0;
    };
    // Layout units at the bottom kept for the labels when texts are shown.
    static constexpr int kTextBand = 25;

    explicit CChartViewUI(QWidget* parent = nullptr) : CPlainControlUI(parent) {}

    void AddItem(const QString& label, double value);
    void RemoveAllItems();
    const std::vector<Item>& GetItems() const { return items_; }

    int GetView() const { return view_; }
    void SetView(int view);
    QString GetShadowImage() const { return shadowImage_; }
    int GetShadowImageHeight() const { return shadowHeight_; }
    QString GetPillarImage() const { return pillarImage_; }
    int GetPillarImageWidth() const { return pillarWidth_; }
    bool IsShowHtml() const { return showHtml_; }
    bool IsShowText() const { return showText_; }
    int GetChartFont() const { return chartFont_; }

    // The plain control reads every attribute first, then the chart its own.
    void SetAttribute(const QString& name, const QString& value) override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void PaintPie(QPainter& painter) const;
    void PaintHistogram(QPainter& painter);
    QColor SliceColour(size_t index) const;

    std::vector<Item> items_;
    int view_ = kPie;
    QString shadowImage_;
    int shadowHeight_ = 0;
    QString pillarImage_;
    int pillarWidth_ = 0;
    bool showHtml_ = false;
    bool showText_ = true;
    int chartFont_ = -1;
};

}  // namespace morva::ui
