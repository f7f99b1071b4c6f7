#include "soundstrip.h"

#include <QCoreApplication>
#include <QDir>
#include <QHBoxLayout>
#include <QLibrary>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>
#include <QToolButton>

namespace karvel {

namespace {

enum class Glyph { Prev, Next, Play, Pause, Back, Step, Stop, Record, Eject };

// The nine buttons of the strip, left to right.
constexpr Glyph kButtons[] = {Glyph::Prev, Glyph::Next, Glyph::Play, Glyph::Pause,
                              Glyph::Back, Glyph::Step, Glyph::Stop, Glyph::Record,
                              Glyph::Eject};

const char *glyphName(Glyph g)
{
    switch (g) {
    case Glyph::Prev: return "Prev";
    case Glyph::Next: return "Next";
    case Glyph::Play: return "Play";
    case Glyph::Pause: return "Pause";
    case Glyph::Back: return "Back";
    case Glyph::Step: return "Step";
    case Glyph::Stop: return "Stop";
    case Glyph::Record: return "Record";
    case Glyph::Eject: return "Eject";
    }
    return "";
}

// Small black media symbols, drawn so that the strip looks the same on every
// style; the enabled state greys them.
QIcon glyphIcon(Glyph g)
{
    QPixmap pm(16, 12);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(g == Glyph::Record ? QColor(180, 0, 0) : QColor(0, 0, 0));
    auto triangle = [&](qreal x, bool right) {
        QPainterPath path;
        if (right) {
            path.moveTo(x, 2);
            path.lineTo(x + 5, 6);
            path.lineTo(x, 10);
        } else {
            path.moveTo(x + 5, 2);
            path.lineTo(x, 6);
            path.lineTo(x + 5, 10);
        }
        path.closeSubpath();
        p.drawPath(path);
    };
    switch (g) {
    case Glyph::Prev:
        p.drawRect(QRectF(3, 2, 1.5, 8));
        triangle(5, false);
        triangle(9, false);
        break;
    case Glyph::Next:
        triangle(2, true);
        triangle(6, true);
        p.drawRect(QRectF(11.5, 2, 1.5, 8));
        break;
    case Glyph::Play:
        triangle(5, true);
        break;
    case Glyph::Pause:
        p.drawRect(QRectF(5, 2, 2, 8));
        p.drawRect(QRectF(9, 2, 2, 8));
        break;
    case Glyph::Back:
        triangle(3, false);
        triangle(8, false);
        break;
    case Glyph::Step:
        triangle(3, true);
        triangle(8, true);
        break;
    case Glyph::Stop:
        p.drawRect(QRectF(4, 2, 8, 8));
        break;
    case Glyph::Record:
        p.drawEllipse(QRectF(4, 2, 8, 8));
        break;
    case Glyph::Eject: {
        QPainterPath path;
        path.moveTo(8, 2);
        path.lineTo(13, 7);
        path.lineTo(3, 7);
        path.closeSubpath();
        p.drawPath(path);
        p.drawRect(QRectF(3, 8.5, 10, 1.5));
        break;
    }
    }
    return QIcon(pm);
}

} // namespace

SoundPlayerStrip::SoundPlayerStrip(QWidget *parent)
    : QWidget(parent)
{
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    for (Glyph g : kButtons) {
        auto *button = new QToolButton(this);
        button->setObjectName(QLatin1String(glyphName(g)));
        button->setAccessibleName(QLatin1String(glyphName(g)));
        button->setIcon(glyphIcon(g));
        button->setIconSize(QSize(16, 12));
        button->setAutoRaise(false);
        button->setFocusPolicy(Qt::TabFocus);
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        row->addWidget(button);
        // The strip plays back only: Next, Step and Record never apply.
        if (g == Glyph::Next || g == Glyph::Step || g == Glyph::Record)
            button->setEnabled(false);
        else
            m_buttons.append(button);
        connect(button, &QToolButton::clicked, this, [this, g] {
            switch (g) {
            case Glyph::Prev:
            case Glyph::Back:
                command(QStringLiteral("Prev"));
                break;
            case Glyph::Play:
                command(QStringLiteral("Play"));
                break;
            case Glyph::Pause:
            case Glyph::Stop:
                command(QStringLiteral("Stop"));
                break;
            case Glyph::Eject:
                command(QStringLiteral("Close"));
                break;
            default:
                break;
            }
        });
    }
    updateButtons();
}

SoundPlayerStrip::~SoundPlayerStrip() = default;

void SoundPlayerStrip::setBackend(std::unique_ptr<SoundBackend> backend)
{
    m_backend = std::move(backend);
    m_stage = Stage::Closed;
    ++m_ticket;
    m_openFile.clear();
    updateButtons();
}

SoundBackend &SoundPlayerStrip::backend()
{
    // Made on first use: neither the sound module nor the audio system is
    // loaded before a sound is asked for.
    if (!m_backend)
        m_backend = loadSoundBackend(QCoreApplication::applicationDirPath());
    return *m_backend;
}

namespace {

// Stands in for the player where the sound module cannot be loaded: every
// file is unplayable.
class SilentBackend : public SoundBackend
{
public:
    void open(const QString &, Opened opened) override { opened(false); }
    void rewind() override {}
    void play() override {}
    void stop() override {}
    void close() override {}
};

} // namespace

std::unique_ptr<SoundBackend> loadSoundBackend(const QString &folder)
{
    using Make = SoundBackend *(*)();
    // Loaded once and kept: the players it makes live in its code.
    static QLibrary module;
    static Make make = nullptr;
    if (!make) {
        module.setFileName(QDir(folder).filePath(QStringLiteral("sound/karvel-sound")));
        make = reinterpret_cast<Make>(module.resolve("karvel_new_sound_backend"));
        if (!make) {
            static bool told = false;
            if (!told) {
                qWarning("%s: no sound: %s", qUtf8Printable(QCoreApplication::applicationName()),
                         qUtf8Printable(module.errorString()));
                told = true;
            }
            return std::make_unique<SilentBackend>();
        }
    }
    return std::unique_ptr<SoundBackend>(make());
}

void SoundPlayerStrip::command(const QString &name)
{
    if (name.compare(QLatin1String("Open"), Qt::CaseInsensitive) == 0) {
        open();
    } else if (name.compare(QLatin1String("Prev"), Qt::CaseInsensitive) == 0) {
        if (isOpen())
            backend().rewind();
    } else if (name.compare(QLatin1String("Play"), Qt::CaseInsensitive) == 0) {
        if (isOpen())
            backend().play();
    } else if (name.compare(QLatin1String("Stop"), Qt::CaseInsensitive) == 0) {
        if (isOpen())
            backend().stop();
    } else if (name.compare(QLatin1String("Close"), Qt::CaseInsensitive) == 0) {
        close();
    }
}

void SoundPlayerStrip::open()
{
    if (m_fileName.isEmpty() || (m_stage != Stage::Closed && m_openFile == m_fileName))
        return;
    m_openFile = m_fileName;
    m_stage = Stage::Opening;
    const quint64 ticket = ++m_ticket;
    updateButtons();
    backend().open(m_openFile, [this, ticket](bool playable) {
        if (ticket != m_ticket)
            return;
        m_stage = playable ? Stage::Open : Stage::Unplayable;
        updateButtons();
    });
}

void SoundPlayerStrip::close()
{
    if (m_stage != Stage::Closed)
        backend().close();
    m_stage = Stage::Closed;
    ++m_ticket;
    m_openFile.clear();
    updateButtons();
}

void SoundPlayerStrip::updateButtons()
{
    for (QToolButton *button : std::as_const(m_buttons))
        button->setEnabled(isOpen());
}

} // namespace karvel
