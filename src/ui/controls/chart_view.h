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
    const std::vector<Item>& GetItems() const { return m_items; }

    int GetView() const { return m_view; }
    void SetView(int view);
    QString GetShadowImage() const { return m_shadowImage; }
    int GetShadowImageHeight() const { return m_shadowHeight; }
    QString GetPillarImage() const { return m_pillarImage; }
    int GetPillarImageWidth() const { return m_pillarWidth; }
    bool IsShowHtml() const { return m_showHtml; }
    bool IsShowText() const { return m_showText; }
    int GetChartFont() const { return m_chartFont; }

    // The plain control reads every attribute first, then the chart its own.
    void SetAttribute(const QString& name, const QString& value) override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void PaintPie(QPainter& painter) const;
    void PaintHistogram(QPainter& painter);
    QColor SliceColour(size_t index) const;

    std::vector<Item> m_items;
    int m_view = kPie;
    QString m_shadowImage;
    int m_shadowHeight = 0;
    QString m_pillarImage;
    int m_pillarWidth = 0;
    bool m_showHtml = false;
    bool m_showText = true;
    int m_chartFont = -1;
};

}  // namespace morva::ui
