// The answer key, the judging of the sheet and the choice of verdict window.

#include "exam/answerkey.h"
#include "exam/scoring.h"

#include <QtTest>

#include <set>

using namespace karvel;

class TestScoring : public QObject
{
    Q_OBJECT

private:
    static Sheet allRight()
    {
        Sheet s{};
        for (const KeyRow &row : answerKey())
            s[row.question - 1][row.choice - 1] = true;
        return s;
    }

private slots:
    void keyHasItsTotals()
    {
        const auto &key = answerKey();
        int sub[5] = {};
        int byPoints[4] = {};
        int byChoice[5] = {};
        for (int i = 0; i < kQuestionCount; ++i) {
            const KeyRow &row = key[i];
            QCOMPARE(row.question, i + 1);
            const int major = QString::fromUtf16(row.caption).left(1).toInt();
            sub[major] += row.points;
            ++byPoints[row.points];
            ++byChoice[row.choice];
        }
        QCOMPARE(sub[1], 25);
        QCOMPARE(sub[2], 28);
        QCOMPARE(sub[3], 22);
        QCOMPARE(sub[4], 25);
        QCOMPARE(byPoints[3], 20);
        QCOMPARE(byPoints[2], 20);
        QCOMPARE(byChoice[1], 7);
        QCOMPARE(byChoice[2], 10);
        QCOMPARE(byChoice[3], 11);
        QCOMPARE(byChoice[4], 12);
    }

    void captionsFollowTheSections()
    {
        QCOMPARE(tabCaption(1), QStringLiteral("1A-問1"));
        QCOMPARE(tabCaption(10), QStringLiteral("1C-問10"));
        QCOMPARE(tabCaption(11), QStringLiteral("2A-問1"));
        QCOMPARE(tabCaption(21), QStringLiteral("2C-問11"));
        QCOMPARE(tabCaption(28), QStringLiteral("3C-問7"));
        QCOMPARE(tabCaption(40), QStringLiteral("4C-問10"));
        // Local numbers restart in every major question and run on across
        // its sections.
        int expected = 0;
        QChar major;
        for (int n = 1; n <= kQuestionCount; ++n) {
            const QString c = tabCaption(n);
            if (c.at(0) != major) {
                major = c.at(0);
                expected = 0;
            }
            QCOMPARE(c.mid(c.indexOf(QStringLiteral("問")) + 1).toInt(), ++expected);
        }
    }

    void judging()
    {
        // The correct box alone is right; nothing, another box, or the
        // correct one with any other is wrong.
        QVERIFY(isRight({false, false, true, false}, 3));
        QVERIFY(!isRight({false, false, false, false}, 3));
        QVERIFY(!isRight({true, false, false, false}, 3));
        QVERIFY(!isRight({false, false, true, true}, 3));
        QVERIFY(!isRight({true, true, true, true}, 3));
        for (int c = 1; c <= 4; ++c) {
            for (int bits = 0; bits < 16; ++bits) {
                Boxes b{bool(bits & 1), bool(bits & 2), bool(bits & 4), bool(bits & 8)};
                QCOMPARE(isRight(b, c), bits == (1 << (c - 1)));
            }
        }
    }

    void totals()
    {
        QCOMPARE(score(Sheet{}).total, 0);
        const Result all = score(allRight());
        QCOMPARE(all.total, 100);
        QVERIFY(std::all_of(all.right.begin(), all.right.end(), [](bool r) { return r; }));

        Sheet only1{};
        only1[0][2] = true;
        Result r = score(only1);
        QCOMPARE(r.total, 3);
        QVERIFY(r.right[0]);
        QCOMPARE(std::count(r.right.begin(), r.right.end(), true), 1);

        only1[0][3] = true; // ③ and ④ both ticked
        r = score(only1);
        QCOMPARE(r.total, 0);
        QVERIFY(!r.right[0]);

        Sheet threes{}, twos{};
        for (const KeyRow &row : answerKey())
            (row.points == 3 ? threes : twos)[row.question - 1][row.choice - 1] = true;
        QCOMPARE(score(threes).total, 60);
        QCOMPARE(score(twos).total, 40);

        // A right answer unticked between two presses drops its points.
        Sheet s = allRight();
        s[39][0] = false;
        r = score(s);
        QCOMPARE(r.total, 98);
        QVERIFY(!r.right[39]);
    }

    void everyTotalButOneAnd99IsReachable()
    {
        // With twenty 3-point and twenty 2-point questions, a total is
        // 3a + 2b for 0 <= a, b <= 20. Enumerate all of them.
        std::set<int> reachable;
        for (int a = 0; a <= 20; ++a) {
            for (int b = 0; b <= 20; ++b)
                reachable.insert(3 * a + 2 * b);
        }
        for (int t = 0; t <= 100; ++t)
            QCOMPARE(reachable.count(t) == 1, t != 1 && t != 99);

        // And the sheet reaches each of them: tick the first a 3-point and
        // the first b 2-point questions right.
        for (int a = 0; a <= 20; ++a) {
            for (int b = 0; b <= 20; ++b) {
                Sheet s{};
                int na = 0, nb = 0;
                for (const KeyRow &row : answerKey()) {
                    int &count = row.points == 3 ? na : nb;
                    if (count < (row.points == 3 ? a : b)) {
                        s[row.question - 1][row.choice - 1] = true;
                        ++count;
                    }
                }
                QCOMPARE(score(s).total, 3 * a + 2 * b);
            }
        }
    }

    void verdictBands_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("window");
        const int scores[] = {100, 98, 80, 79, 60, 59, 40, 39, 2, 0};
        const int windows[] = {1, 2, 2, 3, 3, 4, 4, 5, 5, 6};
        for (int i = 0; i < 10; ++i)
            QTest::addRow("%d", scores[i]) << QString::number(scores[i]) << windows[i];
        QTest::addRow("empty") << QString() << 0;
    }

    void verdictBands()
    {
        QFETCH(QString, text);
        QFETCH(int, window);
        QCOMPARE(verdictWindowFor(text), window);
    }

    void verdictForEveryScore()
    {
        // Compared as numbers: 2 to 9 open window 5, 80 to 99 window 2.
        for (int s = 0; s <= 100; ++s) {
            const int expected = s == 100 ? 1 : s >= 80 ? 2 : s >= 60 ? 3 : s >= 40 ? 4
                               : s >= 1  ? 5 : 6;
            QCOMPARE(verdictWindowFor(QString::number(s)), expected);
        }
        // Not a score: nothing opens.
        QCOMPARE(verdictWindowFor(QStringLiteral("abc")), 0);
        QCOMPARE(verdictWindowFor(QStringLiteral("101")), 0);
        QCOMPARE(verdictWindowFor(QStringLiteral("-1")), 0);
    }
};

QTEST_APPLESS_MAIN(TestScoring)
#include "tst_scoring.moc"
