#!/usr/bin/python3
"""Makes resources/Zikan.wav, the chime played when the hour is up.

A soft rising three-note figure (E5, G5, C6) of bell-like tones: each note is
a few partials under a short attack and an exponential decay, the notes
overlapping as they ring out.  The sound fades to nothing, then 0.3 s of
digital silence follows, because sound players on Linux cut off roughly the
last tenth of a second of what they play.

Mono, 22050 Hz, 16-bit PCM (Qt's sound-effect player refuses 32-bit samples),
peak at -3 dBFS.  Pure arithmetic, no randomness: the bytes are the same on
every run.

    make_chime.py [OUTPUT]     (default: resources/Zikan.wav)
"""

from __future__ import annotations

import sys
import wave
from pathlib import Path

import numpy as np

RATE = 22050
PEAK_DBFS = -3.0
SOUNDING = 2.0        # seconds of tone, fade-out included
FADE = 0.35           # seconds of the final fade to zero
SILENCE = 0.3         # seconds of digital silence at the end
ATTACK = 0.008        # seconds

# (start in seconds, fundamental in Hz, decay time constant in seconds)
NOTES = [
    (0.00, 659.26, 0.40),    # E5
    (0.28, 783.99, 0.45),    # G5
    (0.56, 1046.50, 0.65),   # C6, left to ring
]

# (frequency ratio, relative amplitude, decay relative to the fundamental's)
PARTIALS = [
    (1.0, 1.00, 1.0),
    (2.0, 0.30, 0.6),
    (3.0, 0.10, 0.4),
    (4.2, 0.05, 0.25),   # a slightly inharmonic shimmer, gone quickly
]


def tone(t: np.ndarray, freq: float, tau: float) -> np.ndarray:
    out = np.zeros_like(t)
    for ratio, amp, decay in PARTIALS:
        out += amp * np.exp(-t / (tau * decay)) * np.sin(2 * np.pi * freq * ratio * t)
    attack = np.clip(t / ATTACK, 0.0, 1.0)
    return out * attack


def samples() -> np.ndarray:
    """The whole sound as 16-bit samples, silence included."""
    n = int(round(SOUNDING * RATE))
    t = np.arange(n) / RATE
    mix = np.zeros(n)
    for start, freq, tau in NOTES:
        local = t - start
        playing = local >= 0
        mix[playing] += tone(local[playing], freq, tau)
    # Raised-cosine fade over the last FADE seconds, down to exactly zero.
    fade_n = int(round(FADE * RATE))
    mix[-fade_n:] *= 0.5 * (1 + np.cos(np.linspace(0, np.pi, fade_n)))
    peak = 10 ** (PEAK_DBFS / 20) * 32767
    mix *= peak / np.abs(mix).max()
    pcm = np.round(mix).astype(np.int16)
    return np.concatenate([pcm, np.zeros(int(round(SILENCE * RATE)), np.int16)])


def write(target: Path) -> None:
    with wave.open(str(target), "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(samples().astype("<i2").tobytes())


def main(argv: list[str]) -> int:
    root = Path(__file__).resolve().parent.parent
    write(Path(argv[1]) if len(argv) > 1 else root / "resources" / "Zikan.wav")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
