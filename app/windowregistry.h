#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <array>

namespace karvel {

class Clock;
class ExamWindow;

// The program's eight windows, in the order Exit closes them.
enum class WindowId { Exam, Verdict1, Verdict2, Verdict3, Verdict4, Verdict5, Verdict6, About };
inline constexpr int kWindowCount = 8;

constexpr WindowId verdictWindow(int n)
{
    return static_cast<WindowId>(n);
}

// One instance of each window: created on first use, shown modeless and
// without owner, centred on the screen when a new instance is first shown,
// raised and activated when shown while open. Closing a window destroys it;
// the next show builds it afresh from its description. The program ends
// when its last window closes.
class WindowRegistry : public QObject
{
    Q_OBJECT

public:
    // `clock` drives the exam's countdown (the system clock when null).
    explicit WindowRegistry(const Clock *clock = nullptr, QObject *parent = nullptr);
    ~WindowRegistry() override;

    QWidget *show(WindowId id);
    void close(WindowId id);
    // The open instance, or null.
    QWidget *window(WindowId id) const { return m_windows[index(id)]; }
    ExamWindow *exam() const;

    // The Exit command: the exam window, verdict windows 1 to 6, About.
    void exitAll();

private:
    static int index(WindowId id) { return static_cast<int>(id); }
    QWidget *create(WindowId id);

    const Clock *m_clock;
    std::array<QPointer<QWidget>, kWindowCount> m_windows;
};

// Places a top-level window in the middle of its screen's available area.
void centreOnScreen(QWidget *window);

// Where a window whose frame has `size` goes in a screen's available
// `area`: centred, but along a side where it does not fit, against the
// area's top or left edge, so that its title bar, menu bar and left column
// stay within reach and only its right or bottom part is cut off.
QPoint placeInArea(const QRect &area, const QSize &size);

} // namespace karvel
