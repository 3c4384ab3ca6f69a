#include "ui/controls/hand_img_select_button.h"

#include <QImageReader>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <utility>

#include "ui/controls/image_string.h"

namespace morva::ui {

namespace {

// One axis of a pan: the shown span [lo, hi) follows the mouse by `delta` and stops at the
// picture's edges, keeping its length.
void PanAxis(int delta, int& lo, int& hi, int extent) {
    if (delta < 0 && hi < extent) {
        const int step = std::min(-delta, extent - hi);
        lo += step;
        hi += step;
    } else if (delta >= 0 && lo > 0) {
        const int step = std::min(delta, lo);
        lo -= step;
        hi -= step;
    }
}

}  // namespace

CHandImgSelectButtonUI::CHandImgSelectButtonUI(QWidget* parent) : CButtonUI(parent) {
    // Installed after the toolkit's filter, so it sees the double click first.
    installEventFilter(this);
}

void CHandImgSelectButtonUI::SetHandImage(const QString& file) {
    const QString name = ImageString::Parse(file).file;
    const QSize size = QImageReader(ResolveImageFile(name)).size();
    if (!size.isValid() || size.isEmpty()) {
        return;
    }
    file_ = name;
    imageSize_ = size;
    source_ = {0, 0, width(), height()};
    FitSource();
    update();
}

void CHandImgSelectButtonUI::FitSource() {
    if (file_.isEmpty()) {
        return;
    }
    // The shown part keeps its corner and takes the button's size; a grown button pulls it
    // back inside the picture where the picture is large enough.
    source_.right = source_.left + width();
    source_.bottom = source_.top + height();
    const int backX = std::clamp(source_.right - imageSize_.width(), 0, source_.left);
    const int backY = std::clamp(source_.bottom - imageSize_.height(), 0, source_.top);
    source_ = {source_.left - backX, source_.top - backY, source_.right - backX,
               source_.bottom - backY};
    const bool larger = width() < imageSize_.width() || height() < imageSize_.height();
    drawn_ = larger ? ImageString::Compose(file_, source_) : file_;
}

bool CHandImgSelectButtonUI::SetCursorName(const QString& name) {
    static const std::pair<const char*, Qt::CursorShape> shapes[] = {
        {"arrow", Qt::ArrowCursor},
        {"ibeam", Qt::IBeamCursor},
        {"wait", Qt::WaitCursor},
        {"cross", Qt::CrossCursor},
        {"uparrow", Qt::UpArrowCursor},
        {"size", Qt::SizeAllCursor},
        // Qt has no plain icon cursor; the arrow is the closest.
        {"icon", Qt::ArrowCursor},
        {"sizenwse", Qt::SizeFDiagCursor},
        {"sizenesw", Qt::SizeBDiagCursor},
        {"sizewe", Qt::SizeHorCursor},
        {"sizens", Qt::SizeVerCursor},
        {"sizeall", Qt::SizeAllCursor},
        {"no", Qt::ForbiddenCursor},
        {"hand", Qt::PointingHandCursor},
    };
    for (const auto& [key, shape] : shapes) {
        if (name == QLatin1String(key)) {
            setCursor(shape);
            return true;
        }
    }
    return false;
}

void CHandImgSelectButtonUI::SetAttribute(const QString& name, const QString& value) {
    const QString n = name.toLower();
    if (n == u"handimage") {
        SetHandImage(value);
    } else if (n == u"cursor") {
        SetCursorName(value);
    } else {
        CButtonUI::SetAttribute(name, value);
    }
}

void CHandImgSelectButtonUI::paintEvent(QPaintEvent* event) {
    CButtonUI::paintEvent(event);
    if (drawn_.isEmpty()) {
        return;
    }
    QPainter painter(this);
    DrawImageString(painter, rect(), drawn_);
}

void CHandImgSelectButtonUI::resizeEvent(QResizeEvent* event) {
    CButtonUI::resizeEvent(event);
    FitSource();
}

// The button's own press handling is left out on purpose: it would click on release.
void CHandImgSelectButtonUI::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    const QPoint point = event->position().toPoint();
    // A drag needs a known start; a press that was refused has none.
    if (isEnabled() && rect().contains(point)) {
        setDown(true);
        captured_ = true;
        last_ = point;
        dragging_ = true;
    }
    event->accept();
}

void CHandImgSelectButtonUI::mouseDoubleClickEvent(QMouseEvent* event) {
    mousePressEvent(event);
}

void CHandImgSelectButtonUI::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_) {
        event->ignore();
        return;
    }
    Pan(event->position().toPoint());
    event->accept();
}

void CHandImgSelectButtonUI::Pan(const QPoint& to) {
    if (!file_.isEmpty()) {
        PanAxis(to.x() - last_.x(), source_.left, source_.right, imageSize_.width());
        PanAxis(to.y() - last_.y(), source_.top, source_.bottom, imageSize_.height());
        drawn_ = ImageString::Compose(file_, source_);
    }
    last_ = to;
    if (captured_) {
        setDown(rect().contains(to));
    }
    update();
}

void CHandImgSelectButtonUI::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    if (captured_) {
        setDown(false);
        captured_ = false;
    }
    dragging_ = false;
    update();
    event->accept();
}

bool CHandImgSelectButtonUI::eventFilter(QObject* watched, QEvent* event) {
    if (watched == this && event->type() == QEvent::MouseButtonDblClick) {
        // Handled here so the toolkit's filter never turns it into "dbclick".
        mouseDoubleClickEvent(static_cast<QMouseEvent*>(event));
        return true;
    }
    return CButtonUI::eventFilter(watched, event);
}

}  // namespace morva::ui
