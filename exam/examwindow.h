#pragma once

#include "countdown.h"
#include "scoring.h"

#include <QDir>
#include <QMainWindow>
#include <QPixmap>
#include <QPointer>
#include <QTimer>

#include <array>
#include <memory>

class QCheckBox;
class QLabel;
class QPushButton;
class QScreen;
class QScrollArea;

namespace karvel {

class MultiRowTabControl;
class SoundPlayerStrip;

// The exam window frmKarvel: the question paper and figures above, the
// forty answer tabs below, the Start, Score and Pass-rate buttons, the
// one-hour countdown and the time-up chime.
class ExamWindow : public QMainWindow
{
    Q_OBJECT

public:
    // `clock` drives the countdown (the system clock when null); it must
    // outlive the window.
    explicit ExamWindow(const Clock *clock = nullptr, QWidget *parent = nullptr);
    ~ExamWindow() override;

    // The answer box `index` (1..4) of `question` (1..40), and its mark.
    QCheckBox *box(int question, int index);
    QLabel *mark(int question);
    // Whether the controls of every answer page are there: all but the first
    // page's come right after the window's first paint, or when asked for.
    bool answerPagesBuilt() const { return m_answerPagesBuilt; }
    MultiRowTabControl *answerTabs() const { return m_answerTabs; }
    MultiRowTabControl *paperTabs() const { return m_paperTabs; }
    SoundPlayerStrip *soundStrip() const { return m_strip; }
    bool timerActive() const { return m_timer.isActive(); }

    // The folder of the program's executable, ending in the separator.
    static QString AppFolder();
    // `folder` (in Qt's form, with "/") written with the platform's
    // `separator` throughout and ending in exactly one.
    static QString AppFolder(const QString &folder, QChar separator = QDir::separator());
    // Plays the file the sound strip has open, from its start.
    void PlaySound(const QString &path);

    // The client area: the controls, at their places under the menu bar.
    QWidget *client() const { return m_client; }
    // The window's size in a free area of the screen `room` wide and high:
    // `full` (the client area and the menu bar) where that fits, otherwise
    // no larger than `room`, with space for the scroll bars (`bar` thick)
    // through which the client area is then seen.
    static QSize fittedSize(QSize full, QSize room, int bar);

    // The handlers.
    void start();
    void tick();
    void scoreSheet();
    void passRate();

signals:
    void aboutRequested();
    void exitRequested();
    // The verdict window 1..6 chosen by the Pass-rate button.
    void verdictRequested(int window);

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void moveEvent(QMoveEvent *event) override;

private:
    void build();
    void buildMenus();
    void buildPaperTabs();
    void buildAnswerTabs();
    void buildAnswerPage(int question);
    void buildAnswerPages();
    void applyFocusOrder();
    void fitToScreen();
    void setScoreText(const QString &text);
    Sheet sheet();

    std::unique_ptr<Clock> m_ownClock;
    const Clock *m_clock;
    Countdown m_countdown;
    QTimer m_timer; // tmr時間

    QWidget *m_client = nullptr;
    QScrollArea *m_scroll = nullptr;
    QPointer<QScreen> m_screen; // the screen the window was last fitted to
    QPushButton *m_start = nullptr;
    QPushButton *m_score = nullptr;
    QPushButton *m_passRate = nullptr;
    QLabel *m_seconds = nullptr;  // lbl秒
    QLabel *m_scoreLabel = nullptr; // lbl得点
    MultiRowTabControl *m_paperTabs = nullptr;
    MultiRowTabControl *m_answerTabs = nullptr;
    SoundPlayerStrip *m_strip = nullptr;
    std::array<std::array<QCheckBox *, kChoiceCount>, kQuestionCount> m_boxes{};
    std::array<QLabel *, kQuestionCount> m_marks{};
    QPixmap m_ring; // the circle mark's picture, shared by the forty marks
    bool m_answerPagesBuilt = false;
};

} // namespace karvel
