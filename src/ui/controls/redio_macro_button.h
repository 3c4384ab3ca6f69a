// A macro entry button that carries a radio mark picture for the page that lists macros.
#pragma once

#include "ui/toolkit/controls.h"

namespace morva::ui {

class CRedioMacroButtonUI : public CButtonUI {
public:
    explicit CRedioMacroButtonUI(QWidget* parent = nullptr) : CButtonUI(parent) {}
    QString GetClass() const override { return QStringLiteral("RedioMacroButton"); }

    QString GetRedioImage() const { return redioImage_; }
    void SetRedioImage(const QString& image) { redioImage_ = image; }

    void SetAttribute(const QString& name, const QString& value) override;

private:
    QString redioImage_;
};

}  // namespace morva::ui
