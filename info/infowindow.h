#pragma once

#include <QColor>
#include <QRect>
#include <QString>
#include <QWidget>

namespace karvel {

class RichTextView;

// What the About and verdict windows share: a fixed client area in one
// colour and a rich-text view RichTextBox1 showing a document of the
// program's own, in ＭＳ ゴシック 9 pt where the document sets no font.
class InfoWindow : public QWidget
{
    Q_OBJECT

public:
    InfoWindow(const QString &name, const QString &title, QSize client, const QColor &background,
               QRect viewGeometry, const char *document, QWidget *parent = nullptr);

    RichTextView *view() const { return m_view; }

private:
    RichTextView *m_view;
};

} // namespace karvel
