#pragma once

#include <QColor>
#include <QList>
#include <QString>
#include <QWidget>

namespace karvel {

// A tabbed-dialog control with several rows of tabs.
//
// The tabs stand in fixed rows of `tabsPerRow` tabs at the top of the
// control, each row `tabHeight` pixels high, every tab of a row equally wide.
// Each tab owns a page that covers the whole control: the page's children are
// placed relative to the control's own top-left corner, tab rows included, so
// a child at top 88 lies below four rows of 20-pixel tabs. The page is filled
// with the control's page colour below the tab rows.
//
// The first tab is current at start. A click on a tab, the arrow keys and
// Home/End while the control has the focus, and Ctrl+Tab / Ctrl+PageDown
// (next) and Ctrl+Shift+Tab / Ctrl+PageUp (previous, both wrapping round)
// while the focus is on the control or on a control of its pages, make a tab
// current: its page is shown and the page of the tab before is hidden; the
// pages' controls keep their state. A focus that was on the page going away
// moves to the first control of the page coming in. Each tab is exposed to
// accessibility as a page tab named by its caption.
class MultiRowTabControl : public QWidget
{
    Q_OBJECT

public:
    MultiRowTabControl(int tabsPerRow, int tabHeight, QWidget *parent = nullptr);

    // Adds a tab and returns its page; children of the page use the
    // control's coordinates.
    QWidget *addTab(const QString &caption);

    int count() const { return int(m_tabs.size()); }
    int currentIndex() const { return m_current; }
    void setCurrentIndex(int index);
    QString tabText(int index) const;
    QWidget *page(int index) const;
    int rowCount() const;
    int tabsPerRow() const { return m_tabsPerRow; }
    int tabHeight() const { return m_tabHeight; }

    // The tab's rectangle in the control's coordinates.
    QRect tabRect(int index) const;
    int tabAt(const QPoint &pos) const;

    void setPageColor(const QColor &color);
    QColor pageColor() const { return m_pageColor; }

signals:
    void currentChanged(int index);

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    class Strip;
    struct Tab
    {
        QString caption;
        QWidget *page;
    };

    int stripHeight() const { return rowCount() * m_tabHeight; }
    void installShortcuts();
    void step(int by);
    static void installAccessibility();

    int m_tabsPerRow;
    int m_tabHeight;
    int m_current = -1;
    QColor m_pageColor;
    QList<Tab> m_tabs;
    Strip *m_strip;

    friend class MultiRowTabAccessible;
    friend class TabItemAccessible;
};

} // namespace karvel
