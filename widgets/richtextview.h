#pragma once

#include <QByteArrayView>
#include <QFont>
#include <QString>
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

    // Replaces the content with the RTF document `rtf`, shown from its top.
    // A long document comes in two steps: the paragraphs that fill the view
    // at once, the rest read right after the view is first painted, so that
    // reading and laying out text nobody sees yet does not hold up the
    // window.
    void setContent(QByteArrayView rtf);

    // Adds the rest of a long document now, if it is still waiting.
    void finishLoading();
    bool isLoading() const { return m_reader != nullptr; }

    // Documents of more bytes of RTF than kStageAbove come in two steps.
    static constexpr int kStageAbove = 32 * 1024;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    // Reads the next paragraph of a waiting document into the view.
    void readParagraph();
    // Reads paragraphs of a waiting document into the view until they fill
    // its height.
    void fillView();

    std::unique_ptr<RtfReader::Stepwise> m_reader;
};

} // namespace karvel
