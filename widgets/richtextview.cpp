#include "widgets/richtextview.h"

#include <QAbstractTextDocumentLayout>
#include <QFile>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextBlock>
#include <QTextDocument>

#include "widgets/afterfirstpaint.h"
#include "widgets/fonts.h"
#include "widgets/rtfreader.h"

namespace karvel {

RichTextView::RichTextView(const QFont &defaultFont, QWidget *parent) : QTextEdit(parent)
{
    setFont(defaultFont);
    setReadOnly(true);
    // Mouse selection only: the keys then scroll the view instead of
    // moving an invisible caret.
    setTextInteractionFlags(Qt::TextSelectableByMouse);
    setFocusPolicy(Qt::StrongFocus);
    setBackgroundRole(QPalette::Base);
    // Always there, so that a document that turns out longer than the view
    // is not laid out a second time for the narrower width.
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setLineWrapMode(QTextEdit::WidgetWidth);
    setUndoRedoEnabled(false);
}

RichTextView::RichTextView(const QString &path, const QFont &defaultFont, QWidget *parent)
    : RichTextView(defaultFont, parent)
{
    QFile file(path);
    if (file.open(QIODevice::ReadOnly))
        setContent(file.readAll());
}

void RichTextView::setContent(QByteArrayView rtf)
{
    m_reader.reset();
    QTextDocument *doc = document();
    doc->setDefaultFont(font());
    if (rtf.size() > kStageAbove) {
        m_reader = std::make_unique<RtfReader::Stepwise>(rtf.toByteArray(), doc, faceFamilies);
        readParagraph();
        fillView();
        afterFirstPaint(viewport(), [this] { finishLoading(); });
    } else {
        RtfReader::read(rtf, doc, faceFamilies);
    }

    moveCursor(QTextCursor::Start);
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
}

void RichTextView::readParagraph()
{
    if (m_reader && !m_reader->read(1))
        m_reader.reset();
}

void RichTextView::fillView()
{
    // Paragraphs are laid out once the document has the view's width; each
    // one read is laid out at once, so where the text ends is exact.
    QAbstractTextDocumentLayout *layout = document()->documentLayout();
    while (m_reader && document()->pageSize().width() > 0
           && layout->blockBoundingRect(document()->lastBlock()).top() < viewport()->height())
        readParagraph();
}

void RichTextView::finishLoading()
{
    if (!m_reader)
        return;
    m_reader->readRest();
    m_reader.reset();
}

void RichTextView::resizeEvent(QResizeEvent *event)
{
    QTextEdit::resizeEvent(event);
    fillView();
}

} // namespace karvel
