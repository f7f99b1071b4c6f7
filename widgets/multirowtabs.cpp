#include "multirowtabs.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QShortcut>
#include <QStyleOptionTab>
#include <QStylePainter>

#include <map>

namespace karvel {

// The rows of tabs: drawn above the pages and taking the clicks on the tabs.
class MultiRowTabControl::Strip : public QWidget
{
public:
    explicit Strip(MultiRowTabControl *control)
        : QWidget(control), m_control(control)
    {
        setFocusPolicy(Qt::NoFocus);
        setObjectName(QStringLiteral("tabStrip"));
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QStylePainter p(this);
        for (int i = 0; i < m_control->count(); ++i) {
            if (i != m_control->currentIndex())
                paintTab(p, i);
        }
        if (m_control->currentIndex() >= 0)
            paintTab(p, m_control->currentIndex());
    }

    void mousePressEvent(QMouseEvent *event) override
    {
        if (event->button() != Qt::LeftButton)
            return;
        const int index = m_control->tabAt(event->position().toPoint());
        if (index < 0)
            return;
        m_control->setFocus(Qt::MouseFocusReason);
        m_control->setCurrentIndex(index);
    }

private:
    void paintTab(QStylePainter &p, int index)
    {
        QStyleOptionTab opt;
        opt.initFrom(this);
        opt.rect = m_control->tabRect(index);
        opt.text = m_control->tabText(index);
        opt.shape = QTabBar::RoundedNorth;
        opt.documentMode = false;
        opt.fontMetrics = QFontMetrics(m_control->font());
        const int inRow = index % m_control->tabsPerRow();
        const int rowLength = std::min(m_control->tabsPerRow(),
                                       m_control->count() - index + inRow);
        if (rowLength == 1)
            opt.position = QStyleOptionTab::OnlyOneTab;
        else if (inRow == 0)
            opt.position = QStyleOptionTab::Beginning;
        else if (inRow == rowLength - 1)
            opt.position = QStyleOptionTab::End;
        else
            opt.position = QStyleOptionTab::Middle;
        opt.state &= ~(QStyle::State_Selected | QStyle::State_HasFocus | QStyle::State_MouseOver);
        if (index == m_control->currentIndex()) {
            opt.state |= QStyle::State_Selected;
            if (m_control->hasFocus())
                opt.state |= QStyle::State_HasFocus;
        }
        p.setFont(m_control->font());
        // Styles draw the current tab reaching down to join its page; with
        // rows below it that would cover their tabs, so keep every tab in
        // its own cell.
        p.save();
        p.setClipRect(opt.rect);
        p.drawControl(QStyle::CE_TabBarTab, opt);
        p.restore();
    }

