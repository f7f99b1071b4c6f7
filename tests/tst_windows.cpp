// Window lifetimes: one instance each, built afresh after close, centred on
// first show, raised when shown again; Exit closes everything; the program
// ends with its last window. Also the About and verdict windows as built.

#include "app/windowregistry.h"
#include "exam/examwindow.h"
#include "info/aboutwindow.h"
#include "info/verdictwindow.h"
#include "widgets/fonts.h"
#include "widgets/richtextview.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTextBlock>
#include <QTextDocument>
#include <QtTest>

using namespace karvel;

namespace {

QString u(const char16_t *s)
{
    return QString::fromUtf16(s);
}

// Lets deferred deletes run, so that a closed window is really gone.
void settle()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

QAction *menuCommand(QMainWindow *w, const char *name)
{
    return w->menuBar()->findChild<QAction *>(QLatin1String(name));
}

} // namespace

class TestWindows : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        installFontFallbacks();
        // The test decides when the program would end.
        QApplication::setQuitOnLastWindowClosed(false);
    }

    void startShowsTheExamWindowCentred()
    {
        WindowRegistry windows;
        QWidget *exam = windows.show(WindowId::Exam);
        QVERIFY(exam->isVisible());
        for (int i = 1; i < kWindowCount; ++i)
            QVERIFY(!windows.window(static_cast<WindowId>(i)));
        const QRect area = exam->screen()->availableGeometry();
        QVERIFY(qAbs(exam->frameGeometry().center().x() - area.center().x()) <= 1);
        QVERIFY(qAbs(exam->frameGeometry().center().y() - area.center().y()) <= 1);
    }

    // An exam window larger than the free area of the screen is made to fit
    // it, its client area scrolling (scroll bars 16 thick here), and keeps
    // its title bar, menu bar and Start button in reach; one that fits keeps
    // its size and is centred.
    void placementOnSmallScreens_data()
    {
        QTest::addColumn<QRect>("area");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QPoint>("topLeft");
        QTest::newRow("fits") << QRect(0, 0, 1280, 1024) << QSize(792, 576) << QPoint(244, 224);
        QTest::newRow("exactly") << QRect(0, 0, 792, 576) << QSize(792, 576) << QPoint(0, 0);
        QTest::newRow("640 x 480") << QRect(0, 0, 640, 480) << QSize(640, 480) << QPoint(0, 0);
        QTest::newRow("below a 27-pixel top panel, too low")
            << QRect(0, 27, 1024, 573) << QSize(808, 573) << QPoint(108, 27);
        QTest::newRow("1366 x 768 at 1.5, less a 24-pixel frame")
            << QRect(0, 0, 910, 488) << QSize(808, 488) << QPoint(51, 0);
        QTest::newRow("too low, then too narrow for the scroll bar")
            << QRect(0, 0, 800, 500) << QSize(800, 500) << QPoint(0, 0);
        QTest::newRow("right of a dock, too narrow")
            << QRect(64, 0, 700, 900) << QSize(700, 592) << QPoint(64, 154);
        QTest::newRow("second screen, too small")
            << QRect(1920, 100, 600, 500) << QSize(600, 500) << QPoint(1920, 100);
    }

    void placementOnSmallScreens()
    {
        QFETCH(QRect, area);
        QFETCH(QSize, size);
        QFETCH(QPoint, topLeft);
        QCOMPARE(ExamWindow::fittedSize(QSize(792, 576), area.size(), 16), size);
        QCOMPARE(placeInArea(area, size), topLeft);
    }

    void aboutTwiceGivesOneWindow()
    {
        WindowRegistry windows;
        auto *exam = static_cast<ExamWindow *>(windows.show(WindowId::Exam));
        menuCommand(exam, "mnuAbout")->trigger();
        QWidget *about = windows.window(WindowId::About);
        QVERIFY(about);
        QVERIFY(about->isVisible());
        QVERIFY(!about->parentWidget()); // no owner
        menuCommand(exam, "mnuAbout")->trigger();
        QCOMPARE(windows.window(WindowId::About), about);
        int abouts = 0;
        for (QWidget *top : QApplication::topLevelWidgets())
            abouts += top->objectName() == u(u"frmヘルプ") && top->isVisible();
        QCOMPARE(abouts, 1);
        // The exam window stays usable.
        QVERIFY(exam->isEnabled());
        QVERIFY(!about->isModal());
    }

    void passRateOpensOneWindowPerBand()
    {
        WindowRegistry windows;
        auto *exam = static_cast<ExamWindow *>(windows.show(WindowId::Exam));
        auto *passRate = exam->findChild<QPushButton *>(QStringLiteral("cmd合格率"));
        auto countVerdicts = [] {
            int n = 0;
            for (QWidget *top : QApplication::topLevelWidgets())
                n += top->objectName().startsWith(QStringLiteral("frm合格ライン")) && top->isVisible();
            return n;
        };
        // No score yet: nothing opens.
        passRate->click();
        QCOMPARE(countVerdicts(), 0);
        // 0 points, twice: one window of band 6.
        exam->scoreSheet();
        passRate->click();
        passRate->click();
        QCOMPARE(countVerdicts(), 1);
        QVERIFY(windows.window(verdictWindow(6)));
        // A right answer worth 3: band 5 opens beside band 6.
        exam->box(1, 3)->setChecked(true);
        exam->scoreSheet();
        passRate->click();
        QCOMPARE(countVerdicts(), 2);
        QVERIFY(windows.window(verdictWindow(5)));
        QVERIFY(windows.window(verdictWindow(6)));
        // Start takes the score away: nothing more opens.
        exam->start();
        passRate->click();
        QCOMPARE(countVerdicts(), 2);
    }

    void closedWindowsComeBackFromTheirDescription()
    {
        WindowRegistry windows;
        QWidget *about = windows.show(WindowId::About);
        auto *view = about->findChild<RichTextView *>(QStringLiteral("RichTextBox1"));
        view->verticalScrollBar()->setValue(view->verticalScrollBar()->maximum());
        QVERIFY(view->verticalScrollBar()->value() > 0);
        QPointer<QWidget> old = about;
        about->close();
        settle();
        QVERIFY(old.isNull()); // closing destroys it
        QVERIFY(!windows.window(WindowId::About));
        about = windows.show(WindowId::About);
        view = about->findChild<RichTextView *>(QStringLiteral("RichTextBox1"));
        QCOMPARE(view->verticalScrollBar()->value(), 0);

        QWidget *verdict = windows.show(verdictWindow(3));
        // The view has the focus when the window opens.
        QVERIFY(QTest::qWaitForWindowActive(verdict));
        QCOMPARE(QApplication::focusWidget(),
                 verdict->findChild<RichTextView *>(QStringLiteral("RichTextBox1")));
        auto *label = verdict->findChild<QLabel *>(QStringLiteral("Label1"));
        label->setText(QStringLiteral("changed"));
        verdict->close();
        settle();
        verdict = windows.show(verdictWindow(3));
        QCOMPARE(verdict->findChild<QLabel *>(QStringLiteral("Label1"))->text(),
                 u(u" 合格率 ５０％"));
    }

    void exitClosesEverythingInOrder()
    {
        WindowRegistry windows;
        auto *exam = static_cast<ExamWindow *>(windows.show(WindowId::Exam));
        windows.show(WindowId::About);
        windows.show(verdictWindow(2));
        windows.show(verdictWindow(5));
        QStringList closed;
        for (int i = 0; i < kWindowCount; ++i) {
            if (QWidget *w = windows.window(static_cast<WindowId>(i)))
                connect(w, &QObject::destroyed, this, [&closed, name = w->objectName()] {
                    closed.append(name);
                });
        }
        exam->start();
        menuCommand(exam, "mnuExit")->trigger();
        settle();
        QCOMPARE(closed, (QStringList{u(u"frmKarvel"), u(u"frm合格ライン2"),
                                      u(u"frm合格ライン5"), u(u"frmヘルプ")}));
        for (int i = 0; i < kWindowCount; ++i)
            QVERIFY(!windows.window(static_cast<WindowId>(i)));
        QVERIFY(QApplication::topLevelWidgets().isEmpty()
                || std::none_of(QApplication::topLevelWidgets().begin(),
                                QApplication::topLevelWidgets().end(),
                                [](QWidget *w) { return w->isVisible(); }));
    }

    void closingTheExamWindowLeavesAboutOpen()
    {
        WindowRegistry windows;
        auto *exam = static_cast<ExamWindow *>(windows.show(WindowId::Exam));
        menuCommand(exam, "mnuAbout")->trigger();
        exam->start();
        exam->close();
        settle();
        QVERIFY(!windows.window(WindowId::Exam));
        QWidget *about = windows.window(WindowId::About);
        QVERIFY(about && about->isVisible());
    }

    void programEndsWithItsLastWindow()
    {
        // With quit-on-last-window-closed as the program has it, closing
        // the exam window and then About ends the event loop.
        QApplication::setQuitOnLastWindowClosed(true);
        WindowRegistry windows;
        QWidget *exam = windows.show(WindowId::Exam);
        QWidget *about = windows.show(WindowId::About);
        QSignalSpy quit(qApp, &QCoreApplication::aboutToQuit);
        QTimer::singleShot(0, exam, &QWidget::close);
        QTimer::singleShot(50, this, [&] {
            // Still running with About open.
            QVERIFY(quit.isEmpty());
            about->close();
        });
        QTimer::singleShot(5000, qApp, &QCoreApplication::quit); // a guard
        QElapsedTimer t;
        t.start();
        QCoreApplication::exec();
        QVERIFY(t.elapsed() < 4000);
        QCOMPARE(quit.count(), 1);
        QApplication::setQuitOnLastWindowClosed(false);
    }

    void verdictWindows_data()
    {
        QTest::addColumn<int>("window");
        QTest::addColumn<QString>("rate");
        QTest::addColumn<QColor>("rateColour");
        QTest::addColumn<QRect>("rateRect");
        QTest::addColumn<QString>("comment");
        QTest::addColumn<QRect>("commentRect");
        QTest::newRow("1") << 1 << u(u" 合格率 ９９％") << QColor(255, 0, 0) << QRect(312, 16, 169, 25)
                           << u(u" あなたは八百長です。 一流大学に不正入試できるでしょう。") << QRect(160, 56, 481, 17);
        QTest::newRow("2") << 2 << u(u" 合格率 ８０％") << QColor(255, 192, 128) << QRect(312, 16, 169, 25)
                           << u(u" たいへんよくできました。 合コン生活までもう少しです。") << QRect(168, 56, 465, 17);
        QTest::newRow("3") << 3 << u(u" 合格率 ５０％") << QColor(255, 255, 128) << QRect(328, 16, 169, 25)
                           << u(u" 三流大学でも危ないです。 一生懸命お祈りしましょう。") << QRect(192, 56, 449, 17);
        QTest::newRow("4") << 4 << u(u" 合格率 １０％") << QColor(128, 255, 128) << QRect(312, 16, 169, 25)
                           << u(u" 浪人生活にリーチです。 金属バットを持たないようにしましょう。") << QRect(128, 56, 537, 17);
        QTest::newRow("5") << 5 << u(u" 合格率 ０％") << QColor(128, 255, 255) << QRect(320, 16, 145, 25)
                           << u(u" 受験料がもったいないです。 来年の進学はあきらめましょう。") << QRect(144, 56, 497, 17);
        QTest::newRow("6") << 6 << u(u" 計測不能") << QColor(128, 128, 255) << QRect(336, 16, 121, 25)
                           << u(u" 受験する資格はありません。 大学生になるには自分で経営しましょう。") << QRect(112, 56, 569, 17);
    }

    void verdictWindows()
    {
        QFETCH(int, window);
        QFETCH(QString, rate);
        QFETCH(QColor, rateColour);
        QFETCH(QRect, rateRect);
        QFETCH(QString, comment);
        QFETCH(QRect, commentRect);
        VerdictWindow w(window);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(w.objectName(), QStringLiteral("frm合格ライン%1").arg(window));
        QCOMPARE(w.windowTitle(), u(u"合格ライン"));
        QCOMPARE(w.size(), QSize(792, 573));
        QCOMPARE(w.palette().color(QPalette::Window), QColor(255, 128, 128));

        auto *label1 = w.findChild<QLabel *>(QStringLiteral("Label1"));
        QCOMPARE(label1->text(), rate);
        QCOMPARE(label1->geometry(), rateRect);
        QCOMPARE(label1->palette().color(QPalette::Window), rateColour);
        QCOMPARE(label1->font().family(), installedFace(u(u"ＭＳ ゴシック")));
        QCOMPARE(label1->font().pointSizeF(), 15.75);
        QVERIFY(label1->font().bold());
        // Each text fits on one line of its label.
        QVERIFY(label1->fontMetrics().horizontalAdvance(rate) <= rateRect.width());

        auto *label2 = w.findChild<QLabel *>(QStringLiteral("Label2"));
        QCOMPARE(label2->text(), comment);
        QCOMPARE(label2->geometry(), commentRect);
        QCOMPARE(label2->palette().color(QPalette::Window), QColor(255, 128, 128));
        QCOMPARE(label2->font().pointSizeF(), 12.0);
        QVERIFY(label2->fontMetrics().horizontalAdvance(comment) <= commentRect.width());

        auto *view = w.findChild<RichTextView *>(QStringLiteral("RichTextBox1"));
        QCOMPARE(view->geometry(), QRect(0, 88, 793, 489));
        QCOMPARE(view->font().family(), installedFace(u(u"ＭＳ ゴシック")));
        QCOMPARE(view->font().pointSizeF(), 9.0);
        QCOMPARE(view->document()->blockCount(), 127);
        // The view takes the focus when the window opens; labels never do.
        QCOMPARE(label1->focusPolicy(), Qt::NoFocus);
        QCOMPARE(label2->focusPolicy(), Qt::NoFocus);
        QCOMPARE(w.focusProxy(), view);
    }

    void passLineColumnsLineUp()
    {
        // Every entry's first line ends in its pass line; with the view's
        // font the pass lines all start at the same x.
        VerdictWindow w(1);
        auto *view = w.findChild<RichTextView *>(QStringLiteral("RichTextBox1"));
        QTextDocument *doc = view->document();
        QList<qreal> starts;
        for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
            QString line = b.text().section(QLatin1Char('\t'), 0, 0);
            const qsizetype pct = line.indexOf(QChar(0xFF05));
            if (pct < 0)
                continue;
            qsizetype begin = pct;
            while (begin > 0 && (line.at(begin - 1).unicode() == 0xFF0E
                                 || (line.at(begin - 1).unicode() >= 0xFF10
                                     && line.at(begin - 1).unicode() <= 0xFF19)))
                --begin;
            const QTextCharFormat format = b.begin().fragment().charFormat();
            const QFontMetricsF fm(format.font());
            starts.append(fm.horizontalAdvance(line.left(begin)));
        }
        QCOMPARE(starts.size(), 21);
        for (qreal x : starts)
            QCOMPARE(x, starts.first());
    }

    void aboutWindow()
    {
        AboutWindow w;
        QCOMPARE(w.objectName(), u(u"frmヘルプ"));
        QCOMPARE(w.windowTitle(), u(u"バージョン情報"));
        QCOMPARE(w.size(), QSize(792, 573));
        QCOMPARE(w.palette().color(QPalette::Window), QColor(255, 255, 255));
        auto *view = w.findChild<RichTextView *>(QStringLiteral("RichTextBox1"));
        QCOMPARE(view->geometry(), QRect(0, 0, 793, 577));
        QCOMPARE(view->document()->blockCount(), 114);
        QVERIFY(view->document()->begin().text().contains(u(u"ソフトの説明")));
    }
};

QTEST_MAIN(TestWindows)
#include "tst_windows.moc"
