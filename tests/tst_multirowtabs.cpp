// The multi-row tab control: rows, tab rectangles, pages placed in the
// control's coordinates, mouse and keyboard, and what accessibility sees.

#include "widgets/multirowtabs.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QtTest>

using namespace karvel;

class TestMultiRowTabs : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<MultiRowTabControl> make(int tabs, int perRow)
    {
        auto c = std::make_unique<MultiRowTabControl>(perRow, 20);
        c->resize(653, 161);
        for (int i = 0; i < tabs; ++i) {
            QWidget *page = c->addTab(QStringLiteral("T%1").arg(i));
            auto *l = new QLabel(QStringLiteral("child"), page);
            l->setObjectName(QStringLiteral("child%1").arg(i));
            l->setGeometry(96, 88, 50, 17);
        }
        c->show();
        return c;
    }

private slots:
    void rowsAndRectangles()
    {
        auto c = make(40, 10);
        QCOMPARE(c->rowCount(), 4);
        QCOMPARE(c->currentIndex(), 0);
        // Equal widths in a row, the last tab of a row taking what is left.
        QCOMPARE(c->tabRect(0), QRect(0, 0, 65, 20));
        QCOMPARE(c->tabRect(9), QRect(585, 0, 68, 20));
        QCOMPARE(c->tabRect(10), QRect(0, 20, 65, 20));
        QCOMPARE(c->tabRect(39), QRect(585, 60, 68, 20));
        // No two tabs overlap and every tab is inside the control.
        for (int i = 0; i < 40; ++i) {
            QVERIFY(c->rect().contains(c->tabRect(i)));
            QCOMPARE(c->tabAt(c->tabRect(i).center()), i);
        }
        QCOMPARE(c->tabAt(QPoint(300, 100)), -1);
        auto one = make(5, 5);
        QCOMPARE(one->rowCount(), 1);
        QCOMPARE(one->tabRect(4).right(), one->width() - 1);
    }

    void pagesUseTheControlsCoordinates()
    {
        auto c = make(40, 10);
        for (int i = 0; i < 40; ++i) {
            QWidget *page = c->page(i);
            QCOMPARE(page->geometry(), c->rect());
            QCOMPARE(page->isVisible(), i == 0);
            auto *child = page->findChild<QLabel *>(QStringLiteral("child%1").arg(i));
            QCOMPARE(child->mapTo(c.get(), QPoint(0, 0)), QPoint(96, 88));
        }
    }

    void everyTabOneClickAway()
    {
        auto c = make(40, 10);
        QSignalSpy changed(c.get(), &MultiRowTabControl::currentChanged);
        QWidget *strip = c->findChild<QWidget *>(QStringLiteral("tabStrip"));
        QVERIFY(strip);
        for (int i : {37, 5, 12, 39, 0, 20}) {
            QTest::mouseClick(strip, Qt::LeftButton, {}, c->tabRect(i).center());
            QCOMPARE(c->currentIndex(), i);
            QVERIFY(c->page(i)->isVisible());
            for (int j = 0; j < 40; ++j) {
                if (j != i)
                    QVERIFY(!c->page(j)->isVisible());
            }
        }
        QCOMPARE(changed.count(), 6);
        // Clicking the current tab changes nothing.
        QTest::mouseClick(strip, Qt::LeftButton, {}, c->tabRect(20).center());
        QCOMPARE(changed.count(), 6);
    }

    void currentTabStaysInItsCell()
    {
        // Choosing a tab must not paint over the tabs of the rows below it.
        auto c = make(40, 10);
        const QRect below = c->tabRect(21).united(c->tabRect(31));
        const QImage before = c->grab(below).toImage();
        c->setCurrentIndex(11);
        const QImage after = c->grab(below).toImage();
        QCOMPARE(after, before);
    }

    // The keys go where a user's keys go: to the focus. Every page holds a
    // control that takes it; turning a page moves the focus only when it
    // was on the page that goes.
    void keyboard()
    {
        auto c = make(40, 10);
        QList<QLineEdit *> boxes;
        for (int i = 0; i < 40; ++i) {
            boxes.append(new QLineEdit(c->page(i)));
            boxes.back()->show();
        }
        c->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(c.get()));
        auto press = [](Qt::Key key, Qt::KeyboardModifiers mods = {}) {
            QTest::keyClick(QApplication::focusWidget(), key, mods);
        };
        c->setFocus();
        press(Qt::Key_Left);
        QCOMPARE(c->currentIndex(), 39); // wraps
        press(Qt::Key_Right);
        QCOMPARE(c->currentIndex(), 0);
        press(Qt::Key_Down);
        QCOMPARE(c->currentIndex(), 10);
        press(Qt::Key_Up);
        QCOMPARE(c->currentIndex(), 0);
        press(Qt::Key_Up);
        QCOMPARE(c->currentIndex(), 0);
        press(Qt::Key_End);
        QCOMPARE(c->currentIndex(), 39);
        press(Qt::Key_Down);
        QCOMPARE(c->currentIndex(), 39);
        press(Qt::Key_Home);
        QCOMPARE(c->currentIndex(), 0);
        QCOMPARE(QApplication::focusWidget(), c.get());

        // Ctrl+Tab and the like from a page's control take the focus along.
        boxes[0]->setFocus();
        press(Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(c->currentIndex(), 1);
        QCOMPARE(QApplication::focusWidget(), boxes[1]);
        press(Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
        press(Qt::Key_PageUp, Qt::ControlModifier);
        QCOMPARE(c->currentIndex(), 39);
        QCOMPARE(QApplication::focusWidget(), boxes[39]);
        c->setFocus();
        press(Qt::Key_PageDown, Qt::ControlModifier);
        QCOMPARE(c->currentIndex(), 0);
        QCOMPARE(QApplication::focusWidget(), c.get());

        c->setCurrentIndex(99);
        c->setCurrentIndex(-1);
        QCOMPARE(c->currentIndex(), 0);
    }

    void controlsKeepTheirStateWhileHidden()
    {
        auto c = make(3, 10);
        auto *child = c->page(2)->findChild<QLabel *>(QStringLiteral("child2"));
        child->setText(QStringLiteral("kept"));
        child->hide();
        c->setCurrentIndex(2);
        c->setCurrentIndex(0);
        c->setCurrentIndex(2);
        QCOMPARE(child->text(), QStringLiteral("kept"));
        QVERIFY(child->isHidden());
    }

    void accessibleTabs()
    {
        auto c = make(40, 10);
        QWidget *strip = c->findChild<QWidget *>(QStringLiteral("tabStrip"));
        QAccessibleInterface *list = QAccessible::queryAccessibleInterface(strip);
        QVERIFY(list);
        QCOMPARE(list->role(), QAccessible::PageTabList);
        QCOMPARE(list->childCount(), 40);
        for (int i = 0; i < 40; ++i) {
            QAccessibleInterface *tab = list->child(i);
            QVERIFY(tab);
            QCOMPARE(tab->role(), QAccessible::PageTab);
            QCOMPARE(tab->text(QAccessible::Name), QStringLiteral("T%1").arg(i));
            QCOMPARE(tab->parent(), list);
            QCOMPARE(list->indexOfChild(tab), i);
            QCOMPARE(tab->state().selected, i == 0);
            QCOMPARE(list->child(i), tab); // the same interface each time
        }
        QAccessibleInterface *tab = list->child(23);
        auto *action = tab->actionInterface();
        QVERIFY(action);
        QVERIFY(action->actionNames().contains(QAccessibleActionInterface::pressAction()));
        action->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(c->currentIndex(), 23);
        QVERIFY(tab->state().selected);
        const QRect r = tab->rect();
        QCOMPARE(r.size(), c->tabRect(23).size());
        QCOMPARE(r.topLeft(), c->mapToGlobal(c->tabRect(23).topLeft()));
        // The tab a point on the screen falls on.
        QCOMPARE(list->childAt(r.center().x(), r.center().y()), tab);
    }
};

QTEST_MAIN(TestMultiRowTabs)
#include "tst_multirowtabs.moc"
