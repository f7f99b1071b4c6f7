#include "picturebox.h"

#include <QPixmap>

namespace karvel {

PictureBox::PictureBox(const QString &imagePath, QWidget *parent)
    : QLabel(parent), m_path(imagePath)
{
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setFocusPolicy(Qt::NoFocus);
    setMargin(0);
}

void PictureBox::load()
{
    if (m_loaded)
        return;
    m_loaded = true;
    setPixmap(QPixmap(m_path));
}

void PictureBox::showEvent(QShowEvent *event)
{
    load();
    QLabel::showEvent(event);
}

} // namespace karvel
