// Image attribute values of the custom controls: a plain file name, or key='value' pairs
// such as "file='hand.png' source='0,0,40,40' dest='2,2,38,38' fade='128'".
#pragma once

#include <QRect>
#include <QString>

#include <optional>

#include "ui/toolkit/control.h"

class QPainter;

namespace morva::ui {

struct ImageString {
    // As written; looked up under the resource root.
    QString file;
    // Image pixels, edges as written (right and bottom exclusive).
    std::optional<LayoutRect> source;
    // Layout units relative to the area drawn into.
    std::optional<LayoutRect> dest;
    int fade = 255;

    static ImageString Parse(const QString& value);
    // "file='name' source='l,t,r,b'"
    static QString Compose(const QString& file, const LayoutRect& source);
};

// Absolute path of an image file under the resource root, or empty when it does not exist.
QString ResolveImageFile(const QString& file);

// Draws `value` stretched over `area` (or its dest part). A source reaching past the picture
// is cut to it. False when the value names no readable picture.
bool DrawImageString(QPainter& painter, const QRect& area, const QString& value);

}  // namespace morva::ui
