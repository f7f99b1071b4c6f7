#include "widgets/richtextview.h"

#include <QAbstractTextDocumentLayout>
#include <QFile>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTimer>

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
    m_rest.reset();
    std::unique_ptr<QTextDocument> read = RtfReader::read(rtf, font(), faceFamilies);

    QTextDocument *doc = document();
    doc->setDefaultFont(font());
    doc->clear();
    if (read->characterCount() > kStageAbove) {
        m_rest = std::move(read);
        m_restFrom = 0;
        bringParagraph();
        fillView();
    } else {
        QTextCursor(doc).insertFragment(QTextDocumentFragment(read.get()));
    }

    moveCursor(QTextCursor::Start);
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
}

void RichTextView::bringParagraph()
{
    const QTextBlock next = m_rest->findBlock(m_restFrom).next();
    if (!next.isValid()) {
        finishLoading();
        return;
    }
    // Each part ends in the empty paragraph that the next one starts with.
    QTextCursor from(m_rest.get());
    from.setPosition(m_restFrom);
    from.setPosition(next.position(), QTextCursor::KeepAnchor);
    QTextCursor end(document());
    end.movePosition(QTextCursor::End);
    end.insertFragment(QTextDocumentFragment(from));
    m_restFrom = next.position();
}

void RichTextView::fillView()
{
    // Paragraphs are laid out once the document has the view's width; each
    // one brought in is laid out at once, so where the text ends is exact:
    // the top of the empty paragraph that the rest will start with.
    QAbstractTextDocumentLayout *layout = document()->documentLayout();
    while (m_rest && document()->pageSize().width() > 0
           && layout->blockBoundingRect(document()->lastBlock()).top() < viewport()->height())
        bringParagraph();
}

void RichTextView::finishLoading()
{
    if (!m_rest)
        return;
    QTextCursor from(m_rest.get());
    from.setPosition(m_restFrom);
    from.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    // The part before ends in the empty paragraph that the rest starts with.
    QTextCursor end(document());
    end.movePosition(QTextCursor::End);
    end.insertFragment(QTextDocumentFragment(from));
    m_rest.reset();
}

void RichTextView::resizeEvent(QResizeEvent *event)
{
    QTextEdit::resizeEvent(event);
    fillView();
}

bool RichTextView::viewportEvent(QEvent *event)
{
    const bool handled = QTextEdit::viewportEvent(event);
    if (event->type() == QEvent::Paint && m_rest)
        QTimer::singleShot(0, this, &RichTextView::finishLoading);
    return handled;
}

} // namespace karvel
