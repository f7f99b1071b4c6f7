#include "examwindow.h"

#include "examlayout.h"
#include "widgets/afterfirstpaint.h"
#include "widgets/fonts.h"
#include "widgets/indexedgif.h"
#include "widgets/multirowtabs.h"
#include "widgets/picturebox.h"
#include "widgets/richtextview.h"
#include "widgets/soundstrip.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QPaintEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QWindow>

#include <future>

namespace karvel {

namespace L = examlayout;

namespace {

QString text(const char16_t *s)
{
    return QString::fromUtf16(s);
}

QFont fontOf(const L::FontSpec &spec)
{
    return namedFont(text(spec.face), spec.points, spec.bold);
}

// The client area: the background picture from its top-left corner.
class ClientArea : public QWidget
{
public:
    explicit ClientArea(QWidget *parent) : QWidget(parent)
    {
        setObjectName(QStringLiteral("client"));
        setFixedSize(L::kClientWidth, L::kClientHeight);
        // Decoded on a thread of its own while the window is built and shown.
        m_reading = std::async(std::launch::async,
                               [] { return readPicture(QString::fromLatin1(L::kBackground)); });
    }

protected:
    void paintEvent(QPaintEvent *event) override
    {
        // Kept at the picture's own depth: an indexed image is drawn as it is.
        if (m_reading.valid())
            m_background = m_reading.get();
        QPainter p(this);
        p.fillRect(event->rect(), palette().color(QPalette::Window));
        p.drawImage(event->rect(), m_background, event->rect());
    }

private:
    std::future<QImage> m_reading;
    QImage m_background;
};

const L::ControlSpec &controlSpec(const char *name)
{
    for (const L::ControlSpec &c : L::kControls) {
        if (qstrcmp(c.name, name) == 0)
            return c;
    }
    Q_UNREACHABLE();
}

} // namespace

ExamWindow::ExamWindow(const Clock *clock, QWidget *parent)
    : QMainWindow(parent),
      m_ownClock(clock ? nullptr : std::make_unique<SystemClock>()),
      m_clock(clock ? clock : m_ownClock.get()),
      m_countdown(*m_clock)
{
    setObjectName(QStringLiteral("frmKarvel"));
    setWindowTitle(text(L::kCaption));
    setFont(fontOf(L::kWindowDefault));
    m_timer.setObjectName(QStringLiteral("tmr時間"));
    m_timer.setInterval(L::kTimerInterval);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &ExamWindow::tick);
    build();
}

ExamWindow::~ExamWindow() = default;

void ExamWindow::build()
{
    buildMenus();
    // The client area scrolls where the screen is too small for it; where
    // it fits, it fills the window as the window's own client area would.
    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName(QStringLiteral("clientScroll"));
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setFocusPolicy(Qt::NoFocus);
    m_scroll->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_client = new ClientArea(m_scroll);
    m_scroll->setWidget(m_client);
    setCentralWidget(m_scroll);

    for (const L::ControlSpec &c : L::kControls) {
        QWidget *w = nullptr;
        switch (c.kind) {
        case L::Kind::Button: {
            auto *b = new QPushButton(text(c.text), m_client);
            w = b;
            break;
        }
        case L::Kind::Label: {
            auto *l = new QLabel(text(c.text), m_client);
            l->setAlignment(c.align);
            l->setMargin(0);
            l->setIndent(0);
            w = l;
            break;
        }
        case L::Kind::TabControl: {
            auto *t = new MultiRowTabControl(qstrcmp(c.name, "SSTab2") == 0
                                                 ? L::kAnswerTabsPerRow : L::kPaperTabsPerRow,
                                             L::kTabHeight, m_client);
            w = t;
            break;
        }
        case L::Kind::SoundStrip:
            w = new SoundPlayerStrip(m_client);
            break;
        }
        w->setObjectName(QString::fromUtf8(c.name));
        w->setFont(fontOf(c.font));
        w->setGeometry(c.geometry);
        if (c.background) {
            if (auto *t = qobject_cast<MultiRowTabControl *>(w)) {
                t->setPageColor(*c.background);
            } else {
                QPalette pal = w->palette();
                pal.setColor(QPalette::Window, *c.background);
                w->setPalette(pal);
                w->setAutoFillBackground(true);
            }
        }
    }

    m_start = m_client->findChild<QPushButton *>(QStringLiteral("cmdスタート"));
    m_score = m_client->findChild<QPushButton *>(QStringLiteral("cmd得点"));
    m_passRate = m_client->findChild<QPushButton *>(QStringLiteral("cmd合格率"));
    m_seconds = m_client->findChild<QLabel *>(QStringLiteral("lbl秒"));
    m_scoreLabel = m_client->findChild<QLabel *>(QStringLiteral("lbl得点"));
    m_paperTabs = m_client->findChild<MultiRowTabControl *>(QStringLiteral("stbKarvel"));
    m_answerTabs = m_client->findChild<MultiRowTabControl *>(QStringLiteral("SSTab2"));
    m_strip = m_client->findChild<SoundPlayerStrip *>(QStringLiteral("MMControl1"));
    for (QLabel *l : m_client->findChildren<QLabel *>(Qt::FindDirectChildrenOnly))
        l->setFocusPolicy(Qt::NoFocus);
    setScoreText(QString());

    connect(m_start, &QPushButton::clicked, this, &ExamWindow::start);
    connect(m_score, &QPushButton::clicked, this, &ExamWindow::scoreSheet);
    connect(m_passRate, &QPushButton::clicked, this, &ExamWindow::passRate);

    buildPaperTabs();
    buildAnswerTabs();
    applyFocusOrder();

    fitToScreen();
}

