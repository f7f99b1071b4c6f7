#pragma once

#include <QLabel>

namespace karvel {

// A picture box: shows an image at its natural size from its top-left
// corner; where the box is smaller, the image is cut off at the right and
// bottom. The image is read the first time the box is shown, so a box on a
// tab nobody opens costs nothing.
class PictureBox : public QLabel
{
    Q_OBJECT

public:
    explicit PictureBox(const QString &imagePath, QWidget *parent = nullptr);

    QString imagePath() const { return m_path; }
    // Reads the image now if it has not been read yet.
    void load();

protected:
    void showEvent(QShowEvent *event) override;

private:
    QString m_path;
    bool m_loaded = false;
};

} // namespace karvel
