#include "widgets/sound/wavefile.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <system_error>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace karvel {

namespace {

quint32 le32(const char *p)
{
    const auto *u = reinterpret_cast<const unsigned char *>(p);
    return quint32(u[0]) | quint32(u[1]) << 8 | quint32(u[2]) << 16 | quint32(u[3]) << 24;
}

quint16 le16(const char *p)
{
    const auto *u = reinterpret_cast<const unsigned char *>(p);
    return quint16(u[0] | u[1] << 8);
}

constexpr quint16 kFormatPcm = 1;
constexpr quint16 kFormatFloat = 3;
constexpr quint16 kFormatExtensible = 0xFFFE;

std::optional<WaveSound> refuse(QString *why, const QString &reason)
{
    if (why)
        *why = reason;
    return std::nullopt;
}

// 24-bit little-endian samples widened to 32 bits, the value in the upper
// three bytes.
QByteArray widen24(QByteArrayView data)
{
    const qsizetype count = data.size() / 3;
    QByteArray out(count * 4, Qt::Uninitialized);
    char *to = out.data();
    for (qsizetype i = 0; i < count; ++i) {
        to[4 * i] = 0;
        std::memcpy(to + 4 * i + 1, data.data() + 3 * i, 3);
    }
    return out;
}

} // namespace

std::optional<WaveSound> parseWave(QByteArrayView bytes, QString *why)
{
    if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0
        || std::memcmp(bytes.data() + 8, "WAVE", 4) != 0)
        return refuse(why, QStringLiteral("no RIFF/WAVE header"));

    // The chunks: "fmt " before "data"; others are passed over. A chunk
    // that claims more bytes than the file has is cut at the file's end
    // (recorders that stop early leave such files).
    bool haveFormat = false;
    quint16 tag = 0, channels = 0, blockAlign = 0, bits = 0;
    quint32 rate = 0;
    qsizetype at = 12;
    while (at + 8 <= bytes.size()) {
        const char *head = bytes.data() + at;
        const qint64 claimed = le32(head + 4);
        const qsizetype body = at + 8;
        const qsizetype size = qsizetype(std::min<qint64>(claimed, bytes.size() - body));
        if (std::memcmp(head, "fmt ", 4) == 0) {
            if (size < 16)
                return refuse(why, QStringLiteral("format chunk too short"));
            const char *f = bytes.data() + body;
            tag = le16(f);
            channels = le16(f + 2);
            rate = le32(f + 4);
            blockAlign = le16(f + 12);
            bits = le16(f + 14);
            if (tag == kFormatExtensible) {
                if (size < 40)
                    return refuse(why, QStringLiteral("extensible format chunk too short"));
                // The sub-format's GUID begins with the plain format tag.
                tag = le16(f + 24);
            }
            haveFormat = true;
        } else if (std::memcmp(head, "data", 4) == 0) {
            if (!haveFormat)
                return refuse(why, QStringLiteral("samples before the format chunk"));
            if (tag != kFormatPcm && tag != kFormatFloat)
                return refuse(why, QStringLiteral("compressed (format %1)").arg(tag));
            const bool pcmBits = bits == 8 || bits == 16 || bits == 24 || bits == 32;
            if ((tag == kFormatPcm && !pcmBits) || (tag == kFormatFloat && bits != 32))
                return refuse(why, QStringLiteral("%1-bit samples").arg(bits));
            if (channels < 1 || channels > 8)
                return refuse(why, QStringLiteral("%1 channels").arg(channels));
            if (rate < 1000 || rate > 384000)
                return refuse(why, QStringLiteral("a rate of %1 Hz").arg(rate));
            if (blockAlign != channels * (bits / 8))
                return refuse(why, QStringLiteral("frames of %1 bytes for %2 channels of %3 bits")
                                       .arg(blockAlign).arg(channels).arg(bits));
            const qsizetype whole = size - size % blockAlign;
            if (whole == 0)
                return refuse(why, QStringLiteral("no samples"));

            WaveSound sound;
            sound.format.setSampleRate(int(rate));
            sound.format.setChannelCount(channels);
            const QByteArrayView data = bytes.sliced(body, whole);
            if (tag == kFormatFloat) {
                sound.format.setSampleFormat(QAudioFormat::Float);
                sound.samples = data.toByteArray();
            } else if (bits == 8) {
                sound.format.setSampleFormat(QAudioFormat::UInt8);
                sound.samples = data.toByteArray();
            } else if (bits == 16) {
                sound.format.setSampleFormat(QAudioFormat::Int16);
                sound.samples = data.toByteArray();
            } else {
                sound.format.setSampleFormat(QAudioFormat::Int32);
                sound.samples = bits == 24 ? widen24(data) : data.toByteArray();
            }
            return sound;
        }
        // Chunks are padded to an even length.
        at = body + size + (size & 1);
    }
    return refuse(why, haveFormat ? QStringLiteral("no data chunk")
                                  : QStringLiteral("no format chunk"));
}

