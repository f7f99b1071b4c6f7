#pragma once

#include <memory>

#include <QByteArrayView>
#include <QFont>

class QTextDocument;

namespace karvel {

// Reads the RTF documents the program carries (code page 932 text written as
// \'hh escapes, a font table, a colour table) into a QTextDocument.
//
// What it renders: paragraphs (\par, one block each, so a document ending in
// "\par }" ends with an empty block), \line, \tab, \uN with its \ucN fallback,
// and per run the face from the font table, the point size (\fs), the colour
// from the colour table (\cf), underline, bold and italic (\plain resets them).
// Text that the document does not format takes the default font.
//
// It reads any input, however malformed, in linear time and without
// recursion: unbalanced braces, truncated files, huge parameters, deep
// nesting and invalid bytes give whatever text could be read.
class RtfReader
{
public:
    // The font families that set a face the font table names; without it,
    // the name itself.
    using FaceFamilies = QStringList (*)(const QString &face);

    // A new document holding `rtf`, with `defaultFont` for unformatted text.
    static std::unique_ptr<QTextDocument> read(QByteArrayView rtf, const QFont &defaultFont,
                                               FaceFamilies faces = nullptr);

    // Replaces the content of `document` with `rtf`. Unformatted text takes
    // the document's default font.
    static void read(QByteArrayView rtf, QTextDocument *document, FaceFamilies faces = nullptr);

    // Replaces the content of `document` with `rtf` a part at a time, so
    // that a view can show a long document's beginning before the rest is
    // read. The document must outlive the reader and take no other edits
    // meanwhile.
    class Stepwise
    {
    public:
        Stepwise(QByteArray rtf, QTextDocument *document, FaceFamilies faces = nullptr);
        ~Stepwise();
        // Reads on until `paragraphs` more paragraphs are in, or to the end;
        // true while there is more to read.
        bool read(int paragraphs);
        // Reads to the end.
        void readRest();

    private:
        struct State;
        QTextDocument *m_document;
        bool m_undo;
        std::unique_ptr<State> m_state;
    };

    // Deeper groups than this are read as if their braces were not there.
    static constexpr int kMaxGroupDepth = 1024;
};

} // namespace karvel
