#include "windowregistry.h"

#include "app/desktop.h"
#include "exam/examwindow.h"
#include "info/aboutwindow.h"
#include "info/verdictwindow.h"

#include <QGuiApplication>
#include <QScreen>

namespace karvel {

WindowRegistry::WindowRegistry(const Clock *clock, QObject *parent)
    : QObject(parent), m_clock(clock)
{
}

WindowRegistry::~WindowRegistry()
{
    for (auto &w : m_windows)
        delete w.data();
}

QWidget *WindowRegistry::create(WindowId id)
{
    QWidget *w = nullptr;
    switch (id) {
    case WindowId::Exam: {
        auto *exam = new ExamWindow(m_clock);
        connect(exam, &ExamWindow::aboutRequested, this, [this] { show(WindowId::About); });
        connect(exam, &ExamWindow::exitRequested, this, &WindowRegistry::exitAll);
        connect(exam, &ExamWindow::verdictRequested, this,
                [this](int n) { show(verdictWindow(n)); });
        w = exam;
        break;
    }
    case WindowId::About:
        w = new AboutWindow;
        break;
    default:
        w = new VerdictWindow(index(id));
        break;
    }
    w->setAttribute(Qt::WA_DeleteOnClose);
    return w;
}

QWidget *WindowRegistry::show(WindowId id)
{
    QPointer<QWidget> &slot = m_windows[index(id)];
    if (!slot) {
        slot = create(id);
        centreOnScreen(slot);
        slot->show();
        // Now that the frame is known, centre the frame, not the client area.
        centreOnScreen(slot);
    } else {
        slot->showNormal();
        slot->raise();
    }
    slot->activateWindow();
    return slot;
}

void WindowRegistry::close(WindowId id)
{
    if (QWidget *w = m_windows[index(id)])
        w->close();
}

ExamWindow *WindowRegistry::exam() const
{
    return qobject_cast<ExamWindow *>(window(WindowId::Exam));
}

void WindowRegistry::exitAll()
{
    for (int i = 0; i < kWindowCount; ++i)
        close(static_cast<WindowId>(i));
}

void centreOnScreen(QWidget *window)
{
    // On Wayland the compositor places every window itself.
    if (!canPlaceWindows())
        return;
    QScreen *screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    window->move(placeInArea(screen->availableGeometry(), window->frameGeometry().size()));
}

QPoint placeInArea(const QRect &area, const QSize &size)
{
    auto along = [](int start, int room, int length) {
        return length > room ? start : start + (room - length) / 2;
    };
    return {along(area.x(), area.width(), size.width()),
            along(area.y(), area.height(), size.height())};
}

} // namespace karvel
