#include "widgets/richtextview.h"

#include <QFile>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextDocument>

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
    // The document is built apart from the view and then handed over, so
    // the view lays it out once.
    std::unique_ptr<QTextDocument> document = RtfReader::read(rtf, font());
    // The first document belongs to the text control, which deletes it when
    // it is replaced; the ones set here belong to the view.
    QTextDocument *old = this->document();
    const bool ownedHere = old && old->parent() == this;
    document->setParent(this);
    setDocument(document.release());
    if (ownedHere)
        delete old;

    moveCursor(QTextCursor::Start);
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
}

} // namespace karvel