    MultiRowTabControl *m_control;
};

MultiRowTabControl::MultiRowTabControl(int tabsPerRow, int tabHeight, QWidget *parent)
    : QWidget(parent),
      m_tabsPerRow(std::max(1, tabsPerRow)),
      m_tabHeight(std::max(1, tabHeight)),
      m_pageColor(palette().color(QPalette::Button)),
      m_strip(new Strip(this))
{
    installAccessibility();
    setFocusPolicy(Qt::StrongFocus);
    installShortcuts();
}

void MultiRowTabControl::installShortcuts()
{
    // Shortcuts rather than key handling: they reach the control whatever
    // control of its pages has the focus, before that control sees the key.
    const struct
    {
        QKeyCombination keys;
        int step;
    } moves[] = {
        {Qt::CTRL | Qt::Key_Tab, +1},
        {Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab, -1},
        {Qt::CTRL | Qt::SHIFT | Qt::Key_Tab, -1},
        {Qt::CTRL | Qt::Key_PageDown, +1},
        {Qt::CTRL | Qt::Key_PageUp, -1},
    };
    for (const auto &move : moves) {
        auto *shortcut = new QShortcut(QKeySequence(move.keys), this);
        shortcut->setContext(Qt::WidgetWithChildrenShortcut);
        const int by = move.step;
        connect(shortcut, &QShortcut::activated, this, [this, by] { step(by); });
    }
}

void MultiRowTabControl::step(int by)
{
    if (count() > 0)
        setCurrentIndex(((m_current + by) % count() + count()) % count());
}

QWidget *MultiRowTabControl::addTab(const QString &caption)
{
    auto *page = new QWidget(this);
    page->setObjectName(QStringLiteral("page%1").arg(m_tabs.size()));
    page->setGeometry(rect());
    page->setVisible(m_tabs.isEmpty());
    m_tabs.append({caption, page});
    if (m_current < 0)
        m_current = 0;
    m_strip->setGeometry(0, 0, width(), stripHeight());
    m_strip->raise();
    m_strip->update();
    return page;
}

void MultiRowTabControl::setCurrentIndex(int index)
{
    if (index < 0 || index >= count() || index == m_current)
        return;
    const int before = m_current;
    m_current = index;
    QWidget *incoming = m_tabs[index].page;
    QWidget *outgoing = before >= 0 ? m_tabs[before].page : nullptr;
    QWidget *focus = QApplication::focusWidget();
    const bool focusLeaves = focus && outgoing && outgoing->isAncestorOf(focus);
    // Show the new page before hiding the old one, so that the focus does
    // not wander off to a control outside the tab control meanwhile.
    incoming->show();
    if (focusLeaves) {
        // To the first control of the new page that takes the focus by the
        // Tab key, or else to the tab control itself.
        QWidget *next = this;
        for (QWidget *w = focus->nextInFocusChain(); w != focus; w = w->nextInFocusChain()) {
            if (incoming->isAncestorOf(w) && (w->focusPolicy() & Qt::TabFocus) == Qt::TabFocus
                && w->isVisibleTo(incoming) && w->isEnabled()) {
                next = w;
                break;
            }
        }
        next->setFocus(Qt::TabFocusReason);
    }
    if (outgoing)
        outgoing->hide();
    m_strip->update();
    if (QAccessible::isActive()) {
        QAccessibleEvent selection(m_strip, QAccessible::Selection);
        selection.setChild(index);
        QAccessible::updateAccessibility(&selection);
    }
    emit currentChanged(index);
}

QString MultiRowTabControl::tabText(int index) const
{
    return index >= 0 && index < count() ? m_tabs[index].caption : QString();
}

QWidget *MultiRowTabControl::page(int index) const
{
    return index >= 0 && index < count() ? m_tabs[index].page : nullptr;
}

int MultiRowTabControl::rowCount() const
{
    return (count() + m_tabsPerRow - 1) / m_tabsPerRow;
}

QRect MultiRowTabControl::tabRect(int index) const
{
    if (index < 0 || index >= count())
        return {};
    // Every tab of a row is equally wide; the last tab of a row takes the
    // pixels that the division leaves over.
    const int row = index / m_tabsPerRow;
    const int column = index % m_tabsPerRow;
    const int w = width() / m_tabsPerRow;
    const int left = column * w;
    const int right = column == m_tabsPerRow - 1 ? width() : left + w;
    return QRect(left, row * m_tabHeight, right - left, m_tabHeight);
}

int MultiRowTabControl::tabAt(const QPoint &pos) const
{
    for (int i = 0; i < count(); ++i) {
        if (tabRect(i).contains(pos))
            return i;
    }
    return -1;
}

void MultiRowTabControl::setPageColor(const QColor &color)
{
    m_pageColor = color;
    update();
}

void MultiRowTabControl::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const QRect pageRect(0, stripHeight(), width(), height() - stripHeight());
    QStyleOptionTabWidgetFrame frame;
    frame.initFrom(this);
    frame.rect = pageRect;
    frame.shape = QTabBar::RoundedNorth;
    frame.lineWidth = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
    style()->drawPrimitive(QStyle::PE_FrameTabWidget, &frame, &p, this);
    // Some styles fill the panel; the page colour goes over it, inside the frame.
    const int inset = std::max(1, frame.lineWidth);
    p.fillRect(pageRect.adjusted(inset, inset, -inset, -inset), m_pageColor);
}

