#include "aboutwindow.h"

namespace karvel {

namespace A = aboutlayout;

AboutWindow::AboutWindow(QWidget *parent)
    : InfoWindow(QStringLiteral("frmヘルプ"), QString::fromUtf16(A::kTitle),
                 {A::kClientWidth, A::kClientHeight}, A::kBackground, A::kView, A::kDocument,
                 parent)
{
}

} // namespace karvel