QSize ExamWindow::fittedSize(QSize full, QSize room, int bar)
{
    bool tall = full.height() > room.height();
    bool wide = full.width() > room.width();
    // A scroll bar along one edge takes room from the other way.
    if (tall && !wide)
        wide = full.width() + bar > room.width();
    if (wide && !tall)
        tall = full.height() + bar > room.height();
    return (full + QSize(tall ? bar : 0, wide ? bar : 0)).boundedTo(room);
}

void ExamWindow::fitToScreen()
{
    // The window is as large as the client area and the menu bar, and fixed,
    // unless the free area of its screen (less the frame, once the window
    // manager has put one round it) is smaller.
    const QSize full(L::kClientWidth, L::kClientHeight + menuBar()->sizeHint().height());
    QScreen *now = screen();
    if (!now) {
        setFixedSize(full);
        return;
    }
    if (now != m_screen) {
        if (m_screen)
            disconnect(m_screen, nullptr, this, nullptr);
        m_screen = now;
        connect(now, &QScreen::availableGeometryChanged, this, &ExamWindow::fitToScreen);
    }
    const QMargins frame = windowHandle() ? windowHandle()->frameMargins() : QMargins();
    const QSize room = now->availableGeometry().size().shrunkBy(frame);
    const QSize size = fittedSize(full, room, m_scroll->verticalScrollBar()->sizeHint().width());
    // Scroll bars only where the client area does not fit: not for a
    // fraction of a pixel lost to rounding at a fractional scale.
    m_scroll->setVerticalScrollBarPolicy(size.height() < full.height() ? Qt::ScrollBarAsNeeded
                                                                       : Qt::ScrollBarAlwaysOff);
    m_scroll->setHorizontalScrollBarPolicy(size.width() < full.width() ? Qt::ScrollBarAsNeeded
                                                                       : Qt::ScrollBarAlwaysOff);
    setFixedSize(size);
}

void ExamWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (QWindow *w = windowHandle())
        connect(w, &QWindow::screenChanged, this, &ExamWindow::fitToScreen, Qt::UniqueConnection);
    fitToScreen();
}

void ExamWindow::moveEvent(QMoveEvent *event)
{
    // The frame's size is known once the window manager has framed it.
    QMainWindow::moveEvent(event);
    fitToScreen();
}

void ExamWindow::buildMenus()
{
    for (const L::MenuSpec &m : L::kMenus) {
        QMenu *menu = menuBar()->addMenu(text(m.barCaption));
        menu->setObjectName(QString::fromUtf8(m.barName));
        QAction *action = menu->addAction(text(m.commandCaption));
        action->setObjectName(QString::fromUtf8(m.commandName));
        if (qstrcmp(m.commandName, "mnuExit") == 0)
            connect(action, &QAction::triggered, this, &ExamWindow::exitRequested);
        else
            connect(action, &QAction::triggered, this, &ExamWindow::aboutRequested);
    }
}

