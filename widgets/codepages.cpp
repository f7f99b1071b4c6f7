#include "widgets/codepages.h"

#include <QFile>

namespace karvel {

namespace {

constexpr char16_t kReplacement = 0xFFFD;
constexpr int kTrails = 188;

bool isLead(unsigned char b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// The row of a lead byte and the column of a trail byte in the table; -1
// for a byte that is no trail byte.
int leadRow(unsigned char b)
{
    return b <= 0x9F ? b - 0x81 : b - 0xE0 + 31;
}

int trailColumn(unsigned char b)
{
    if (b >= 0x40 && b <= 0x7E)
        return b - 0x40;
    if (b >= 0x80 && b <= 0xFC)
        return b - 0x80 + 63;
    return -1;
}

// The double-byte table, the program's resource made by
// tools/make_cp932_table.py: rows of 188 little-endian code units.
const QByteArray &doubleBytes()
{
    static const QByteArray table = [] {
        QFile file(QStringLiteral(":/content/cp932.bin"));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    return table;
}

char16_t pair(const QByteArray &table, unsigned char lead, int column)
{
    const qsizetype at = 2 * (qsizetype(leadRow(lead)) * kTrails + column);
    if (at + 1 >= table.size())
        return 0;
    return char16_t(static_cast<unsigned char>(table[at])
                    | static_cast<unsigned char>(table[at + 1]) << 8);
}

} // namespace

QString decodeCp932(QByteArrayView bytes)
{
    const QByteArray &table = doubleBytes();
    // At most one character a byte: written in place, then cut to length.
    QString out(bytes.size(), Qt::Uninitialized);
    char16_t *to = reinterpret_cast<char16_t *>(out.data());
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n; ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b < 0x80) {
            *to++ = b;
        } else if (b >= 0xA1 && b <= 0xDF) {
            *to++ = char16_t(0xFF61 + (b - 0xA1)); // half-width katakana
        } else if (isLead(b)) {
            const int column = i + 1 < n ? trailColumn(static_cast<unsigned char>(bytes[i + 1])) : -1;
            if (column < 0) {
                *to++ = kReplacement; // the next byte is read on its own
                continue;
            }
            const char16_t u = pair(table, b, column);
            *to++ = u ? u : kReplacement;
            ++i;
        } else {
            *to++ = kReplacement; // 0x80, 0xA0, 0xFD-0xFF
        }
    }
    out.truncate(to - reinterpret_cast<const char16_t *>(out.constData()));
    return out;
}

QString decodeCp1252(QByteArrayView bytes)
{
    // 0x80-0x9F; the five bytes the page leaves undefined stand for the C1
    // controls of the same number, as conversion libraries read them.
    static constexpr char16_t kHigh[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
        0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
        0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
        0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
    };
    QString out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        out += QChar(b >= 0x80 && b <= 0x9F ? kHigh[b - 0x80] : char16_t(b));
    }
    return out;
}

} // namespace karvel
