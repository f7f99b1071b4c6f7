#pragma once

#include <QString>
#include <QWidget>

#include <memory>

class QToolButton;

namespace karvel {

// What plays the sound behind the strip. The default is Qt's sound-effect
// player; tests put a recording fake in its place.
class SoundBackend
{
public:
    virtual ~SoundBackend() = default;
    // Loads the wave file; false when it cannot be played.
    virtual bool open(const QString &path) = 0;
    // Back to the start of the open file (stops a sound that is playing).
    virtual void rewind() = 0;
    // Starts playing from the current position and returns at once.
    virtual void play() = 0;
    virtual void stop() = 0;
};

// A strip of the usual media buttons that plays one wave file. It is driven
// by a file setting and the commands "Open", "Prev" and "Play" (and "Stop",
// "Close"). Opening the file it already has open costs nothing. Failures (no
// audio server, a missing or unreadable file) stay inside the strip: nothing
// is reported to the window that holds it.
class SoundPlayerStrip : public QWidget
{
    Q_OBJECT

public:
    explicit SoundPlayerStrip(QWidget *parent = nullptr);
    ~SoundPlayerStrip() override;

    void setFileName(const QString &path) { m_fileName = path; }
    QString fileName() const { return m_fileName; }

    // Carries out a command by its name; unknown names are ignored.
    void command(const QString &name);

    bool isOpen() const { return m_open; }
    QString openFile() const { return m_openFile; }

    // Replaces the player behind the strip (the strip owns it).
    void setBackend(std::unique_ptr<SoundBackend> backend);

private:
    void open();
    void close();
    void updateButtons();
    SoundBackend &backend();

    std::unique_ptr<SoundBackend> m_backend;
    QString m_fileName;
    QString m_openFile;
    bool m_open = false;
    QList<QToolButton *> m_buttons; // the ones usable while a file is open
};

} // namespace karvel
