// libFuzzer target: the wave reader must take any bytes a Zikan.wav may
// hold, and what it accepts must be whole frames of its format.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "widgets/sound/wavefile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QString why;
    const auto sound = karvel::parseWave(bytes, &why);
    if (sound) {
        const int frame = sound->format.bytesPerFrame();
        if (frame <= 0 || sound->samples.isEmpty() || sound->samples.size() % frame != 0)
            std::abort();
    } else if (why.isEmpty()) {
        std::abort(); // a refusal always says why
    }
    return 0;
}