void ExamWindow::buildPaperTabs()
{
    for (const L::PaperTabSpec &t : L::kPaperTabs) {
        QWidget *page = m_paperTabs->addTab(text(t.caption));
        if (t.content == L::PaperContent::Paper) {
            auto *view = new RichTextView(QString::fromLatin1(t.resource), fontOf(L::kGothic9), page);
            view->setObjectName(QString::fromUtf8(t.name));
            view->setGeometry(t.geometry);
        } else {
            auto *box = new PictureBox(QString::fromLatin1(t.resource), page);
            box->setObjectName(QString::fromUtf8(t.name));
            box->setGeometry(t.geometry);
        }
    }
}

void ExamWindow::buildAnswerTabs()
{
    // The forty tabs now, and the controls of the first page, the one shown;
    // the other pages' right after the first paint.
    for (const KeyRow &row : answerKey())
        m_answerTabs->addTab(text(row.caption));
    m_ring = QPixmap(QString::fromLatin1(L::kMarkImage));
    buildAnswerPage(1);
    afterFirstPaint(m_client, [this] { buildAnswerPages(); });
}

void ExamWindow::buildAnswerPages()
{
    if (m_answerPagesBuilt)
        return;
    m_answerPagesBuilt = true;
    for (int n = 2; n <= kQuestionCount; ++n)
        buildAnswerPage(n);
    applyFocusOrder();
}

void ExamWindow::buildAnswerPage(int n)
{
    const KeyRow &row = answerKey()[n - 1];
    const bool windowFont = n >= L::kDefaultFontFirst && n <= L::kDefaultFontLast;
    QWidget *page = m_answerTabs->page(n - 1);

    // The circle mark, hidden until the sheet is scored.
    auto *mark = new QLabel(page);
    mark->setObjectName(QStringLiteral("pctマル%1").arg(n));
    QRect markRect = L::kMark;
    for (const L::MarkException &e : L::kMarkExceptions) {
        if (e.question == n)
            markRect = e.geometry;
    }
    mark->setGeometry(markRect);
    mark->setPixmap(m_ring);
    mark->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    mark->setAutoFillBackground(true);
    mark->setBackgroundRole(QPalette::Button);
    mark->setAccessibleName(QStringLiteral("○ %1").arg(text(row.caption)));
    mark->hide();
    m_marks[n - 1] = mark;

    // The answer frame and its four boxes.
    auto *frame = new QGroupBox(text(L::kFrameCaption), page);
    frame->setObjectName(QStringLiteral("Frame%1").arg(n));
    QRect frameRect = L::kFrame;
    for (int shifted : L::kFramesShifted) {
        if (shifted == n)
            frameRect.moveLeft(L::kFrameShiftedLeft);
    }
    frame->setGeometry(frameRect);
    frame->setFont(windowFont ? fontOf(L::kWindowDefault) : fontOf(L::kGothic9));
    frame->setAutoFillBackground(true);
    frame->setBackgroundRole(QPalette::Button);
    frame->setFocusPolicy(Qt::NoFocus);

    for (int k = 1; k <= kChoiceCount; ++k) {
        const L::BoxSpec &b = L::kBoxes[k - 1];
        int width = b.width;
        for (const L::BoxWidthException &e : L::kBoxWidthExceptions) {
            if (e.question == n && e.index == k)
                width = e.width;
        }
        auto *box = new QCheckBox(text(b.caption), frame);
        box->setObjectName(QStringLiteral("chkKarvel%1_%2").arg(n).arg(k));
        box->setGeometry(b.left, L::kBoxTop, width, L::kBoxHeight);
        if (n == L::kSerifBoxQuestion && k == L::kSerifBoxIndex)
            box->setFont(fontOf(L::kSerif825));
        else
            box->setFont(windowFont ? fontOf(L::kWindowDefault) : fontOf(L::kGothic9));
        box->setAccessibleDescription(text(row.caption));
        m_boxes[n - 1][k - 1] = box;
    }
    // A page already on the screen shows what is added to it only when told.
    if (page->isVisible())
        frame->show();
}

