#include "soundstrip.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLibrary>
#include <QPainter>
#include <QPainterPath>
#include <QSet>
#include <QStyle>
#include <QSysInfo>
#include <QToolButton>

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>

#ifdef __ELF__
#include <link.h>
#endif

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
    m_playWhenOpen = false;
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

// The sound module beside the program, and the function that makes its player.
#ifdef Q_OS_WIN
constexpr char kModuleFile[] = "sound/karvel-sound.dll";
#else
constexpr char kModuleFile[] = "sound/libkarvel-sound.so";
#endif
constexpr char kEntryPoint[] = "karvel_new_sound_backend";

using Make = SoundBackend *(*)();
// The module's entry point, once it is loaded; the module is kept, as the
// players it makes live in its code.
Make make = nullptr;

#ifdef __ELF__
// The end of `length` bytes from `offset`, or the largest number if that
// does not fit.
quint64 endOf(quint64 offset, quint64 length)
{
    return length > std::numeric_limits<quint64>::max() - offset
        ? std::numeric_limits<quint64>::max()
        : offset + length;
}

// What in an ELF library's headers lies past the end of its `size` bytes:
// its header tables or its loadable segments, the furthest end of them;
// nothing if all is there. `why` is set if the headers are not those of a
// library for this machine.
quint64 elfEnd(QFile &file, quint64 size, QString *why)
{
    ElfW(Ehdr) header;
    if (file.read(reinterpret_cast<char *>(&header), sizeof header) != qint64(sizeof header)
        || std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0) {
        *why = QStringLiteral("is not a library (no ELF header)");
        return 0;
    }
    constexpr unsigned char ownClass = sizeof(void *) == 8 ? ELFCLASS64 : ELFCLASS32;
    constexpr unsigned char ownOrder =
        QSysInfo::ByteOrder == QSysInfo::LittleEndian ? ELFDATA2LSB : ELFDATA2MSB;
    if (header.e_ident[EI_CLASS] != ownClass || header.e_ident[EI_DATA] != ownOrder
        || header.e_phentsize != sizeof(ElfW(Phdr))) {
        *why = QStringLiteral("is not a library for this machine");
        return 0;
    }
    quint64 end = std::max(endOf(header.e_phoff, quint64(header.e_phnum) * header.e_phentsize),
                           endOf(header.e_shoff, quint64(header.e_shnum) * header.e_shentsize));
    if (end > size)
        return end;
    QList<ElfW(Phdr)> segments(header.e_phnum);
    const qint64 bytes = qint64(segments.size() * sizeof(ElfW(Phdr)));
    if (!file.seek(qint64(header.e_phoff))
        || file.read(reinterpret_cast<char *>(segments.data()), bytes) != bytes) {
        *why = QStringLiteral("cannot be read (%1)").arg(file.errorString());
        return 0;
    }
    for (const ElfW(Phdr) &segment : std::as_const(segments)) {
        if (segment.p_type == PT_LOAD)
            end = std::max(end, endOf(segment.p_offset, segment.p_filesz));
    }
    return end;
}
#endif

// Why the module at `path` must not be loaded, or nothing. The dynamic
// loader maps a library's segments as its headers describe them; where a
// file is cut short (an interrupted copy, a full disk) they reach past its
// end, and the first touch of them kills the process. So the headers are
// checked against the file's size first.
QString moduleFault(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return QStringLiteral("is missing");
    if (!info.isFile())
        return QStringLiteral("is not a regular file");
    if (info.size() == 0)
        return QStringLiteral("is empty");
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot be read (%1)").arg(file.errorString());
#ifdef __ELF__
    QString why;
    const quint64 size = quint64(info.size());
    const quint64 end = elfEnd(file, size, &why);
    if (why.isEmpty() && end > size)
        why = QStringLiteral("is cut short (%1 bytes where its headers need %2)").arg(size).arg(end);
    return why;
#else
    return QString();
#endif
}

// Names the module and what is wrong with it, once for each reason.
void warnNoSound(const QString &path, const QString &why)
{
    static QSet<QString> told;
    const QString line = path + QLatin1Char(' ') + why;
    if (told.contains(line))
        return;
    told.insert(line);
    qWarning("%s: no sound: the module %s", qUtf8Printable(QCoreApplication::applicationName()),
             qUtf8Printable(line));
}

} // namespace

bool soundModuleLoaded()
{
    return make != nullptr;
}

std::unique_ptr<SoundBackend> loadSoundBackend(const QString &folder)
{
    if (!make) {
        const QString path = QDir(folder).filePath(QLatin1String(kModuleFile));
        QString why = moduleFault(path);
        if (why.isEmpty()) {
            QLibrary module(path);
            if (!module.load()) {
                // The loader's reason, without the file's name: the line
                // names it already.
                QString reason = module.errorString();
                reason.remove(QStringLiteral("Cannot load library %1: ").arg(path));
                if (reason.startsWith(QLatin1Char('(')) && reason.endsWith(QLatin1Char(')')))
                    reason = reason.sliced(1, reason.size() - 2);
                reason.remove(path + QLatin1String(": "));
                why = QStringLiteral("cannot be loaded (%1)").arg(reason);
            } else {
                make = reinterpret_cast<Make>(module.resolve(kEntryPoint));
                if (!make) {
                    why = QStringLiteral("has no entry point %1").arg(QLatin1String(kEntryPoint));
                    module.unload();
                }
            }
        }
        if (!make) {
            warnNoSound(path, why);
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
        m_playWhenOpen = false;
        if (isOpen())
            backend().rewind();
    } else if (name.compare(QLatin1String("Play"), Qt::CaseInsensitive) == 0) {
        if (isOpen())
            backend().play();
        else if (m_stage == Stage::Opening)
            m_playWhenOpen = true; // once the file is read
    } else if (name.compare(QLatin1String("Stop"), Qt::CaseInsensitive) == 0) {
        m_playWhenOpen = false;
        if (isOpen())
            backend().stop();
    } else if (name.compare(QLatin1String("Close"), Qt::CaseInsensitive) == 0) {
        close();
    }
}

void SoundPlayerStrip::open()
{
    if (m_fileName.isEmpty())
        return;
    // A file found unplayable is asked for again: it may have been put
    // right since, and the player reads it again only if it has changed.
    if (m_openFile == m_fileName && (m_stage == Stage::Open || m_stage == Stage::Opening))
        return;
    m_openFile = m_fileName;
    m_stage = Stage::Opening;
    m_playWhenOpen = false;
    const quint64 ticket = ++m_ticket;
    updateButtons();
    backend().open(m_openFile, [this, ticket](bool playable) {
        if (ticket != m_ticket)
            return;
        m_stage = playable ? Stage::Open : Stage::Unplayable;
        updateButtons();
        if (std::exchange(m_playWhenOpen, false) && playable)
            backend().play();
    });
}

void SoundPlayerStrip::close()
{
    if (m_stage != Stage::Closed)
        backend().close();
    m_stage = Stage::Closed;
    m_playWhenOpen = false;
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
