// A macro entry button that carries a radio mark picture for the page that lists macros.
#pragma once

#include "ui/toolkit/controls.h"

namespace morva::ui {

class CRedioMacroButtonUI : public CButtonUI {
public:
    explicit CRedioMacroButtonUI(QWidget* parent = nullptr) : CButtonUI(parent) {}
    QString GetClass() const override { return QStringLiteral("RedioMacroButton"); }

    QString GetRedioImage() const { return m_redioImage; }
    void SetRedioImage(const QString& image) { m_redioImage = image; }

    void SetAttribute(const QString& name, const QString& value) override;

private:
    QString m_redioImage;
};

}  // namespace morva::ui
