#include "ui/toolkit/layout_xml.h"

#include <QFile>
#include <QXmlStreamReader>

namespace morva::ui {

QString XmlElement::Attribute(const QString& name) const {
    for (const auto& [key, value] : attributes) {
        if (key.compare(name, Qt::CaseInsensitive) == 0) {
            return value;
        }
    }
    return {};
}

std::optional<XmlElement> ParseLayoutXml(const QByteArray& bytes, QString* error) {
    QXmlStreamReader reader(bytes);
    std::vector<XmlElement> stack;
    std::optional<XmlElement> root;
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::StartElement) {
            if (root) {
                break;
            }
            XmlElement element;
            element.tag = reader.name().toString();
            element.line = reader.lineNumber();
            for (const QXmlStreamAttribute& a : reader.attributes()) {
                element.attributes.emplace_back(a.name().toString(), a.value().toString());
            }
            stack.push_back(std::move(element));
        } else if (token == QXmlStreamReader::EndElement) {
            XmlElement done = std::move(stack.back());
            stack.pop_back();
            if (stack.empty()) {
                root = std::move(done);
            } else {
                stack.back().children.push_back(std::move(done));
            }
        }
    }
    if (reader.hasError() || !root) {
        if (error != nullptr) {
            *error = reader.hasError() ? QStringLiteral("line %1: %2")
                                             .arg(reader.lineNumber())
                                             .arg(reader.errorString())
                                       : QStringLiteral("no element");
        }
        return std::nullopt;
    }
    return root;
}

std::optional<XmlElement> ReadLayoutFile(const QString& path, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error != nullptr) {
            *error = QStringLiteral("cannot read %1").arg(path);
        }
        return std::nullopt;
    }
    return ParseLayoutXml(file.readAll(), error);
}

}  // namespace morva::ui
