#pragma once

#include <QByteArrayView>
#include <QFont>
#include <QString>
#include <QTextEdit>

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
    // A long document comes in two steps: its first screenfuls at once, the
    // rest right after the view is first painted, so that laying out text
    // nobody sees yet does not hold up the window.
    void setContent(QByteArrayView rtf);

    // Adds the rest of a long document now, if it is still waiting.
    void finishLoading();
    bool isLoading() const { return m_rest != nullptr; }

    // Documents of more characters than kStageAbove come in two steps.
    static constexpr int kStageAbove = 6000;

protected:
    bool viewportEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    // Moves the next paragraph of a waiting document into the view.
    void bringParagraph();
    // Moves paragraphs of a waiting document into the view until they fill
    // its height.
    void fillView();

    std::unique_ptr<QTextDocument> m_rest;
    int m_restFrom = 0;
};

} // namespace karvel
