#pragma once

#include <QByteArrayView>
#include <QFont>
#include <QString>
#include <QTextEdit>

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
    // The whole document is laid out before the view is painted, so that its
    // scroll bar shows the document's true length from the first.
    void setContent(QByteArrayView rtf);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void layOutWhole();
};

} // namespace karvel
