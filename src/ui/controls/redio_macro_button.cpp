#include "ui/controls/redio_macro_button.h"

namespace morva::ui {

void CRedioMacroButtonUI::SetAttribute(const QString& name, const QString& value) {
    if (name.compare(u"redioimage", Qt::CaseInsensitive) == 0) {
        SetRedioImage(value);
    } else {
        CButtonUI::SetAttribute(name, value);
    }
}

}  // namespace morva::ui