void MultiRowTabControl::keyPressEvent(QKeyEvent *event)
{
    if (count() == 0) {
        QWidget::keyPressEvent(event);
        return;
    }
    const int last = count() - 1;
    int next = m_current;
    switch (event->key()) {
    case Qt::Key_Left:
        next = m_current == 0 ? last : m_current - 1;
        break;
    case Qt::Key_Right:
        next = m_current == last ? 0 : m_current + 1;
        break;
    case Qt::Key_Up:
        next = m_current - m_tabsPerRow >= 0 ? m_current - m_tabsPerRow : m_current;
        break;
    case Qt::Key_Down:
        next = m_current + m_tabsPerRow <= last ? m_current + m_tabsPerRow : m_current;
        break;
    case Qt::Key_Home:
        next = 0;
        break;
    case Qt::Key_End:
        next = last;
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    setCurrentIndex(next);
    event->accept();
}

void MultiRowTabControl::resizeEvent(QResizeEvent *)
{
    for (const Tab &tab : std::as_const(m_tabs))
        tab.page->setGeometry(rect());
    m_strip->setGeometry(0, 0, width(), stripHeight());
    m_strip->raise();
}

// --- Accessibility -------------------------------------------------------
//
// The strip is a page tab list whose children are the tabs; each tab is a
// page tab named by its caption that can be pressed.

class TabItemAccessible : public QAccessibleInterface, public QAccessibleActionInterface
{
public:
    TabItemAccessible(MultiRowTabControl *control, int index)
        : m_control(control), m_index(index) {}

    bool isValid() const override { return m_control && m_index < m_control->count(); }
    QObject *object() const override { return nullptr; }
    QWindow *window() const override
    {
        return m_control ? m_control->window()->windowHandle() : nullptr;
    }
    QAccessibleInterface *parent() const override
    {
        return m_control ? QAccessible::queryAccessibleInterface(m_control->m_strip) : nullptr;
    }
    QAccessibleInterface *child(int) const override { return nullptr; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    QAccessibleInterface *focusChild() const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QString text(QAccessible::Text t) const override
    {
        if (!isValid())
            return {};
        if (t == QAccessible::Name)
            return QString(m_control->tabText(m_index)).remove(QLatin1Char('&'));
        return {};
    }
    void setText(QAccessible::Text, const QString &) override {}
    QRect rect() const override
    {
        if (!isValid())
            return {};
        const QRect r = m_control->tabRect(m_index);
        return QRect(m_control->mapToGlobal(r.topLeft()), r.size());
    }
    QAccessible::Role role() const override { return QAccessible::PageTab; }
    QAccessible::State state() const override
    {
        QAccessible::State s;
        if (!isValid()) {
            s.invalid = true;
            return s;
        }
        s.selectable = true;
        s.focusable = true;
        s.selected = m_index == m_control->currentIndex();
        s.focused = s.selected && m_control->hasFocus();
        s.invisible = !m_control->isVisible();
        return s;
    }
    void *interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::ActionInterface
            ? static_cast<QAccessibleActionInterface *>(this) : nullptr;
    }
    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString &name) override
    {
        if (isValid() && name == pressAction())
            m_control->setCurrentIndex(m_index);
    }
    QStringList keyBindingsForAction(const QString &) const override { return {}; }

private:
    QPointer<MultiRowTabControl> m_control;
    int m_index;
};

class MultiRowTabAccessible : public QAccessibleWidget
{
public:
    explicit MultiRowTabAccessible(QWidget *strip)
        : QAccessibleWidget(strip, QAccessible::PageTabList) {}

    ~MultiRowTabAccessible() override
    {
        for (auto &[index, id] : m_children)
            QAccessible::deleteAccessibleInterface(id);
    }

    int childCount() const override { return control() ? control()->count() : 0; }
    QAccessibleInterface *child(int index) const override
    {
        if (!control() || index < 0 || index >= control()->count())
            return nullptr;
        auto it = m_children.find(index);
        if (it != m_children.end())
            return QAccessible::accessibleInterface(it->second);
        auto *item = new TabItemAccessible(control(), index);
        m_children[index] = QAccessible::registerAccessibleInterface(item);
        return item;
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        for (auto &[index, id] : m_children) {
            if (QAccessible::accessibleInterface(id) == child)
                return index;
        }
        return -1;
    }
    QAccessibleInterface *childAt(int x, int y) const override
    {
        if (!control())
            return nullptr;
        const int index = control()->tabAt(control()->mapFromGlobal(QPoint(x, y)));
        return index >= 0 ? child(index) : nullptr;
    }

private:
    MultiRowTabControl *control() const
    {
        return qobject_cast<MultiRowTabControl *>(widget()->parentWidget());
    }

    mutable std::map<int, QAccessible::Id> m_children;
};

namespace {

QAccessibleInterface *stripAccessibleFactory(const QString &, QObject *object)
{
    auto *widget = qobject_cast<QWidget *>(object);
    if (widget && widget->objectName() == QLatin1String("tabStrip")
        && qobject_cast<MultiRowTabControl *>(widget->parentWidget()))
        return new MultiRowTabAccessible(widget);
    return nullptr;
}

} // namespace

void MultiRowTabControl::installAccessibility()
{
    // Installed once the application's own factories are in place: the
    // latest factory is asked first, and the strip is a plain QWidget that
    // the widgets' factory would otherwise take.
    static const bool installed = [] {
        QAccessible::installFactory(stripAccessibleFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

} // namespace karvel
