// The entry of the sound module: the sound strip loads this library when it
// is first asked to open a sound, and makes its player here.
#include "widgets/sound/waveoutput.h"

extern "C" Q_DECL_EXPORT karvel::SoundBackend *karvel_new_sound_backend()
{
    return new karvel::WaveOutput;
}
