// The layout files' XML as a small element tree (internal to the toolkit).
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>
#include <utility>
#include <vector>

namespace morva::ui {

struct XmlElement {
    QString tag;
    // In document order: later attributes may depend on earlier ones.
    std::vector<std::pair<QString, QString>> attributes;
    std::vector<XmlElement> children;
    qint64 line = 0;

    // Value of an attribute (name case ignored), or a null QString.
    QString Attribute(const QString& name) const;
};

// The document element, or nothing with *error set.
std::optional<XmlElement> ParseLayoutXml(const QByteArray& bytes, QString* error);
// Reads a whole file; nothing when it cannot be read or parsed.
std::optional<XmlElement> ReadLayoutFile(const QString& path, QString* error);

}  // namespace morva::ui
