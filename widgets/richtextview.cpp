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

    QTextDocument *doc = document();
    doc->setDefaultFont(font());
    doc->clear();
    if (read->characterCount() > kStageAbove) {
        m_rest = std::move(read);
        m_restFrom = 0;
        m_filled = 0;
        fillView();
    } else {
        QTextCursor(doc).insertFragment(QTextDocumentFragment(read.get()));
    }

    moveCursor(QTextCursor::Start);
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
}

void RichTextView::fillView()
{
    if (!m_rest)
        return;
    // Every paragraph takes at least one line, and no line is lower than the
    // smallest font in it: add paragraphs until that much fills the view's
    // height (its frame included, so never too few).
    const QFont base = document()->defaultFont();
    QTextBlock block = m_rest->findBlock(m_restFrom);
    int to = m_restFrom;
    for (; block.isValid() && m_filled < height(); block = block.next()) {
        qreal lowest = 0;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const qreal h = QFontMetricsF(it.fragment().charFormat().font().resolve(base)).height();
            lowest = lowest > 0 ? std::min(lowest, h) : h;
        }
        m_filled += lowest > 0 ? lowest : QFontMetricsF(block.charFormat().font().resolve(base)).height();
        to = block.position() + block.length();
    }
    if (!block.isValid()) {
        finishLoading();
        return;
    }
    if (to == m_restFrom)
        return;
    // Each part ends in the empty paragraph that the next one starts with.
    QTextCursor from(m_rest.get());
    from.setPosition(m_restFrom);
    from.setPosition(to, QTextCursor::KeepAnchor);
    QTextCursor end(document());
    end.movePosition(QTextCursor::End);
    end.insertFragment(QTextDocumentFragment(from));
    m_restFrom = to;
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
    // Before its first resize the view lays nothing out; now that it knows
    // its height, it brings in what it shows before laying that out.
    fillView();
    QTextEdit::resizeEvent(event);
}

bool RichTextView::viewportEvent(QEvent *event)
{
    const bool handled = QTextEdit::viewportEvent(event);
    if (event->type() == QEvent::Paint && m_rest)
        QTimer::singleShot(0, this, &RichTextView::finishLoading);
    return handled;
}

} // namespace karvel
