#include "infowindow.h"

#include "widgets/fonts.h"
#include "widgets/richtextview.h"


namespace karvel {

InfoWindow::InfoWindow(const QString &name, const QString &title, QSize client,
                       const QColor &background, QRect viewGeometry, const char *document,
                       QWidget *parent)
    : QWidget(parent)
{
    setObjectName(name);
    setWindowTitle(title);
    setFixedSize(client);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, background);
    setPalette(pal);
    setAutoFillBackground(true);

    m_view = new RichTextView(QString::fromLatin1(document), namedFont(u"ＭＳ ゴシック"_qs, 9), this);
    m_view->setObjectName(QStringLiteral("RichTextBox1"));
    // The view reaches past the right and bottom edges and is cut off there.
    m_view->setGeometry(viewGeometry);
    setFocusProxy(m_view);
}

} // namespace karvel
