#include "widgets/afterfirstpaint.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>

namespace karvel {

namespace {

class FirstPaint : public QObject
{
public:
    FirstPaint(QWidget *widget, std::function<void()> work)
        : QObject(widget), m_widget(widget), m_work(std::move(work))
    {
        widget->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_widget && event->type() == QEvent::Paint) {
            m_widget->removeEventFilter(this);
            // Once the paint has reached the screen, before anything else.
            QTimer::singleShot(0, m_widget, std::move(m_work));
            deleteLater();
        }
        return false;
    }

private:
    QWidget *m_widget;
    std::function<void()> m_work;
};

} // namespace

void afterFirstPaint(QWidget *widget, std::function<void()> work)
{
    new FirstPaint(widget, std::move(work));
}

} // namespace karvel
