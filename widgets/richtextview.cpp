#include "widgets/richtextview.h"

#include <QFile>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTimer>

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
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
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
    std::unique_ptr<QTextDocument> read = RtfReader::read(rtf, font());

    // Where the first part ends: at a paragraph, once kFirstChars are in.
    int split = -1;
    if (read->characterCount() > kStageAbove) {
        QTextBlock block = read->begin();
        for (int chars = 0; block.isValid() && chars < kFirstChars; block = block.next())
            chars += block.length();
        split = block.isValid() ? block.position() : -1;
    }

    QTextDocument *doc = document();
    doc->setDefaultFont(font());
    doc->clear();
    QTextCursor from(read.get());
    from.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    if (split > 0)
        from.setPosition(split, QTextCursor::KeepAnchor);
    QTextCursor(doc).insertFragment(QTextDocumentFragment(from));
    if (split > 0) {
        m_rest = std::move(read);
        m_restFrom = split;
    }

    moveCursor(QTextCursor::Start);
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
}

void RichTextView::finishLoading()
{
    if (!m_rest)
        return;
    QTextCursor from(m_rest.get());
    from.setPosition(m_restFrom);
    from.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    // The first part ends in the empty paragraph that starts the rest.
    QTextCursor end(document());
    end.movePosition(QTextCursor::End);
    end.insertFragment(QTextDocumentFragment(from));
    m_rest.reset();
}

bool RichTextView::viewportEvent(QEvent *event)
{
    const bool handled = QTextEdit::viewportEvent(event);
    if (event->type() == QEvent::Paint && m_rest)
        QTimer::singleShot(0, this, &RichTextView::finishLoading);
    return handled;
}

} // namespace karvel
