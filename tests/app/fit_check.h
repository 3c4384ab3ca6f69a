// Finds what a window shows cut: visible controls that reach outside their parent, and texts
// that need more room than their control's content area gives them (after border, padding and
// the style's own margins; wrapped where the control wraps).
#pragma once

#include <QString>

#include <vector>

class QWidget;

namespace morva::test {

struct FitProblem {
    QString control;  // its name, or its class and text key and the nearest named ancestor
    QString problem;  // what is wrong, the same wherever it is seen
    QString detail;   // the sizes that show it
};

// Every visible toolkit control below `window`. Lists scroll vertically: their rows only have
// to fit across.
std::vector<FitProblem> FindFitProblems(QWidget* window);

}  // namespace morva::test
