#include "widgets/richtextview.h"

#include <QAbstractTextDocumentLayout>
#include <QEvent>
#include <QFile>
#include <QImage>
#include <QMutex>
#include <QRawFont>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QThread>
#include <QWaitCondition>

#include "widgets/afterfirstpaint.h"
#include "widgets/fonts.h"

namespace karvel {

namespace {

// Whether text in `font` is placed by the glyphs' design widths, as it is
// with slight hinting or none: then hinting changes how glyphs are drawn,
// not where, and a copy laid out without it has the same lines.
bool placedByDesign(const QFont &font, QPaintDevice *device)
{
    const QRawFont raw = QRawFont::fromFont(QFont(font, device));
    const QList<quint32> glyphs = raw.glyphIndexesForString(QStringLiteral("0iW"));
    return raw.advancesForGlyphIndexes(glyphs)
           == raw.advancesForGlyphIndexes(glyphs, QRawFont::UseDesignMetrics);
}

} // namespace

// The height of a document at the view's width, measured on a thread of its
// own while the view's thread builds and shows the rest of the window: the
// RTF is read there into a document of its own and laid out as the view
// lays out its own (the same default font, text option and resolution),
// but without hinting, which costs most of the time of laying text out and
// moves nothing where the fonts are placed by their design widths.
class RichTextView::Length
{
public:
    struct Measure
    {
        qreal height = 0;
        QList<qreal> tops;   // of each paragraph
        QList<QFont> fonts;  // each font of the text once, with hinting as in the view
    };

    Length(QByteArray rtf, const QFont &font, const QTextOption &option, QSize dpi) : m_dpi(dpi)
    {
        m_thread.reset(QThread::create([this, rtf = std::move(rtf), font, option] {
            run(rtf, font, option);
        }));
        m_thread->start();
    }

    ~Length()
    {
        {
            QMutexLocker lock(&m_mutex);
            m_stop = true;
            m_changed.wakeAll();
        }
        m_thread->wait();
    }

    // The resolution the document is laid out at.
    QSize dpi() const { return m_dpi; }

    // Asks for the measure at `width`, without waiting for it.
    void measureAt(qreal width)
    {
        QMutexLocker lock(&m_mutex);
        if (m_wanted != width) {
            m_wanted = width;
            m_changed.wakeAll();
        }
    }

    // The measure at `width`, once taken.
    Measure at(qreal width)
    {
        QMutexLocker lock(&m_mutex);
        if (m_wanted != width) {
            m_wanted = width;
            m_changed.wakeAll();
        }
        while (m_measuredAt != width)
            m_changed.wait(&m_mutex);
        return m_measure;
    }

private:
    void run(const QByteArray &rtf, QFont font, const QTextOption &option)
    {
        QImage device(1, 1, QImage::Format_Mono);
        device.setDotsPerMeterX(qRound(m_dpi.width() / 0.0254));
        device.setDotsPerMeterY(qRound(m_dpi.height() / 0.0254));

        QTextDocument doc;
        // As in the view: nothing is laid out until the width is given.
        doc.setPageSize(QSizeF(0, 0));
        doc.documentLayout()->setPaintDevice(&device);
        doc.setDefaultFont(font);
        doc.setDefaultTextOption(option);
        RtfReader::Stepwise reader(rtf, &doc, faceFamilies);
        while (reader.read(16)) {
            QMutexLocker lock(&m_mutex);
            if (m_stop)
                return;
        }

        QList<QFont> fonts{font};
        for (const QTextFormat &f : doc.allFormats()) {
            if (!f.isCharFormat())
                continue;
            const QFont used = f.toCharFormat().font().resolve(font);
            if (!fonts.contains(used))
                fonts.append(used);
        }
        QTextCursor all(&doc);
        all.select(QTextCursor::Document);
        QTextCharFormat unhinted;
        unhinted.setFontHintingPreference(QFont::PreferNoHinting);
        all.mergeCharFormat(unhinted);
        // (Also a font of this thread's own: one shared with the view's
        // thread would have its faces looked up by the two in turn.)
        font.setHintingPreference(QFont::PreferNoHinting);
        doc.setDefaultFont(font);

        qreal width = -1;
        for (;;) {
            {
                QMutexLocker lock(&m_mutex);
                while (!m_stop && (m_wanted <= 0 || m_wanted == width))
                    m_changed.wait(&m_mutex);
                if (m_stop)
                    return;
                width = m_wanted;
            }
            doc.setTextWidth(width);
            QAbstractTextDocumentLayout *layout = doc.documentLayout();
            Measure measure{layout->documentSize().height(), {}, fonts};
            for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
                measure.tops.append(layout->blockBoundingRect(b).top());
            QMutexLocker lock(&m_mutex);
            m_measuredAt = width;
            m_measure = std::move(measure);
            m_changed.wakeAll();
        }
    }

