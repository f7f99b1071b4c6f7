#include "widgets/richtextview.h"

#include <QAbstractTextDocumentLayout>
#include <QFile>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextBlock>
#include <QTextDocument>

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
    QTextDocument *doc = document();
    doc->setDefaultFont(font());
    RtfReader::read(rtf, doc, faceFamilies);
    layOutWhole();
    moveCursor(QTextCursor::Start);
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
}

void RichTextView::layOutWhole()
{
    // The text edit lays a long document out a piece at a time as events
    // come, and sets its scroll bar from a guess of the length meanwhile: the
    // thumb would change size under the reader's eyes. Finish the layout now
    // and set the scroll bar from the true length, before anything is shown.
    if (document()->pageSize().width() <= 0)
        return;
    QAbstractTextDocumentLayout *layout = document()->documentLayout();
    emit layout->documentSizeChanged(layout->documentSize());
}

void RichTextView::resizeEvent(QResizeEvent *event)
{
    QTextEdit::resizeEvent(event);
    layOutWhole();
}

} // namespace karvel
