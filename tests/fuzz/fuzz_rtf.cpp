// libFuzzer target: the RTF reader must read any bytes, and the document it
// gives must lay out.

#include <cstddef>
#include <cstdint>

#include <QByteArrayView>
#include <QCoreApplication>
#include <QFont>
#include <QGuiApplication>
#include <QTextDocument>

#include "widgets/rtfreader.h"

namespace {
QFont *defaultFont = nullptr;
}

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // Layout needs fonts, and fonts need a GUI application.
    static int argc = 1;
    static char name[] = "fuzz_rtf";
    static char *argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(argc, argv);
    static QFont font(QStringLiteral("ＭＳ ゴシック"), 9);
    defaultFont = &font;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView rtf(reinterpret_cast<const char *>(data), qsizetype(size));
    auto document = karvel::RtfReader::read(rtf, *defaultFont);
    document->setTextWidth(400);
    (void)document->size();
    // Lets Qt's font cache run its timer and drop the fonts of earlier inputs.
    QCoreApplication::processEvents();
    return 0;
}
