#include "widgets/indexedgif.h"

#include <QFile>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

namespace karvel {

namespace {

class Bytes
{
public:
    explicit Bytes(QByteArrayView data) : m_data(data) {}

    bool has(qsizetype n) const { return m_pos + n <= m_data.size(); }
    uint8_t byte() { return uint8_t(m_data[m_pos++]); }
    int word() // little-endian
    {
        const int lo = byte();
        return lo | byte() << 8;
    }
    QByteArrayView take(qsizetype n)
    {
        const QByteArrayView part = m_data.sliced(m_pos, n);
        m_pos += n;
        return part;
    }
    void skip(qsizetype n) { m_pos += n; }

private:
    QByteArrayView m_data;
    qsizetype m_pos = 0;
};

// Skips a chain of data sub-blocks; false if the data ends first.
bool skipSubBlocks(Bytes &in)
{
    while (in.has(1)) {
        const int size = in.byte();
        if (size == 0)
            return true;
        if (!in.has(size))
            return false;
        in.skip(size);
    }
    return false;
}

// Where decoded colour indexes go: the image's rows, left to right.
class Rows
{
public:
    explicit Rows(QImage &image)
        : m_image(image), m_row(image.scanLine(0)), m_width(image.width())
    {
    }

    bool full() const { return m_y == m_image.height(); }
    void write(const uint8_t *p, int n)
    {
        while (n > 0 && !full()) {
            const int k = std::min(n, m_width - m_x);
            memcpy(m_row + m_x, p, size_t(k));
            p += k;
            n -= k;
            m_x += k;
            if (m_x == m_width) {
                m_x = 0;
                if (++m_y < m_image.height())
                    m_row = m_image.scanLine(m_y);
            }
        }
    }

private:
    QImage &m_image;
    uint8_t *m_row;
    int m_width;
    int m_x = 0;
    int m_y = 0;
};

// Decodes the LZW-compressed sub-blocks of one picture into `rows`; false if
// the data is damaged or ends before the picture is whole.
bool decodeLzw(Bytes &in, int minCodeSize, Rows &rows)
{
    if (minCodeSize < 2 || minCodeSize > 8)
        return false;
    // The sub-blocks' data in one piece.
    QByteArray data;
    for (;;) {
        if (!in.has(1))
            return false;
        const int size = in.byte();
        if (size == 0)
            break;
        if (!in.has(size))
            return false;
        data.append(in.take(size));
    }

    constexpr int kMaxCodes = 4096;
    // Code c stands for the string of code prefix[c] followed by suffix[c];
    // length[c] characters long.
    std::array<uint16_t, kMaxCodes> prefix{};
    std::array<uint8_t, kMaxCodes> suffix{};
    std::array<uint16_t, kMaxCodes> length{};
    std::array<uint8_t, kMaxCodes + 1> string{};
    const int clear = 1 << minCodeSize;
    const int end = clear + 1;
    for (int i = 0; i < clear; ++i) {
        suffix[i] = uint8_t(i);
        length[i] = 1;
    }

    const auto *bytes = reinterpret_cast<const uint8_t *>(data.constData());
    const qsizetype byteCount = data.size();
    qsizetype pos = 0;
    uint32_t bits = 0;
    int bitCount = 0;
    int codeSize = minCodeSize + 1;
    int next = end + 1;
    int previous = -1;

    while (!rows.full()) {
        while (bitCount < codeSize) {
            if (pos == byteCount)
                return false;
            bits |= uint32_t(bytes[pos++]) << bitCount;
            bitCount += 8;
        }
        const int code = int(bits & ((1u << codeSize) - 1));
        bits >>= codeSize;
        bitCount -= codeSize;

        if (code == clear) {
            codeSize = minCodeSize + 1;
            next = end + 1;
            previous = -1;
            continue;
        }
        if (code == end || code > next || (code == next && previous < 0))
            return false;

        // The string of the code, or for the code about to be made, the
        // previous string followed by its own first character.
        const int known = code < next ? code : previous;
        const int n = length[known];
        int c = known;
        for (int i = n - 1; i > 0; --i) {
            string[i] = suffix[c];
            c = prefix[c];
        }
        string[0] = uint8_t(c);
        int total = n;
        if (code == next)
            string[total++] = string[0];
        rows.write(string.data(), total);

        if (previous >= 0 && next < kMaxCodes) {
            prefix[next] = uint16_t(previous);
            suffix[next] = string[0];
            length[next] = uint16_t(length[previous] + 1);
            ++next;
            if (next == (1 << codeSize) && codeSize < 12)
                ++codeSize;
        }
        previous = code;
    }
    return true;
}

} // namespace

QImage readIndexedGif(QByteArrayView gif)
{
    Bytes in(gif);
    if (!in.has(13))
        return {};
    const QByteArrayView signature = in.take(6);
    if (signature != "GIF89a" && signature != "GIF87a")
        return {};
    const int width = in.word();
    const int height = in.word();
    const int flags = in.byte();
    in.skip(2); // background colour, aspect ratio
    if (width <= 0 || height <= 0)
        return {};

    QList<QRgb> colours;
    auto readTable = [&](int sizeBits) {
        const int n = 1 << (sizeBits + 1);
        if (!in.has(3 * n))
            return false;
        colours.clear();
        colours.reserve(256);
        for (int i = 0; i < n; ++i) {
            const int r = in.byte();
            const int g = in.byte();
            colours.append(qRgb(r, g, in.byte()));
        }
        while (colours.size() < 256)
            colours.append(qRgb(0, 0, 0));
        return true;
    };
    if ((flags & 0x80) && !readTable(flags & 7))
        return {};

    QImage image;
    while (in.has(1)) {
        const int kind = in.byte();
        if (kind == 0x3B) // trailer
            break;
        if (kind == 0x21) { // extension
            if (!in.has(1))
                return {};
            const int label = in.byte();
            if (label == 0xF9) { // graphic control: a transparent colour is not for us
                if (!in.has(6) || in.byte() != 4)
                    return {};
                const int control = in.byte();
                in.skip(4);
                if ((control & 1) || !skipSubBlocks(in))
                    return {};
            } else if (!skipSubBlocks(in)) {
                return {};
            }
            continue;
        }
        if (kind != 0x2C || !image.isNull() || !in.has(9))
            return {};
        const int left = in.word();
        const int top = in.word();
        const int w = in.word();
        const int h = in.word();
        const int imageFlags = in.byte();
        if (left != 0 || top != 0 || w != width || h != height || (imageFlags & 0x40))
            return {};
        if ((imageFlags & 0x80) && !readTable(imageFlags & 7))
            return {};
        if (colours.isEmpty() || !in.has(1))
            return {};
        const int minCodeSize = in.byte();
        QImage decoded(width, height, QImage::Format_Indexed8);
        if (decoded.isNull())
            return {};
        Rows rows(decoded);
        if (!decodeLzw(in, minCodeSize, rows))
            return {};
        decoded.setColorTable(colours);
        image = decoded;
    }
    return image;
}

QImage readPicture(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray data = file.readAll();
    QImage image = readIndexedGif(data);
    if (image.isNull())
        image.loadFromData(data);
    return image;
}

} // namespace karvel
