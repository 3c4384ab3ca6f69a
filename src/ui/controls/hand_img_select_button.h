// A picture larger than its button, panned by dragging it with the mouse.
#pragma once

#include <QPoint>
#include <QSize>

#include "ui/toolkit/controls.h"

namespace morva::ui {

// Shows the part of the picture that fits the button, one picture pixel per pixel. Dragging
// moves the picture with the mouse until one of its edges reaches the button's edge. Sends
// "msenter"/"msleave" but never "click" or "dbclick" from the mouse.
class CHandImgSelectButtonUI : public CButtonUI {
public:
    explicit CHandImgSelectButtonUI(QWidget* parent = nullptr);
    QString GetClass() const override { return QStringLiteral("HandImgSelectButton"); }

    // A picture that cannot be read changes nothing.
    void SetHandImage(const QString& file);
    QString GetImageFile() const { return file_; }
    QSize GetImageSize() const { return imageSize_; }
    // The image value painted over the button.
    QString GetDrawnImage() const { return drawn_; }
    // The shown part, in picture pixels; always the button's size.
    LayoutRect GetSource() const { return source_; }
    bool IsDragging() const { return dragging_; }

    // "arrow", "ibeam", "wait", "cross", "uparrow", "size", "icon", "sizenwse", "sizenesw",
    // "sizewe", "sizens", "sizeall", "no", "hand"; false for other names (cursor unchanged).
    bool SetCursorName(const QString& name);

    void SetAttribute(const QString& name, const QString& value) override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FitSource();
    void Pan(const QPoint& to);

    QString file_;
    QString drawn_;
    QSize imageSize_;
    LayoutRect source_;
    bool dragging_ = false;
    bool captured_ = false;
    QPoint last_;
};

}  // namespace morva::ui