    const QSize m_dpi;
    QMutex m_mutex;
    QWaitCondition m_changed;
    qreal m_wanted = -1;      // the width asked for
    qreal m_measuredAt = -1;  // the width last measured at, and the measure
    Measure m_measure;
    bool m_stop = false;
    std::unique_ptr<QThread> m_thread;
};

RichTextView::RichTextView(const QFont &defaultFont, QWidget *parent) : QTextEdit(parent)
{
    setFont(defaultFont);
    setReadOnly(true);
    // Mouse selection only: the keys then scroll the view instead of
    // moving an invisible caret.
    setTextInteractionFlags(Qt::TextSelectableByMouse);
    setFocusPolicy(Qt::StrongFocus);
    setBackgroundRole(QPalette::Base);
    // Always there, so that a document that turns out longer than the view
    // is not laid out a second time for the narrower width.
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
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

RichTextView::~RichTextView() = default;

void RichTextView::setContent(QByteArrayView rtf)
{
    m_reader.reset();
    m_length.reset();
    m_lengthApplied = false;
    QTextDocument *doc = document();
    doc->setDefaultFont(font());
    if (rtf.size() > kStageAbove && !isVisible()) {
        m_length = std::make_unique<Length>(rtf.toByteArray(), font(), doc->defaultTextOption(),
                                            QSize(viewport()->logicalDpiX(), viewport()->logicalDpiY()));
        m_reader = std::make_unique<RtfReader::Stepwise>(rtf.toByteArray(), doc, faceFamilies);
        if (doc->pageSize().width() > 0)
            m_length->measureAt(doc->pageSize().width());
        afterFirstPaint(viewport(), [this] { finishLoading(); });
    } else {
        RtfReader::read(rtf, doc, faceFamilies);
        layOutWhole();
    }
    moveCursor(QTextCursor::Start);
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
}

void RichTextView::layOutWhole()
{
    // The text edit lays a long document out a piece at a time as events
    // come, and sets its scroll bar from a guess of the length meanwhile: the
    // thumb would change size under the reader's eyes. Finish the layout now
    // and set the scroll bar from the true length, before anything is shown.
    if (document()->pageSize().width() <= 0)
        return;
    QAbstractTextDocumentLayout *layout = document()->documentLayout();
    emit layout->documentSizeChanged(layout->documentSize());
}

void RichTextView::readParagraph()
{
    if (m_reader && !m_reader->read(1)) {
        m_reader.reset();
        m_length.reset();
    }
}

void RichTextView::fillView()
{
    // Paragraphs are laid out once the document has the view's width; each
    // one read is laid out at once, so where the text ends is exact.
    QAbstractTextDocumentLayout *layout = document()->documentLayout();
    while (m_reader && document()->pageSize().width() > 0
           && layout->blockBoundingRect(document()->lastBlock()).top() < viewport()->height())
        readParagraph();
}

void RichTextView::prepareFirstPaint()
{
    if (!m_reader || m_lengthApplied)
        return;
    const qreal width = document()->pageSize().width();
    if (width <= 0)
        return;
    // The view is filled now rather than as it is shown, so that the window
    // appears sooner.
    fillView();
    if (!m_reader)
        return;
    m_lengthApplied = true;
    // What has been read ends in the empty paragraph that the rest starts
    // in; a margin above it stands for the rest until that comes. A change
    // to it lays out that paragraph alone.
    QAbstractTextDocumentLayout *layout = document()->documentLayout();
    const QSize dpi(viewport()->logicalDpiX(), viewport()->logicalDpiY());
    const Length::Measure whole = m_length->dpi() == dpi ? m_length->at(width) : Length::Measure{};
    const qreal read = layout->documentSize().height();
    const QTextBlock last = document()->lastBlock();
    m_lastFormat = last.blockFormat();
    // The copy laid out its text where the view laid out what it has read.
    const bool same = last.length() == 1 && whole.height > read
                      && last.blockNumber() < whole.tops.size()
                      && whole.tops[last.blockNumber()] == layout->blockBoundingRect(last).top()
                      && std::all_of(whole.fonts.cbegin(), whole.fonts.cend(),
                                     [this](const QFont &f) { return placedByDesign(f, viewport()); });
    if (same) {
        QTextBlockFormat format = m_lastFormat;
        format.setTopMargin(m_lastFormat.topMargin() + whole.height - read);
        QTextCursor(last).setBlockFormat(format);
        // Margins are scaled where the view's screen has another resolution
        // than the main screen: there the whole document comes now.
        if (layout->documentSize().height() == whole.height)
            return;
    }
    finishLoading();
}

void RichTextView::finishLoading()
{
    if (!m_reader)
        return;
    // In one edit, so that what comes is laid out once and the length that
    // the scroll bar shows meanwhile does not change.
    QTextCursor edit(document());
    edit.beginEditBlock();
    if (m_lengthApplied)
        QTextCursor(document()->lastBlock()).setBlockFormat(m_lastFormat);
    m_reader->readRest();
    edit.endEditBlock();
    m_reader.reset();
    m_length.reset();
    m_lengthApplied = false;
}

bool RichTextView::event(QEvent *event)
{
    // The frame is painted before the text and the scroll bar within it.
    if (event->type() == QEvent::Paint)
        prepareFirstPaint();
    return QTextEdit::event(event);
}

bool RichTextView::viewportEvent(QEvent *event)
{
    if (event->type() == QEvent::Paint)
        prepareFirstPaint();
    return QTextEdit::viewportEvent(event);
}

void RichTextView::resizeEvent(QResizeEvent *event)
{
    QTextEdit::resizeEvent(event);
    if (!m_reader) {
        layOutWhole();
        return;
    }
    // The length measured was for the old size.
    if (m_lengthApplied) {
        finishLoading();
        return;
    }
    if (m_length)
        m_length->measureAt(document()->pageSize().width());
}

} // namespace karvel
