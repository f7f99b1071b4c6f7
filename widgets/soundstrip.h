#pragma once

#include <QString>
#include <QWidget>

#include <functional>
#include <memory>

class QToolButton;

namespace karvel {

// What plays the sound behind the strip. The default comes from the sound
// module (sound/libkarvel-sound beside the program), which plays through
// the system's audio output; tests put a recording fake in its place.
class SoundBackend
{
public:
    // Whether the file asked for can be played; called on the
    // user-interface thread, at once or later.
    using Opened = std::function<void(bool playable)>;

    virtual ~SoundBackend() = default;
    // Starts opening the wave file and returns at once. `opened` follows
    // unless another open or close, or the backend's end, comes first.
    virtual void open(const QString &path, Opened opened) = 0;
    // Back to the start of the open file (stops a sound that is playing).
    virtual void rewind() = 0;
    // Starts playing from the current position and returns at once.
    virtual void play() = 0;
    virtual void stop() = 0;
    // Lets go of the file and the audio output.
    virtual void close() = 0;
};

// A player from the sound module in `folder`/sound, loaded on the first
// call; if the module cannot be loaded, a player for which every file is
// unplayable, and one line on standard error naming the module and why.
// The module's headers are checked against its size before it is loaded.
std::unique_ptr<SoundBackend> loadSoundBackend(const QString &folder);

// Whether the sound module has been loaded in this process.
bool soundModuleLoaded();

// A strip of the usual media buttons that plays one wave file. It is driven
// by a file setting and the commands "Open", "Prev" and "Play" (and "Stop",
// "Close"). Opening returns at once; the buttons come alive once the file
// turns out playable, and a "Play" that comes while it is being read plays
// it then. Opening the file it already has open, or is opening, costs
// nothing: the exam's timer sends "Open" every second. A file found
// unplayable is asked for again, which costs the player a look at the file
// unless it has changed. Failures (no audio server, a missing or unreadable
// file) stay inside the strip: nothing is reported to the window that
// holds it.
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

    // Whether the file is open and playable.
    bool isOpen() const { return m_stage == Stage::Open; }
    // The file of the last "Open", until "Close".
    QString openFile() const { return m_openFile; }

    // Replaces the player behind the strip (the strip owns it).
    void setBackend(std::unique_ptr<SoundBackend> backend);

private:
    void open();
    void close();
    void updateButtons();
    SoundBackend &backend();

    enum class Stage { Closed, Opening, Open, Unplayable };

    std::unique_ptr<SoundBackend> m_backend;
    QString m_fileName;
    QString m_openFile;
    Stage m_stage = Stage::Closed;
    bool m_playWhenOpen = false; // a "Play" that came while opening
    quint64 m_ticket = 0; // tells the answer to the latest open from older ones
    QList<QToolButton *> m_buttons; // the ones usable while a file is open
};

} // namespace karvel