void ExamWindow::applyFocusOrder()
{
    // Collect every control that can take the focus with its stored index,
    // then chain them in that order.
    QList<std::pair<int, QWidget *>> order;
    for (const L::TabIndexSpec &t : L::kTabIndexes) {
        if (auto *w = findChild<QWidget *>(QString::fromUtf8(t.name)))
            order.append({t.index, w});
    }
    for (int n = 1; n <= kQuestionCount; ++n) {
        for (int k = 1; k <= kChoiceCount; ++k) {
            if (QCheckBox *b = m_boxes[n - 1][k - 1]) // its page may come later
                order.append({L::tabIndexOfBox(n, k), b});
        }
    }
    std::stable_sort(order.begin(), order.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    QWidget *previous = nullptr;
    for (const auto &[index, w] : order) {
        if (w->focusPolicy() == Qt::NoFocus)
            continue;
        if (previous)
            setTabOrder(previous, w);
        previous = w;
    }
}

QCheckBox *ExamWindow::box(int question, int index)
{
    buildAnswerPages();
    return m_boxes.at(question - 1).at(index - 1);
}

QLabel *ExamWindow::mark(int question)
{
    buildAnswerPages();
    return m_marks.at(question - 1);
}

void ExamWindow::setScoreText(const QString &s)
{
    // lbl得点 keeps its left edge and height; its width follows its text.
    m_scoreLabel->setText(s);
    const QRect g = controlSpec("lbl得点").geometry;
    m_scoreLabel->setGeometry(g.left(), g.top(),
                              m_scoreLabel->fontMetrics().horizontalAdvance(s), g.height());
}

Sheet ExamWindow::sheet()
{
    Sheet s{};
    for (int n = 1; n <= kQuestionCount; ++n) {
        for (int k = 1; k <= kChoiceCount; ++k)
            s[n - 1][k - 1] = box(n, k)->isChecked();
    }
    return s;
}

QString ExamWindow::AppFolder()
{
    return AppFolder(QCoreApplication::applicationDirPath());
}

QString ExamWindow::AppFolder(const QString &folder, QChar separator)
{
    // Qt gives paths with "/" on every platform; a Windows build writes
    // them with "\\" throughout rather than mixing the two.
    QString path = folder;
    path.replace(QLatin1Char('/'), separator);
    if (!path.endsWith(separator))
        path += separator;
    return path;
}

void ExamWindow::PlaySound(const QString &)
{
    // The file is the one the tick has just opened from that same path.
    m_strip->command(QStringLiteral("Prev"));
    m_strip->command(QStringLiteral("Play"));
}

void ExamWindow::closeEvent(QCloseEvent *event)
{
    // A running countdown ends with the window, without the chime; a chime
    // that plays ends too. Its audio output goes now, while the window is
    // whole: letting it go runs the event loop for a moment.
    m_timer.stop();
    m_strip->command(QStringLiteral("Close"));
    QMainWindow::closeEvent(event);
}

void ExamWindow::start()
{
    buildAnswerPages();
    m_timer.start();
    m_countdown.start();
    m_seconds->setText(Countdown::format(m_countdown.remainingMinutes()));
    m_start->setEnabled(false);
    setScoreText(QString());
    for (QLabel *mark : m_marks)
        mark->hide();
}

void ExamWindow::tick()
{
    if (m_countdown.update())
        m_seconds->setText(Countdown::format(m_countdown.remainingMinutes()));
    const QString chime = AppFolder() + QStringLiteral("Zikan.wav");
    m_strip->setFileName(chime);
    m_strip->command(QStringLiteral("Open"));
    if (m_seconds->text() == QLatin1String("0:00")) {
        m_timer.stop();
        PlaySound(chime);
    }
}

void ExamWindow::scoreSheet()
{
    m_start->setEnabled(true);
    m_seconds->setText(QString());
    m_timer.stop();
    const Result result = score(sheet());
    for (int n = 1; n <= kQuestionCount; ++n)
        m_marks[n - 1]->setVisible(result.right[n - 1]);
    setScoreText(QString::number(result.total));
}

void ExamWindow::passRate()
{
    const int window = verdictWindowFor(m_scoreLabel->text());
    if (window != 0)
        emit verdictRequested(window);
}

} // namespace karvel
