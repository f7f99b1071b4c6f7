#pragma once

#include <functional>

class QWidget;

namespace karvel {

// Runs `work` once, right after `widget` is first painted: for what the
// first paint can do without (pages behind other tabs), so that it does not
// hold up the window's appearance. The work is dropped if the widget goes
// first.
void afterFirstPaint(QWidget *widget, std::function<void()> work);

} // namespace karvel