namespace {

std::optional<QByteArray> readRegularFile(const QString &path, QString *why)
{
    auto fail = [why](const QString &reason) -> std::optional<QByteArray> {
        if (why)
            *why = reason;
        return std::nullopt;
    };
#ifdef Q_OS_UNIX
    auto failErrno = [&](int error) {
        if (error == ENOENT || error == ENOTDIR)
            return fail(QStringLiteral("is missing"));
        return fail(QStringLiteral("cannot be read (%1)")
                        .arg(QString::fromStdString(std::generic_category().message(error))));
    };
    const QByteArray name = QFile::encodeName(path);
    // Look before opening: opening a device or a pipe can wait or have
    // effects of its own.
    struct stat st;
    if (::stat(name.constData(), &st) != 0)
        return failErrno(errno);
    if (!S_ISREG(st.st_mode))
        return fail(QStringLiteral("is not a regular file"));
    // Non-blocking, in case something else has taken the name meanwhile.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return failErrno(errno);
    struct Closer
    {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    if (::fstat(fd, &st) != 0)
        return failErrno(errno);
    if (!S_ISREG(st.st_mode))
        return fail(QStringLiteral("is not a regular file"));
    if (st.st_size == 0)
        return fail(QStringLiteral("is empty"));
    if (st.st_size > kMaxWaveBytes)
        return fail(QStringLiteral("is too large (%1 bytes)").arg(qint64(st.st_size)));

    QByteArray bytes(qsizetype(st.st_size), Qt::Uninitialized);
    qsizetype have = 0;
    while (have < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + have, size_t(bytes.size() - have));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return failErrno(errno);
        if (n == 0)
            break; // the file shrank while being read
        have += n;
    }
    bytes.truncate(have);
    if (bytes.isEmpty())
        return fail(QStringLiteral("is empty"));
    return bytes;
#else
    const QFileInfo info(path);
    if (!info.exists())
        return fail(QStringLiteral("is missing"));
    if (!info.isFile())
        return fail(QStringLiteral("is not a regular file"));
    if (info.size() == 0)
        return fail(QStringLiteral("is empty"));
    if (info.size() > kMaxWaveBytes)
        return fail(QStringLiteral("is too large (%1 bytes)").arg(info.size()));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("cannot be read (%1)").arg(file.errorString()));
    QByteArray bytes = file.read(kMaxWaveBytes);
    if (bytes.isEmpty())
        return fail(QStringLiteral("is empty"));
    return bytes;
#endif
}

} // namespace

FileStamp stampFile(const QString &path)
{
    FileStamp stamp;
#ifdef Q_OS_UNIX
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) {
        stamp.error = errno;
        return stamp;
    }
    stamp.device = quint64(st.st_dev);
    stamp.inode = quint64(st.st_ino);
    stamp.mode = quint32(st.st_mode);
    stamp.size = qint64(st.st_size);
    stamp.modified = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    stamp.changed = qint64(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
#else
    const QFileInfo info(path);
    if (!info.exists()) {
        stamp.error = ENOENT;
        return stamp;
    }
    stamp.mode = quint32(info.isFile()) | quint32(info.permissions()) << 1;
    stamp.size = info.size();
    stamp.modified = info.lastModified().toMSecsSinceEpoch() * 1000000;
    stamp.changed = info.metadataChangeTime().toMSecsSinceEpoch() * 1000000;
#endif
    return stamp;
}

std::optional<WaveSound> readWaveFile(const QString &path, QString *why)
{
    const std::optional<QByteArray> bytes = readRegularFile(path, why);
    if (!bytes)
        return std::nullopt;
    QString reason;
    std::optional<WaveSound> sound = parseWave(*bytes, &reason);
    if (!sound && why)
        *why = QStringLiteral("is not a wave sound (%1)").arg(reason);
    return sound;
}

} // namespace karvel
