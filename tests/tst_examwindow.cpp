// The exam window as built: every control against the window's layout
// tables (written out again here, independently of examlayout.h), and the
// Start, Score and Pass-rate buttons driven through the real widgets.

#include "exam/answerkey.h"
#include "exam/examwindow.h"
#include "manualclock.h"
#include "recordingbackend.h"
#include "widgets/fonts.h"
#include "widgets/multirowtabs.h"
#include "widgets/picturebox.h"
#include "widgets/richtextview.h"
#include "widgets/soundstrip.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QtTest>

using namespace karvel;

namespace {

QString u(const char16_t *s)
{
    return QString::fromUtf16(s);
}

// Shows `onEvent` every event of the object it filters.
struct EventSpy : QObject
{
    std::function<void(QEvent *)> onEvent;
    bool eventFilter(QObject *, QEvent *event) override
    {
        onEvent(event);
        return false;
    }
};

} // namespace

class TestExamWindow : public QObject
{
    Q_OBJECT

private:
    ManualClock m_clock;
    std::unique_ptr<ExamWindow> w;
    QStringList m_sound;

    template<typename T = QWidget>
    T *find(const QString &name) const
    {
        T *found = w->findChild<T *>(name);
        if (!found)
            qWarning("no control %s", qPrintable(name));
        return found;
    }

    void tickAll(const QList<int> &questions)
    {
        for (int n : questions)
            w->box(n, answerKey()[n - 1].choice)->setChecked(true);
    }

private slots:
    void initTestCase() { installFontFallbacks(); }

    void init()
    {
        m_clock = ManualClock();
        m_clock.setWall(10 * 3600 * 1000 + 30000); // 10:00:30
        w = std::make_unique<ExamWindow>(&m_clock);
        m_sound.clear();
        w->soundStrip()->setBackend(std::make_unique<RecordingBackend>(&m_sound));
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        QTRY_VERIFY(w->answerPagesBuilt());
    }

    void cleanup() { w.reset(); }

    // The pages behind the other thirty-nine answer tabs are made right
    // after the first paint (not before it, not as the window is shown),
    // and then hold what the first page holds; a page on the screen as it
    // is made shows its boxes.
    void answerPagesComeAfterTheFirstPaint()
    {
        ExamWindow fresh(&m_clock);
        auto boxes = [&] { return fresh.findChildren<QCheckBox *>().size(); };
        QVERIFY(!fresh.answerPagesBuilt());
        QCOMPARE(boxes(), 4);
        fresh.answerTabs()->setCurrentIndex(9);
        QList<bool> builtAtPaint;
        EventSpy spy;
        spy.onEvent = [&](QEvent *e) {
            if (e->type() == QEvent::Paint)
                builtAtPaint.append(fresh.answerPagesBuilt());
        };
        fresh.client()->installEventFilter(&spy);
        fresh.show();
        QVERIFY(QTest::qWaitForWindowExposed(&fresh));
        QTRY_VERIFY(fresh.answerPagesBuilt());
        QVERIFY(!builtAtPaint.isEmpty() && !builtAtPaint.first());
        QCOMPARE(boxes(), 160);
        QCOMPARE(fresh.findChildren<QGroupBox *>().size(), 40);
        QVERIFY(fresh.box(10, 2)->isVisible());
        // Turning to a page shows its frame and boxes, its mark still hidden.
        fresh.answerTabs()->setCurrentIndex(24);
        QVERIFY(fresh.box(25, 3)->isVisible());
        QVERIFY(!fresh.mark(25)->isVisible());
    }

    void windowFrame()
    {
        QCOMPARE(w->windowTitle(), u(u"問題 （Karvel）"));
        // On a screen large enough, the client area right under the menu bar
        // and the window no larger: nothing scrolls.
        QCOMPARE(w->client()->size(), QSize(792, 554));
        QCOMPARE(w->client()->mapTo(w.get(), QPoint()), QPoint(0, w->menuBar()->height()));
        QCOMPARE(w->size(), QSize(792, 554 + w->menuBar()->height()));
        const QList<QAction *> bar = w->menuBar()->actions();
        QCOMPARE(bar.size(), 2);
        QCOMPARE(bar[0]->text(), u(u"ゲーム(&G)"));
        QCOMPARE(bar[1]->text(), u(u"ヘルプ(&H)"));
        QCOMPARE(bar[0]->menu()->actions().size(), 1);
        QCOMPARE(bar[0]->menu()->actions()[0]->text(), u(u"終了(&Q)"));
        QCOMPARE(bar[0]->menu()->actions()[0]->objectName(), QStringLiteral("mnuExit"));
        QCOMPARE(bar[1]->menu()->actions()[0]->text(), u(u"バージョン情報(&A)"));
        QCOMPARE(bar[1]->menu()->actions()[0]->objectName(), QStringLiteral("mnuAbout"));
    }

