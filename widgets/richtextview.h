#pragma once

#include <QByteArrayView>
#include <QFont>
#include <QString>
#include <QTextBlockFormat>
#include <QTextEdit>

#include "widgets/rtfreader.h"

#include <memory>

namespace karvel {

// A read-only view of one RTF document: the user can scroll (also with the
// keyboard) and select text, not edit it. The default font given at
// construction applies to text the document does not format; the background
// is the system's window (Base) colour.
class RichTextView : public QTextEdit
{
    Q_OBJECT

public:
    explicit RichTextView(const QFont &defaultFont, QWidget *parent = nullptr);

    // Builds the view and shows the RTF file at `path` (usually a resource
    // such as ":/content/about.rtf"); a missing file leaves the view empty.
    RichTextView(const QString &path, const QFont &defaultFont, QWidget *parent = nullptr);
    ~RichTextView() override;

    // Replaces the content with the RTF document `rtf`, shown from its top.
    // The scroll bar shows the document's true length from the first paint.
    // A long document given to a view not yet on the screen comes in two
    // steps: the paragraphs that fill the view before its first paint, the
    // rest right after it; meanwhile a second thread reads the document into
    // a copy of its own and lays that out, for the length.
    void setContent(QByteArrayView rtf);

    // Adds the rest of a long document now, if it is still waiting.
    void finishLoading();
    bool isLoading() const { return m_reader != nullptr; }

    // Documents of more bytes of RTF than kStageAbove come in two steps.
    static constexpr int kStageAbove = 32 * 1024;

protected:
    bool event(QEvent *event) override;
    bool viewportEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    class Length;

    void layOutWhole();
    // Reads the next paragraph of a waiting document into the view.
    void readParagraph();
    // Reads paragraphs of a waiting document into the view until they fill
    // its height.
    void fillView();
    // Before the first paint of a waiting document: the paragraphs that
    // fill the view, and the length of the whole, once measured.
    void prepareFirstPaint();

    std::unique_ptr<RtfReader::Stepwise> m_reader;
    std::unique_ptr<Length> m_length;
    bool m_lengthApplied = false;
    QTextBlockFormat m_lastFormat; // the waiting paragraph's own
};

} // namespace karvel
