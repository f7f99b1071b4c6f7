#include "widgets/rtfreader.h"

#include "widgets/codepages.h"

#include <algorithm>
#include <climits>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include <QColor>
#include <QHash>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextOption>

namespace karvel {
namespace {

// ---------------------------------------------------------------- tokens

enum class TokenKind { End, GroupOpen, GroupClose, Word, Symbol, Hex, Text, Binary };

struct Token
{
    TokenKind kind = TokenKind::End;
    QByteArrayView span;  // the word's name, the text bytes or the \bin data
    int param = 0;        // the word's parameter, clamped to +-INT_MAX
    bool hasParam = false;
    uchar byte = 0;       // the symbol's character or the \'hh value
};

constexpr bool isLetter(uchar c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

constexpr bool isDigit(uchar c)
{
    return c >= '0' && c <= '9';
}

constexpr int hexValue(uchar c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool onlyLineEnds(QByteArrayView span)
{
    return std::all_of(span.begin(), span.end(), [](char c) { return c == '\r' || c == '\n'; });
}

// Splits RTF bytes into tokens. Every call consumes at least one byte or
// returns End, so reading is linear in the input.
class Lexer
{
public:
    explicit Lexer(QByteArrayView data) : m_data(data) {}

    Token next()
    {
        const qsizetype n = m_data.size();
        while (m_pos < n) {
            const uchar c = at(m_pos);
            if (c == '{' || c == '}') {
                ++m_pos;
                Token t;
                t.kind = c == '{' ? TokenKind::GroupOpen : TokenKind::GroupClose;
                return t;
            }
            if (c != '\\') {
                const qsizetype start = m_pos;
                while (m_pos < n && at(m_pos) != '{' && at(m_pos) != '}' && at(m_pos) != '\\')
                    ++m_pos;
                Token t;
                t.kind = TokenKind::Text;
                t.span = m_data.sliced(start, m_pos - start);
                return t;
            }
            if (++m_pos >= n)
                break;  // a lone backslash at the very end
            const uchar d = at(m_pos);
            if (isLetter(d))
                return controlWord();
            ++m_pos;
            if (d == '\'') {
                // \'hh: two hex digits, or nothing at all.
                const int hi = m_pos < n ? hexValue(at(m_pos)) : -1;
                if (hi < 0)
                    continue;
                const int lo = m_pos + 1 < n ? hexValue(at(m_pos + 1)) : -1;
                if (lo < 0) {
                    ++m_pos;
                    continue;
                }
                m_pos += 2;
                Token t;
                t.kind = TokenKind::Hex;
                t.byte = uchar(hi * 16 + lo);
                return t;
            }
            Token t;
            t.kind = TokenKind::Symbol;
            t.byte = d;
            return t;
        }
        return Token{};
    }

private:
    uchar at(qsizetype i) const { return uchar(m_data[i]); }

    Token controlWord()
    {
        const qsizetype n = m_data.size();
        const qsizetype start = m_pos;
        while (m_pos < n && isLetter(at(m_pos)))
            ++m_pos;
        Token t;
        t.kind = TokenKind::Word;
        t.span = m_data.sliced(start, m_pos - start);

        bool negative = false;
        if (m_pos + 1 < n && at(m_pos) == '-' && isDigit(at(m_pos + 1))) {
            negative = true;
            ++m_pos;
        }
        if (m_pos < n && isDigit(at(m_pos))) {
            qint64 value = 0;
            while (m_pos < n && isDigit(at(m_pos))) {
                value = std::min<qint64>(value * 10 + (at(m_pos) - '0'), INT_MAX);
                ++m_pos;
            }
            t.hasParam = true;
            t.param = int(negative ? -value : value);
        }
        if (m_pos < n && at(m_pos) == ' ')
            ++m_pos;  // the delimiter belongs to the word

        if (t.span == "bin") {
            // \binN: N raw bytes follow, or as many as there are.
            const qsizetype length = t.param > 0 ? t.param : 0;
            const qsizetype take = std::min(length, n - m_pos);
            t.kind = TokenKind::Binary;
            t.span = m_data.sliced(m_pos, take);
            m_pos += take;
        }
        return t;
    }

    QByteArrayView m_data;
    qsizetype m_pos = 0;
};

// ---------------------------------------------------------------- control words

enum class Word {
    Unknown,
    Ansicpg, Deff, Deftab,
    Fonttbl, Colortbl, SkipDestination,
    F, Fcharset, Red, Green, Blue,
    Fs, Cf, Ul, Ulnone, B, I, Plain,
    Par, Line, Tab, U, Uc,
    Character,
};

struct WordInfo
{
    Word word = Word::Unknown;
    char16_t ch = 0;  // for Word::Character
};

WordInfo lookup(QByteArrayView name)
{
    static const std::unordered_map<std::string_view, WordInfo> words = {
        {"ansicpg", {Word::Ansicpg}}, {"deff", {Word::Deff}}, {"deftab", {Word::Deftab}},
        {"fonttbl", {Word::Fonttbl}}, {"colortbl", {Word::Colortbl}},
        {"f", {Word::F}}, {"fcharset", {Word::Fcharset}},
        {"red", {Word::Red}}, {"green", {Word::Green}}, {"blue", {Word::Blue}},
        {"fs", {Word::Fs}}, {"cf", {Word::Cf}},
        {"ul", {Word::Ul}}, {"uld", {Word::Ul}}, {"uldb", {Word::Ul}}, {"ulw", {Word::Ul}},
        {"ulth", {Word::Ul}}, {"uldash", {Word::Ul}}, {"ulwave", {Word::Ul}},
        {"ulnone", {Word::Ulnone}},
        {"b", {Word::B}}, {"i", {Word::I}}, {"plain", {Word::Plain}},
        {"par", {Word::Par}}, {"line", {Word::Line}}, {"tab", {Word::Tab}},
        {"u", {Word::U}}, {"uc", {Word::Uc}},
        {"emdash", {Word::Character, u'\u2014'}}, {"endash", {Word::Character, u'\u2013'}},
        {"emspace", {Word::Character, u'\u2003'}}, {"enspace", {Word::Character, u'\u2002'}},
        {"qmspace", {Word::Character, u'\u2005'}}, {"bullet", {Word::Character, u'\u2022'}},
        {"lquote", {Word::Character, u'\u2018'}}, {"rquote", {Word::Character, u'\u2019'}},
        {"ldblquote", {Word::Character, u'\u201C'}}, {"rdblquote", {Word::Character, u'\u201D'}},
        // Destinations whose content is never shown. The Japanese
        // line-breaking lists are written with or without \*.
        {"fchars", {Word::SkipDestination}}, {"lchars", {Word::SkipDestination}},
        {"stylesheet", {Word::SkipDestination}}, {"info", {Word::SkipDestination}},
        {"pict", {Word::SkipDestination}}, {"object", {Word::SkipDestination}},
        {"header", {Word::SkipDestination}}, {"headerl", {Word::SkipDestination}},
        {"headerr", {Word::SkipDestination}}, {"headerf", {Word::SkipDestination}},
        {"footer", {Word::SkipDestination}}, {"footerl", {Word::SkipDestination}},
        {"footerr", {Word::SkipDestination}}, {"footerf", {Word::SkipDestination}},
        {"footnote", {Word::SkipDestination}}, {"fldinst", {Word::SkipDestination}},
        {"listtable", {Word::SkipDestination}}, {"listoverridetable", {Word::SkipDestination}},
        {"revtbl", {Word::SkipDestination}}, {"rsidtbl", {Word::SkipDestination}},
        {"generator", {Word::SkipDestination}}, {"xmlnstbl", {Word::SkipDestination}},
        {"themedata", {Word::SkipDestination}}, {"colorschememapping", {Word::SkipDestination}},
        {"datastore", {Word::SkipDestination}}, {"latentstyles", {Word::SkipDestination}},
        {"filetbl", {Word::SkipDestination}}, {"nonshppict", {Word::SkipDestination}},
    };
    const auto it = words.find(std::string_view(name.data(), size_t(name.size())));
    return it == words.end() ? WordInfo{} : it->second;
}

// ---------------------------------------------------------------- text decoding

enum class Codec { Cp932, Cp1252 };

class Decoders
{
public:
    QString decode(QByteArrayView bytes, Codec codec)
    {
        return codec == Codec::Cp932 ? decodeCp932(bytes) : decodeCp1252(bytes);
    }
};

// Characters that QTextCursor would turn into block or frame boundaries, lone
// surrogates and control characters do not belong in a run's text.
QString sanitized(const QString &text)
{
    const auto clean = [](QChar c) {
        const char16_t u = c.unicode();
        return u >= 0x20 && !c.isSurrogate() && u != 0x2029 && u != 0xFDD0 && u != 0xFDD1
               && u != 0xFFFC && u != 0xFFFE && u != 0xFFFF;
    };
    if (std::all_of(text.cbegin(), text.cend(), clean))
        return text;
    QString out;
    out.reserve(text.size());
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        const char16_t u = c.unicode();
        if (c.isHighSurrogate() && i + 1 < n && text[i + 1].isLowSurrogate()) {
            out += c;
            out += text[++i];
        } else if (c.isSurrogate()) {
            out += QChar::ReplacementCharacter;
        } else if (u < 0x20) {
            if (u == '\t')
                out += c;
        } else if (u == 0x2029 || u == 0xFDD0 || u == 0xFDD1 || u == 0xFFFC || u == 0xFFFE
                   || u == 0xFFFF) {
            out += QChar::ReplacementCharacter;
        } else {
            out += c;
        }
    }
    return out;
}

// ---------------------------------------------------------------- the fold

struct CharState
{
    int font = -1;       // font table index; -1 is the document's default font
    int halfPoints = 0;  // \fs; 0 leaves the size to the default font
    int color = -1;      // colour table index; -1 leaves the colour alone
    bool bold = false;
    bool italic = false;
    bool underline = false;

    bool operator==(const CharState &) const = default;
};

enum class Destination { Text, FontTable, ColorTable, Skip };

struct Group
{
    CharState chars;
    int uc = 1;  // bytes of fallback text after each \uN
    Destination destination = Destination::Text;
};

struct FontEntry
{
    QString name;
    int charset = -1;
    QStringList families; // what sets the face, looked up once
};

constexpr int kMaxHalfPoints = 3276;     // 1638 pt, the largest size RTF knows
constexpr int kTwipsPerPixel = 15;       // at 96 dpi
constexpr int kMaxTabTwips = 22 * 1440;  // 22 inches

class Builder
{
public:
    Builder(QTextDocument *document, RtfReader::FaceFamilies faces)
        : m_document(document), m_faces(faces), m_cursor(document)
    {
        m_stack.reserve(64);
        m_stack.push_back(Group{});
        setTabTwips(720);
    }

    // Reads on until `paragraphs` more paragraphs are complete (all of them
    // when negative) or the document ends; true while there is more to read.
    bool step(Lexer &lexer, qint64 paragraphs)
    {
        const qint64 target = paragraphs < 0 ? LLONG_MAX : m_paragraphs + paragraphs;
        m_cursor.beginEditBlock();
        bool more = true;
        while (m_paragraphs < target) {
            if (m_finished) {
                more = false;
                break;
            }
            Token t = lexer.next();
            if (t.kind == TokenKind::End) {
                more = false;
                break;
            }
            if (t.kind == TokenKind::GroupOpen) {
                openGroup();
                continue;
            }
            if (t.kind == TokenKind::GroupClose) {
                closeGroup();
                continue;
            }
            if (t.kind == TokenKind::Text && onlyLineEnds(t.span))
                continue;  // line ends in RTF are not text
            if (m_skip > 0 && !skipFallback(t))
                continue;
            // Only the first token of a group (after an optional \*) can
            // name its destination.
            const bool groupStart = m_groupStart;
            const bool star = m_star;
            m_groupStart = false;
            m_star = false;
            switch (t.kind) {
            case TokenKind::Word: word(t, groupStart, star); break;
            case TokenKind::Symbol: symbol(t.byte, groupStart); break;
            case TokenKind::Hex: byte(t.byte, false); break;
            case TokenKind::Text:
                for (const char c : t.span)
                    byte(uchar(c), true);
                break;
            default: break;  // \bin data is never shown
            }
        }
        if (!more)
            flushRun();
        m_cursor.endEditBlock();
        return more;
    }

private:
    Group &group() { return m_stack.back(); }
    const CharState &chars() const { return m_stack.back().chars; }

    // ---- groups

    void openGroup()
    {
        m_skip = 0;
        m_star = false;
        if (m_overflow > 0 || int(m_stack.size()) >= RtfReader::kMaxGroupDepth) {
            ++m_overflow;  // read flat: no state of its own
            m_groupStart = false;
            return;
        }
        m_stack.push_back(m_stack.back());
        m_groupStart = true;
    }

    void closeGroup()
    {
        m_skip = 0;
        m_star = false;
        m_groupStart = false;
        if (m_overflow > 0) {
            --m_overflow;
            return;
        }
        if (m_stack.size() <= 1)
            return;  // an extra '}' has nothing to close
        const Destination closing = group().destination;
        m_stack.pop_back();
        if (closing == Destination::FontTable)
            commitFont();
        else if (closing == Destination::ColorTable && group().destination != Destination::ColorTable)
            commitColorIfPending();
        if (m_stack.size() == 1)
            m_finished = true;  // the document's own group has closed
    }

    // Swallows one unit of the fallback text that follows \uN. Returns true
    // when something of the token is left to read.
    bool skipFallback(Token &t)
    {
        if (t.kind != TokenKind::Text) {
            --m_skip;
            return false;
        }
        qsizetype i = 0;
        while (i < t.span.size() && m_skip > 0) {
            const char c = t.span[i++];
            if (c != '\r' && c != '\n')
                --m_skip;
        }
        t.span = t.span.sliced(i);
        return !t.span.isEmpty();
    }

    // ---- tokens

    void word(const Token &t, bool groupStart, bool star)
    {
        Group &g = group();
        if (g.destination == Destination::Skip)
            return;
        const WordInfo info = lookup(t.span);
        if (groupStart) {
            switch (info.word) {
            case Word::Fonttbl:
                g.destination = Destination::FontTable;
                resetFontEntry();
                return;
            case Word::Colortbl:
                g.destination = Destination::ColorTable;
                resetColorEntry();
                return;
            case Word::SkipDestination:
                g.destination = Destination::Skip;
                return;
            default:
                if (star) {
                    g.destination = Destination::Skip;  // an optional destination we do not know
                    return;
                }
            }
        }
        if (info.word == Word::Uc) {
            g.uc = t.hasParam ? std::clamp(t.param, 0, 0xFFFF) : 1;
            return;
        }
        switch (g.destination) {
        case Destination::FontTable: fontTableWord(info.word, t); return;
        case Destination::ColorTable: colorTableWord(info.word, t); return;
        case Destination::Text: textWord(info, t); return;
        case Destination::Skip: return;
        }
    }

    void symbol(uchar c, bool groupStart)
    {
        if (c == '*') {
            if (groupStart) {
                m_groupStart = true;  // the destination word comes next
                m_star = true;
            }
            return;
        }
        switch (group().destination) {
        case Destination::Text:
            switch (c) {
            case '\\': case '{': case '}': byte(c, false); break;
            case '~': emitText(QChar(0x00A0)); break;
            case '-': emitText(QChar(0x00AD)); break;
            case '_': emitText(QChar(0x2011)); break;
            case '\r': case '\n': paragraph(); break;
            default: break;
            }
            break;
        case Destination::FontTable:
            if (c == '\\' || c == '{' || c == '}')
                m_entryBytes.append(char(c));
            break;
        default:
            break;
        }
    }

    // A byte of text, raw (`raw`) or from \'hh.
    void byte(uchar b, bool raw)
    {
        switch (group().destination) {
        case Destination::Text:
            if (b == '\t')
                emitText(QChar(u'\t'));
            else if (b >= 0x20)
                emitByte(b);
            break;
        case Destination::FontTable:
            if (raw && b == ';')
                commitFont();
            else if (b >= 0x20)
                m_entryBytes.append(char(b));
            break;
        case Destination::ColorTable:
            if (raw && b == ';')
                commitColor();
            break;
        case Destination::Skip:
            break;
        }
    }

    void textWord(const WordInfo &info, const Token &t)
    {
        CharState &c = group().chars;
        const bool on = !t.hasParam || t.param != 0;
        switch (info.word) {
        case Word::Ansicpg: m_codePage = t.param == 1252 ? Codec::Cp1252 : Codec::Cp932; break;
        case Word::Deff:
            m_defaultFont = std::max(0, t.param);
            m_formats.clear();
            break;
        case Word::Deftab:
            if (t.param > 0)
                setTabTwips(t.param);
            break;
        case Word::F: c.font = std::max(0, t.param); break;
        case Word::Fs:
            c.halfPoints = t.hasParam ? std::clamp(t.param, 0, kMaxHalfPoints) : 24;
            break;
        case Word::Cf: c.color = std::max(0, t.param); break;
        case Word::Ul: c.underline = on; break;
        case Word::Ulnone: c.underline = false; break;
        case Word::B: c.bold = on; break;
        case Word::I: c.italic = on; break;
        case Word::Plain: c = CharState{}; break;
        case Word::Par: paragraph(); break;
        case Word::Line: emitText(QChar(QChar::LineSeparator)); break;
        case Word::Tab: emitText(QChar(u'\t')); break;
        case Word::Character: emitText(QChar(info.ch)); break;
        case Word::U:
            emitText(unicodeText(t.param));
            m_skip = group().uc;
            break;
        default: break;
        }
    }

    static QString unicodeText(int n)
    {
        // \uN is a signed 16-bit value: -1 stands for U+FFFF.
        const qint64 code = n < 0 ? qint64(n) + 65536 : n;
        if (code < 0 || code > 0x10FFFF)
            return QString(QChar::ReplacementCharacter);
        if (code <= 0xFFFF)
            return QString(QChar(char16_t(code)));  // surrogate pairs are checked per run
        const char32_t c = char32_t(code);
        return QString::fromUcs4(&c, 1);
    }

    void fontTableWord(Word w, const Token &t)
    {
        switch (w) {
        case Word::F:
            commitFont();
            m_entryIndex = std::max(0, t.param);
            break;
        case Word::Fcharset: m_entryCharset = t.param; break;
        case Word::U: {
            m_entryName += m_decoders.decode(m_entryBytes, codecForCharset(m_entryCharset));
            m_entryBytes.clear();
            m_entryName += unicodeText(t.param);
            m_skip = group().uc;
            break;
        }
        default: break;
        }
    }

    void colorTableWord(Word w, const Token &t)
    {
        const int value = std::clamp(t.param, 0, 255);
        switch (w) {
        case Word::Red: m_red = value; m_colorWords = true; break;
        case Word::Green: m_green = value; m_colorWords = true; break;
        case Word::Blue: m_blue = value; m_colorWords = true; break;
        default: break;
        }
    }

    // ---- tables

    void resetFontEntry()
    {
        m_entryIndex = -1;
        m_entryCharset = -1;
        m_entryBytes.clear();
        m_entryName.clear();
    }

    void commitFont()
    {
        if (m_entryIndex >= 0) {
            m_entryName += m_decoders.decode(m_entryBytes, codecForCharset(m_entryCharset));
            const QString name = sanitized(m_entryName).trimmed();
            if (!name.isEmpty())
                m_fonts.insert(m_entryIndex,
                               FontEntry{name, m_entryCharset,
                                         m_faces ? m_faces(name) : QStringList{name}});
            m_formats.clear();
        }
        resetFontEntry();
    }

    void resetColorEntry()
    {
        m_red = m_green = m_blue = 0;
        m_colorWords = false;
    }

    void commitColor()
    {
        // An entry without colour words is the default (automatic) colour.
        if (m_colorWords)
            m_colors.push_back(QColor(m_red, m_green, m_blue));
        else
            m_colors.push_back(std::nullopt);
        m_formats.clear();
        resetColorEntry();
    }

    void commitColorIfPending()
    {
        if (m_colorWords)
            commitColor();
    }

    Codec codecForCharset(int charset) const
    {
        switch (charset) {
        case 0: return Codec::Cp1252;     // ANSI
        case 128: return Codec::Cp932;    // Shift-JIS
        default: return m_codePage;
        }
    }

    // The font table entry of a run: its own font, else the default font.
    const FontEntry *fontEntry(int font) const
    {
        auto it = m_fonts.constFind(font);
        if (it == m_fonts.cend())
            it = m_fonts.constFind(m_defaultFont);
        return it == m_fonts.cend() ? nullptr : &*it;
    }

    Codec codecForFont(int font) const
    {
        const FontEntry *entry = fontEntry(font);
        return entry ? codecForCharset(entry->charset) : m_codePage;
    }

    void setTabTwips(int twips)
    {
        QTextOption option = m_document->defaultTextOption();
        option.setTabStopDistance(qreal(std::clamp(twips, kTwipsPerPixel, kMaxTabTwips)) / kTwipsPerPixel);
        m_document->setDefaultTextOption(option);
    }

    // ---- output

    // The format of a run in state `s`: made once for each state, as long as
    // the font and colour tables stay as they are.
    const QTextCharFormat &format(const CharState &s)
    {
        for (const auto &[state, made] : m_formats) {
            if (state == s)
                return made;
        }
        m_formats.emplace_back(s, makeFormat(s));
        return m_formats.back().second;
    }

    QTextCharFormat makeFormat(const CharState &s) const
    {
        QTextCharFormat f;
        if (const FontEntry *font = fontEntry(s.font))
            f.setFontFamilies(font->families);
        if (s.halfPoints > 0)
            f.setFontPointSize(s.halfPoints / 2.0);
        if (s.bold)
            f.setFontWeight(QFont::Bold);
        if (s.italic)
            f.setFontItalic(true);
        if (s.underline)
            f.setFontUnderline(true);
        if (s.color >= 0 && size_t(s.color) < m_colors.size() && m_colors[size_t(s.color)])
            f.setForeground(*m_colors[size_t(s.color)]);
        return f;
    }

    // Bytes gather until the format changes, so that a double-byte
    // character written as two \'hh escapes decodes whole.
    void emitByte(uchar b)
    {
        if (chars() != m_runState)
            flushRun();
        m_bytes.push_back(char(b));
    }

    void emitText(const QString &text)
    {
        if (chars() != m_runState)
            flushRun();
        else
            flushBytes();
        m_text += text;
    }

    void flushBytes()
    {
        if (!m_bytes.empty()) {
            m_text += m_decoders.decode(QByteArrayView(m_bytes.data(), qsizetype(m_bytes.size())),
                                        codecForFont(m_runState.font));
            m_bytes.clear();
        }
    }

    void flushRun()
    {
        flushBytes();
        if (!m_text.isEmpty()) {
            m_cursor.insertText(sanitized(m_text), format(m_runState));
            m_text.clear();
        }
        m_runState = chars();
    }

    void paragraph()
    {
        ++m_paragraphs;
        flushRun();
        m_cursor.insertBlock(QTextBlockFormat(), format(chars()));
    }

    QTextDocument *m_document;
    RtfReader::FaceFamilies m_faces;
    QTextCursor m_cursor;
    Decoders m_decoders;

    std::vector<Group> m_stack;
    int m_overflow = 0;       // groups opened beyond the depth limit
    bool m_finished = false;
    qint64 m_paragraphs = 0;  // paragraphs read so far
    bool m_groupStart = false;
    bool m_star = false;      // the group began with \*
    int m_skip = 0;           // fallback units still to swallow after \uN

    Codec m_codePage = Codec::Cp932;
    int m_defaultFont = -1;
    QHash<int, FontEntry> m_fonts;
    std::vector<std::optional<QColor>> m_colors;
    std::vector<std::pair<CharState, QTextCharFormat>> m_formats;

    int m_entryIndex = -1;
    int m_entryCharset = -1;
    QByteArray m_entryBytes;
    QString m_entryName;

    int m_red = 0;
    int m_green = 0;
    int m_blue = 0;
    bool m_colorWords = false;

    CharState m_runState;
    std::string m_bytes;
    QString m_text;
};

} // namespace

std::unique_ptr<QTextDocument> RtfReader::read(QByteArrayView rtf, const QFont &defaultFont,
                                               FaceFamilies faces)
{
    auto document = std::make_unique<QTextDocument>();
    document->setDefaultFont(defaultFont);
    document->setUndoRedoEnabled(false);
    read(rtf, document.get(), faces);
    return document;
}

void RtfReader::read(QByteArrayView rtf, QTextDocument *document, FaceFamilies faces)
{
    Stepwise reader(rtf.toByteArray(), document, faces);
    reader.readRest();
}

struct RtfReader::Stepwise::State
{
    State(QByteArray rtf, QTextDocument *document, FaceFamilies faces)
        : data(std::move(rtf)), lexer(data), builder(document, faces)
    {
    }

    QByteArray data;
    Lexer lexer;
    Builder builder;
    bool more = true;
};

RtfReader::Stepwise::Stepwise(QByteArray rtf, QTextDocument *document, FaceFamilies faces)
    : m_document(document), m_undo(document->isUndoRedoEnabled())
{
    document->setUndoRedoEnabled(false);
    document->clear();
    m_state = std::make_unique<State>(std::move(rtf), document, faces);
}

RtfReader::Stepwise::~Stepwise() = default;

bool RtfReader::Stepwise::read(int paragraphs)
{
    if (!m_state)
        return false;
    if (!m_state->builder.step(m_state->lexer, std::max(0, paragraphs))) {
        m_state.reset();
        m_document->setUndoRedoEnabled(m_undo);
        return false;
    }
    return true;
}

void RtfReader::Stepwise::readRest()
{
    if (!m_state)
        return;
    m_state->builder.step(m_state->lexer, -1);
    m_state.reset();
    m_document->setUndoRedoEnabled(m_undo);
}

} // namespace karvel