    void controls_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("points");
        QTest::addColumn<bool>("bold");
        QTest::addColumn<QColor>("background"); // invalid: none of its own
        const QColor pink(255, 128, 255);
        QTest::newRow("start") << u(u"cmdスタート") << QRect(24, 56, 81, 33) << u(u"スタート") << 9.0 << true << QColor();
        QTest::newRow("Label1") << u(u"Label1") << QRect(8, 104, 105, 25) << u(u"あと\u3000 \u3000 分") << 12.0 << true << pink;
        QTest::newRow("seconds") << u(u"lbl秒") << QRect(48, 104, 49, 25) << QString() << 14.25 << true << pink;
        QTest::newRow("score") << u(u"cmd得点") << QRect(24, 208, 81, 33) << u(u"得\u3000点") << 9.0 << true << QColor();
        QTest::newRow("Label4") << u(u"Label4") << QRect(8, 256, 121, 17) << u(u"（平均 64,62 点）") << 9.0 << true << QColor();
        QTest::newRow("Label2") << u(u"Label2") << QRect(24, 280, 73, 25) << u(u"点") << 14.25 << true << pink;
        QTest::newRow("scoreLabel") << u(u"lbl得点") << QRect(40, 280, 0, 19) << QString() << 14.25 << true << pink;
        QTest::newRow("passRate") << u(u"cmd合格率") << QRect(24, 384, 81, 33) << u(u"合格率") << 9.75 << true << QColor();
        QTest::newRow("paperTabs") << u(u"stbKarvel") << QRect(128, 0, 657, 393) << QString() << 9.0 << false << QColor();
        QTest::newRow("answerTabs") << u(u"SSTab2") << QRect(128, 400, 653, 161) << QString() << 9.0 << false << QColor();
    }

    void controls()
    {
        QFETCH(QString, name);
        QFETCH(QRect, geometry);
        QFETCH(QString, text);
        QFETCH(double, points);
        QFETCH(bool, bold);
        QFETCH(QColor, background);
        QWidget *c = find(name);
        QVERIFY(c);
        QCOMPARE(c->parentWidget(), w->client());
        QCOMPARE(c->geometry(), geometry);
        // The face the layout names, as this system shows it.
        QCOMPARE(c->font().family(), installedFace(u(u"ＭＳ ゴシック")));
        QCOMPARE(c->font().pointSizeF(), points);
        QCOMPARE(c->font().bold(), bold);
        QVERIFY(c->isEnabled());
        if (auto *b = qobject_cast<QPushButton *>(c))
            QCOMPARE(b->text(), text);
        if (auto *l = qobject_cast<QLabel *>(c)) {
            QCOMPARE(l->text(), text);
            QCOMPARE(l->focusPolicy(), Qt::NoFocus);
        }
        if (background.isValid()) {
            QVERIFY(c->autoFillBackground());
            QCOMPARE(c->palette().color(QPalette::Window), background);
        }
    }

    void labelsStackAndAlign()
    {
        auto *label1 = find<QLabel>(u(u"Label1"));
        auto *seconds = find<QLabel>(u(u"lbl秒"));
        auto *label2 = find<QLabel>(u(u"Label2"));
        auto *score = find<QLabel>(u(u"lbl得点"));
        const QObjectList order = w->client()->children();
        QVERIFY(order.indexOf(seconds) > order.indexOf(label1));
        QVERIFY(order.indexOf(score) > order.indexOf(label2));
        QCOMPARE(label1->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
        QCOMPARE(seconds->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
        QCOMPARE(label2->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
        QVERIFY(!find<QLabel>(u(u"Label4"))->autoFillBackground());
        auto *strip = find(QStringLiteral("MMControl1"));
        QCOMPARE(strip->geometry(), QRect(0, 536, 313, 22));
        QVERIFY(strip->isVisible());
        QVERIFY(!w->timerActive());
    }

    void paperTabs()
    {
        MultiRowTabControl *t = w->paperTabs();
        QCOMPARE(t->count(), 5);
        QCOMPARE(t->rowCount(), 1);
        QCOMPARE(t->currentIndex(), 0);
        QCOMPARE(t->tabRect(0).height(), 20);
        const QStringList captions{u(u"問題"), u(u"図 1"), u(u"図 2"), u(u"図 3"), u(u"図 4")};
        const QStringList names{"RichTextBox1", "Picture1", "Picture2", "Picture3", "Picture4"};
        const QList<QRect> rects{{8, 24, 641, 361}, {144, 24, 369, 361}, {120, 40, 385, 329},
                                 {96, 32, 473, 345}, {8, 24, 641, 361}};
        const QList<QSize> figures{{365, 354}, {385, 328}, {474, 342}, {648, 360}};
        for (int i = 0; i < 5; ++i) {
            QCOMPARE(t->tabText(i), captions[i]);
            QWidget *c = t->page(i)->findChild<QWidget *>(names[i]);
            QVERIFY2(c, qPrintable(names[i]));
            QCOMPARE(c->geometry(), rects[i]);
            QCOMPARE(c->isVisible(), i == 0);
            if (i > 0) {
                // The figure is read when its tab is first opened, at its
                // natural size from the top-left corner.
                auto *box = qobject_cast<PictureBox *>(c);
                QVERIFY(box);
                QVERIFY(box->pixmap().isNull());
                t->setCurrentIndex(i);
                QCOMPARE(box->pixmap().size(), figures[i - 1]);
                QCOMPARE(box->alignment(), Qt::AlignLeft | Qt::AlignTop);
                QVERIFY(box->isVisible());
                QVERIFY(!t->page(0)->isVisible());
            }
        }
        auto *paper = t->page(0)->findChild<RichTextView *>(QStringLiteral("RichTextBox1"));
        QTRY_VERIFY(!paper->isLoading());
        QCOMPARE(paper->document()->blockCount(), 297);
        QCOMPARE(paper->verticalScrollBar()->value(), 0);
    }

    void answerTabs()
    {
        MultiRowTabControl *t = w->answerTabs();
        QCOMPARE(t->count(), 40);
        QCOMPARE(t->rowCount(), 4);
        QCOMPARE(t->currentIndex(), 0);
        QCOMPARE(t->pageColor(), QColor(255, 255, 0));
        const char *sections[] = {"1A", "1A", "1A", "1B", "1B", "1B", "1C", "1C", "1C", "1C",
                                  "2A", "2A", "2A", "2A", "2B", "2B", "2B", "2C", "2C", "2C",
                                  "2C", "3A", "3A", "3A", "3B", "3B", "3B", "3C", "3C", "3C",
                                  "4A", "4A", "4A", "4A", "4B", "4B", "4B", "4C", "4C", "4C"};
        const int local[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10,
                             11, 1, 2, 3, 4, 5, 6, 7, 8, 9, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
        const QSet<int> shifted{10, 13, 14, 16, 18};
        const QMap<int, QRect> markExceptions{{1, {40, 104, 33, 33}}, {2, {40, 104, 49, 41}},
                                              {3, {40, 104, 41, 33}}, {5, {40, 104, 57, 41}},
                                              {9, {32, 104, 41, 41}}, {13, {48, 104, 41, 41}},
                                              {16, {48, 104, 41, 41}}};
        const int lefts[] = {64, 160, 264, 368};
        const int widths[] = {49, 33, 73, 65};
        const QString circled[] = {u(u"①"), u(u"②"), u(u"③"), u(u"④")};
        for (int n = 1; n <= 40; ++n) {
            QCOMPARE(t->tabText(n - 1), QStringLiteral("%1-問%2").arg(QLatin1String(sections[n - 1])).arg(local[n - 1]));
            QWidget *page = t->page(n - 1);
            auto *frame = page->findChild<QGroupBox *>(QStringLiteral("Frame%1").arg(n));
            QVERIFY(frame);
            QCOMPARE(frame->title(), u(u"答え"));
            QCOMPARE(frame->geometry(), QRect(shifted.contains(n) ? 104 : 96, 88, 465, 57));
            // The frame lies below the four rows of tabs.
            QVERIFY(frame->geometry().top() >= t->rowCount() * t->tabRect(0).height());
            const bool windowFont = n >= 10 && n <= 19;
            QCOMPARE(frame->font().family(),
                     windowFont ? w->font().family() : installedFace(u(u"ＭＳ ゴシック")));

            QLabel *mark = w->mark(n);
            QCOMPARE(mark->parentWidget(), page);
            QCOMPARE(mark->geometry(), markExceptions.value(n, QRect(40, 104, 41, 41)));
            QVERIFY(mark->isHidden());
            QVERIFY(mark->width() >= 32 && mark->height() >= 32);
            QCOMPARE(mark->pixmap().size(), QSize(32, 32));

            for (int k = 1; k <= 4; ++k) {
                QCheckBox *b = w->box(n, k);
                QCOMPARE(b->parentWidget(), frame);
                QCOMPARE(b->text(), circled[k - 1]);
                int width = widths[k - 1];
                if (n == 3 && k == 3)
                    width = 49;
                if ((n == 3 && k == 4) || (n == 4 && k >= 3))
                    width = 41;
                QCOMPARE(b->geometry(), QRect(lefts[k - 1], 24, width, 17));
                QVERIFY(!b->isChecked());
                QVERIFY(b->isEnabled());
                QVERIFY(!b->isTristate());
                QCOMPARE(b->accessibleDescription(), t->tabText(n - 1));
                QString face = windowFont ? w->font().family() : installedFace(u(u"ＭＳ ゴシック"));
                double points = 9;
                if (n == 20 && k == 1) {
                    face = installedFace(QStringLiteral("MS Serif"));
                    points = 8.25;
                }
                QCOMPARE(b->font().family(), face);
                QCOMPARE(b->font().pointSizeF(), points);
            }
        }
    }

    void boxesAreIndependent()
    {
        QCheckBox *one = w->box(7, 1);
        QCheckBox *two = w->box(7, 2);
        one->click();
        two->click();
        QVERIFY(one->isChecked());
        QVERIFY(two->isChecked());
        for (int k = 3; k <= 4; ++k)
            w->box(7, k)->click();
        for (int k = 1; k <= 4; ++k)
            QVERIFY(w->box(7, k)->isChecked());
    }

    void focusOrder()
    {
        // Start, the paper tabs, the paper, the answer tabs, then Score and
        // Pass rate, then each question's boxes ①, ④, ③, ②, the strip last.
        QList<QWidget *> chain;
        QWidget *first = find(u(u"cmdスタート"));
        QWidget *x = first;
        do {
            chain.append(x);
            x = x->nextInFocusChain();
        } while (x != first && chain.size() < 1000);
        auto pos = [&](QWidget *c) { return chain.indexOf(c); };
        QVERIFY(pos(find(u(u"stbKarvel"))) > pos(first));
        QVERIFY(pos(find(QStringLiteral("RichTextBox1"))) > pos(find(u(u"stbKarvel"))));
        QVERIFY(pos(find(u(u"SSTab2"))) > pos(find(QStringLiteral("RichTextBox1"))));
        QVERIFY(pos(find(u(u"cmd得点"))) > pos(find(u(u"SSTab2"))));
        QVERIFY(pos(find(u(u"cmd合格率"))) > pos(find(u(u"cmd得点"))));
        QVERIFY(pos(w->box(1, 1)) > pos(find(u(u"cmd合格率"))));
        for (int n = 1; n <= 40; ++n) {
            QVERIFY(pos(w->box(n, 4)) > pos(w->box(n, 1)));
            QVERIFY(pos(w->box(n, 3)) > pos(w->box(n, 4)));
            QVERIFY(pos(w->box(n, 2)) > pos(w->box(n, 3)));
            if (n < 40)
                QVERIFY(pos(w->box(n + 1, 1)) > pos(w->box(n, 2)));
        }
    }

    // The score's digits and "点" read as one line of text, at every score:
    // on the drawn pixels, the digits' lowest row stands as far from the
    // lowest row of "点" as when the two are set as one line.
    void scoreAndUnitShareABaseline()
    {
        auto *score = find<QLabel>(u(u"lbl得点"));
        auto *unit = find<QLabel>(u(u"Label2"));
        // The lowest row holding ink (dark text on pink) between two columns.
        auto lowestInk = [](const QImage &image, int from, int to) {
            for (int y = image.height() - 1; y >= 0; --y) {
                for (int x = from; x < to; ++x) {
                    if (qGray(image.pixel(x, y)) < 96)
                        return y;
                }
            }
            return -1;
        };
        QLabel line;
        line.setFont(unit->font());
        line.setPalette(unit->palette());
        line.setAutoFillBackground(true);
        const QRect area = unit->geometry(); // "点" and the score over it
        for (int s = 0; s <= 100; ++s) {
            if (s == 1 || s == 99)
                continue;
            // Right answers worth s points: threes, then twos.
            int threes = 0;
            while ((s - 3 * threes) % 2 != 0 || (s - 3 * threes) / 2 > 20)
                ++threes;
            int twos = (s - 3 * threes) / 2;
            for (const KeyRow &row : answerKey()) {
                int &left = row.points == 3 ? threes : twos;
                w->box(row.question, row.choice)->setChecked(left > 0);
                left -= left > 0;
            }
            w->scoreSheet();
            const QString digits = QString::number(s);
            QCOMPARE(score->text(), digits);

            const QImage drawn = w->client()->grab(area).toImage();
            const int split = score->geometry().right() + 1 - area.left();
            const int inWindow = lowestInk(drawn, split, drawn.width()) - lowestInk(drawn, 0, split);
            line.setText(digits + u(u"点"));
            line.adjustSize();
            const QImage alone = line.grab().toImage();
            const int cut = QFontMetrics(line.font()).horizontalAdvance(digits);
            const int asOneLine = lowestInk(alone, cut, alone.width()) - lowestInk(alone, 0, cut);
            QVERIFY2(inWindow == asOneLine,
                     qPrintable(QStringLiteral("score %1: the digits stand %2 px above the line of 点")
                                    .arg(s).arg(inWindow - asOneLine)));
        }
    }

    // Ctrl+Tab / Ctrl+PageDown and Ctrl+Shift+Tab / Ctrl+PageUp turn the
    // pages of the tab control that holds the focus, wrapping round; a focus
    // on the page that goes moves to the page that comes.
    void tabKeysOnBothControls()
    {
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        MultiRowTabControl *answers = w->answerTabs();
        MultiRowTabControl *paper = w->paperTabs();
        auto press = [](Qt::Key key, Qt::KeyboardModifiers mods) {
            QTest::keyClick(QApplication::focusWidget(), key, mods);
        };

        w->box(1, 3)->setFocus();
        press(Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(answers->currentIndex(), 1);
        QCOMPARE(QApplication::focusWidget(), w->box(2, 1));
        press(Qt::Key_PageDown, Qt::ControlModifier);
        QCOMPARE(answers->currentIndex(), 2);
        press(Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
        press(Qt::Key_Tab, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(answers->currentIndex(), 0);
        QCOMPARE(QApplication::focusWidget(), w->box(1, 1));
        press(Qt::Key_PageUp, Qt::ControlModifier);
        QCOMPARE(answers->currentIndex(), 39);
        press(Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(answers->currentIndex(), 0);
        QCOMPARE(paper->currentIndex(), 0);

        // The paper tabs, from the paper itself: the figure pages take no
        // focus, so it stays with the tab control.
        find(QStringLiteral("RichTextBox1"))->setFocus();
        press(Qt::Key_PageDown, Qt::ControlModifier);
        QCOMPARE(paper->currentIndex(), 1);
        QCOMPARE(QApplication::focusWidget(), paper);
        press(Qt::Key_Tab, Qt::ControlModifier | Qt::ShiftModifier);
        press(Qt::Key_PageUp, Qt::ControlModifier);
        QCOMPARE(paper->currentIndex(), 4);
        press(Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(paper->currentIndex(), 0);
        QCOMPARE(answers->currentIndex(), 0);

        // Outside both controls the keys turn no page.
        find(u(u"cmdスタート"))->setFocus();
        press(Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(paper->currentIndex(), 0);
        QCOMPARE(answers->currentIndex(), 0);
    }

    void scoreWritesInOrder()
    {
        // Nothing ticked: "0", every mark hidden, the clock stopped.
        auto *seconds = find<QLabel>(u(u"lbl秒"));
        auto *score = find<QLabel>(u(u"lbl得点"));
        auto *start = find<QPushButton>(u(u"cmdスタート"));
        w->start();
        QVERIFY(!start->isEnabled());
        QVERIFY(w->timerActive());
        w->scoreSheet();
        QVERIFY(start->isEnabled());
        QVERIFY(!w->timerActive());
        QCOMPARE(seconds->text(), QString());
        QCOMPARE(score->text(), QStringLiteral("0"));
        for (int n = 1; n <= 40; ++n)
            QVERIFY(w->mark(n)->isHidden());

        // All right: "100" and every mark; the label widens to the right
        // from its left edge and stays above "点".
        tickAll({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20,
                 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40});
        w->scoreSheet();
        QCOMPARE(score->text(), QStringLiteral("100"));
        QCOMPARE(score->x(), 40);
        QCOMPARE(score->height(), 19);
        QCOMPARE(score->width(), score->fontMetrics().horizontalAdvance(QStringLiteral("100")));
        for (int n = 1; n <= 40; ++n)
            QVERIFY(!w->mark(n)->isHidden());
        // A mark on a tab not shown is seen once its tab is chosen.
        QVERIFY(!w->mark(12)->isVisible());
        w->answerTabs()->setCurrentIndex(11);
        QVERIFY(w->mark(12)->isVisible());

        // Untick a right answer: its mark goes, the total drops.
        w->box(12, answerKey()[11].choice)->setChecked(false);
        w->scoreSheet();
        QCOMPARE(score->text(), QStringLiteral("97"));
        QVERIFY(w->mark(12)->isHidden());
        QVERIFY(!w->mark(11)->isHidden());
        // The sheet stays editable and the tab where it was.
        QCOMPARE(w->answerTabs()->currentIndex(), 11);
        QVERIFY(w->box(12, 1)->isEnabled());
    }

    void startAfterScoreKeepsTheTicks()
    {
        tickAll({1, 2});
        w->box(3, 1)->setChecked(true);
        w->scoreSheet();
        QCOMPARE(find<QLabel>(u(u"lbl得点"))->text(), QStringLiteral("5"));
        w->start();
        QCOMPARE(find<QLabel>(u(u"lbl秒"))->text(), QStringLiteral("1:00"));
        QCOMPARE(find<QLabel>(u(u"lbl得点"))->text(), QString());
        QCOMPARE(find<QLabel>(u(u"lbl得点"))->width(), 0);
        for (int n = 1; n <= 40; ++n)
            QVERIFY(w->mark(n)->isHidden());
        QVERIFY(w->box(1, answerKey()[0].choice)->isChecked());
        QVERIFY(w->box(3, 1)->isChecked());
    }

    void countdownToTheChime()
    {
        auto *seconds = find<QLabel>(u(u"lbl秒"));
        QTest::mouseClick(find<QPushButton>(u(u"cmdスタート")), Qt::LeftButton);
        QCOMPARE(seconds->text(), QStringLiteral("1:00"));
        // 10:00:30 at start: the first minute falls 30 s later.
        for (int i = 0; i < 29; ++i) {
            m_clock.advance(1000);
            w->tick();
        }
        QCOMPARE(seconds->text(), QStringLiteral("1:00"));
        const QString chime = ExamWindow::AppFolder() + QStringLiteral("Zikan.wav");
        QCOMPARE(w->soundStrip()->fileName(), chime);
        // Every tick opens the file; the player is asked to open it once.
        QCOMPARE(m_sound, QStringList{QStringLiteral("open ") + chime});
        m_clock.advance(1000);
        w->tick();
        QCOMPARE(seconds->text(), QStringLiteral("0:59"));
        for (int i = 0; i < 58 * 60; ++i) {
            m_clock.advance(1000);
            w->tick();
        }
        QCOMPARE(seconds->text(), QStringLiteral("0:01"));
        QVERIFY(!m_sound.contains(QStringLiteral("play")));
        for (int i = 0; i < 60 && w->timerActive(); ++i) {
            m_clock.advance(1000);
            w->tick();
        }
        QCOMPARE(seconds->text(), QStringLiteral("0:00"));
        QVERIFY(!w->timerActive());
        QCOMPARE(m_sound.count(QStringLiteral("play")), 1);
        QCOMPARE(m_sound.mid(m_sound.size() - 2),
                 (QStringList{QStringLiteral("rewind"), QStringLiteral("play")}));
        // Time-up neither scores nor locks; Start stays disabled until Score.
        QCOMPARE(find<QLabel>(u(u"lbl得点"))->text(), QString());
        QVERIFY(!find<QPushButton>(u(u"cmdスタート"))->isEnabled());
        QVERIFY(w->box(5, 2)->isEnabled());
    }

    void scoreDuringTheCountdownPlaysNothing()
    {
        w->start();
        for (int i = 0; i < 120; ++i) {
            m_clock.advance(1000);
            w->tick();
        }
        w->scoreSheet();
        QVERIFY(!w->timerActive());
        QCOMPARE(find<QLabel>(u(u"lbl秒"))->text(), QString());
        QVERIFY(!m_sound.contains(QStringLiteral("play")));
    }

    // A laptop asleep through the end of the hour: the first tick after it
    // wakes shows "0:00", stops the clock and chimes once.
    void asleepThroughTheEnd()
    {
        w->start();
        m_clock.advance(2 * 3600000);
        w->tick();
        QCOMPARE(find<QLabel>(u(u"lbl秒"))->text(), QStringLiteral("0:00"));
        QVERIFY(!w->timerActive());
        QCOMPARE(m_sound.count(QStringLiteral("play")), 1);
    }

    void closingTheWindowStopsTheCountdown()
    {
        w->start();
        m_clock.advance(1000);
        w->tick();
        m_clock.advance(59 * 60000);
        w->close();
        QVERIFY(!w->timerActive());
        // The sound goes with the window, while the window is still whole.
        QCOMPARE(m_sound.last(), QStringLiteral("close"));
        QTest::qWait(1200); // no tick comes
        QVERIFY(!m_sound.contains(QStringLiteral("play")));
    }

    void appFolderEndsInOneSeparator()
    {
        QCOMPARE(ExamWindow::AppFolder(QStringLiteral("/opt/karvel")), QStringLiteral("/opt/karvel/"));
        QCOMPARE(ExamWindow::AppFolder(QStringLiteral("/")), QStringLiteral("/"));
        QVERIFY(ExamWindow::AppFolder().endsWith(QLatin1Char('/')));
        // As a Windows build has them: Qt's "/" throughout, a drive's root.
        const QChar back(u'\\');
        QCOMPARE(ExamWindow::AppFolder(QStringLiteral("C:/Program Files/Karvel"), back),
                 QStringLiteral("C:\\Program Files\\Karvel\\"));
        QCOMPARE(ExamWindow::AppFolder(QStringLiteral("C:/"), back), QStringLiteral("C:\\"));
        QCOMPARE(ExamWindow::AppFolder(QStringLiteral("//server/exams"), back),
                 QStringLiteral("\\\\server\\exams\\"));
    }

    void passRateAsksForTheBand()
    {
        QSignalSpy spy(w.get(), &ExamWindow::verdictRequested);
        // No score yet: nothing.
        QTest::mouseClick(find<QPushButton>(u(u"cmd合格率")), Qt::LeftButton);
        QCOMPARE(spy.count(), 0);
        w->scoreSheet();
        w->passRate();
        QCOMPARE(spy.takeFirst().at(0).toInt(), 6);
        tickAll({1});
        w->scoreSheet();
        w->passRate();
        QCOMPARE(spy.takeFirst().at(0).toInt(), 5);
        // After Start the score is gone: nothing again.
        w->start();
        w->passRate();
        QCOMPARE(spy.count(), 0);
    }
};

QTEST_MAIN(TestExamWindow)
#include "tst_examwindow.moc"
