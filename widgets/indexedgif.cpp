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

// Decodes the LZW-compressed sub-blocks of one picture into `pixels`, its
// `count` colour indexes row after row; false if the data is damaged or
// ends before the picture is whole.
bool decodeLzw(Bytes &in, int minCodeSize, uint8_t *pixels, qsizetype count)
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

    // Every code past the end code stands for a string already written out:
    // the string of the code before it followed by the first index of the
    // one after, which follow each other in the output. So a code is where
    // its string starts in the output, and its length.
    constexpr int kMaxCodes = 4096;
    std::array<qsizetype, kMaxCodes> start{};
    std::array<uint16_t, kMaxCodes> length{};
    const int clear = 1 << minCodeSize;
    const int end = clear + 1;

    const auto *bytes = reinterpret_cast<const uint8_t *>(data.constData());
    const qsizetype byteCount = data.size();
    qsizetype pos = 0;
    uint32_t bits = 0;
    int bitCount = 0;
    int codeSize = minCodeSize + 1;
    int next = end + 1;
    int previous = -1;
    qsizetype previousStart = 0; // the previous code's string in the output
    int previousLength = 0;
    qsizetype out = 0;

    while (out < count) {
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

        // The code's string, or for the code about to be made, the previous
        // string followed by its own first index; the picture may end first.
        const qsizetype here = out;
        int n = 1;
        if (code < clear) {
            pixels[out++] = uint8_t(code);
        } else if (code < next) {
            n = length[code];
            const qsizetype k = std::min<qsizetype>(n, count - out);
            memcpy(pixels + out, pixels + start[code], size_t(k));
            out += k;
        } else {
            n = previousLength + 1;
            const qsizetype k = std::min<qsizetype>(previousLength, count - out);
            memcpy(pixels + out, pixels + previousStart, size_t(k));
            out += k;
            if (out < count)
                pixels[out++] = pixels[previousStart];
        }

        if (previous >= 0 && next < kMaxCodes) {
            start[next] = previousStart;
            length[next] = uint16_t(previousLength + 1);
            ++next;
            if (next == (1 << codeSize) && codeSize < 12)
                ++codeSize;
        }
        previous = code;
        previousStart = here;
        previousLength = n;
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
        // Rows of the image are padded to whole words: decoded in one run,
        // then copied row by row.
        QByteArray pixels(qsizetype(width) * height, Qt::Uninitialized);
        if (!decodeLzw(in, minCodeSize, reinterpret_cast<uint8_t *>(pixels.data()), pixels.size()))
            return {};
        for (int y = 0; y < height; ++y)
            memcpy(decoded.scanLine(y), pixels.constData() + qsizetype(y) * width, size_t(width));
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
