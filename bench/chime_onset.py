#!/usr/bin/python3
"""How soon the time-up chime sounds: from the start of the tick that shows
"0:00" to the first non-silent sample reaching a sound server's null sink.

    bench/chime_onset.py BUILD_DIR [RUNS] [--idle-sink]   (default 7 runs)

A private PulseAudio with a null sink; a silent stream keeps the sink running
in real time, as a sound card in use does (an idle null sink hands its
monitor data in irregular lumps, which would measure the sink, not the
program). The sink's monitor is recorded at 5 ms latency and every block
stamped with the monotonic clock on arrival. BUILD_DIR/bench/chime_onset
runs the exam's hour on a hand-moved clock and prints when its last tick
began. The baseline, measured the same way in the same run, is paplay
playing the same file from a fresh process. Prints medians and spreads.
--idle-sink leaves out the silent stream, to see the idle sink's lumps."""

import os
import statistics
import subprocess
import sys
import tempfile
import threading
import time

import numpy as np

RATE = 22050
LOUD = 100  # sample magnitude above the null sink's digital silence


def main():
    args = [a for a in sys.argv[1:] if not a.startswith("--")]
    idle_sink = "--idle-sink" in sys.argv
    build = os.path.abspath(args[0] if args else "build")
    runs = int(args[1]) if len(args) > 1 else 7
    program = os.path.join(build, "bench", "chime_onset")
    chime = os.path.join(build, "bench", "Zikan.wav")
    work = tempfile.mkdtemp(prefix="chime-onset-")
    os.chmod(work, 0o700)
    env = dict(os.environ, HOME=work, XDG_RUNTIME_DIR=work, QT_QPA_PLATFORM="offscreen")
    env.pop("PULSE_SERVER", None)
    subprocess.run(["pulseaudio", "--daemonize=yes", "--exit-idle-time=-1", "--system=false", "-n",
                    "--load=module-null-sink sink_name=bench_sink",
                    "--load=module-native-protocol-unix auth-anonymous=1",
                    "--log-target=file:" + os.path.join(work, "pulse.log")], env=env, check=True)
    steady = recorder = None
    try:
        deadline = time.monotonic() + 10
        while subprocess.run(["pactl", "info"], env=env, capture_output=True).returncode != 0:
            if time.monotonic() > deadline:
                sys.exit("the sound server does not answer")
            time.sleep(0.1)
        steady = None if idle_sink else subprocess.Popen(["pacat", "-d", "bench_sink", "--raw", "--format=s16le",
                                   f"--rate={RATE}", "--channels=1", "--latency-msec=5",
                                   "/dev/zero"], env=env)
        recorder = subprocess.Popen(["parec", "-d", "bench_sink.monitor", "--raw", "--format=s16le",
                                     f"--rate={RATE}", "--channels=1", "--latency-msec=5"],
                                    env=env, stdout=subprocess.PIPE)
        blocks = []  # (arrival, samples)

        def record():
            while True:
                data = recorder.stdout.read1(65536)
                if not data:
                    return
                blocks.append((time.monotonic(), np.frombuffer(data[:len(data) // 2 * 2], "<i2")))

        threading.Thread(target=record, daemon=True).start()
        time.sleep(1.0)

        def onset_after(t0):
            """Seconds from t0 to the first loud sample recorded after it."""
            for arrival, samples in list(blocks):
                if arrival < t0 or not len(samples):
                    continue
                loud = np.flatnonzero(np.abs(samples.astype(np.int32)) > LOUD)
                if len(loud):
                    return arrival - (len(samples) - loud[0]) / RATE - t0
            return None

        def settle():
            time.sleep(0.5)

        exam, baseline = [], []
        for _ in range(runs):
            out = subprocess.run([program], env=env, capture_output=True, text=True)
            line = [l for l in out.stdout.splitlines() if l.startswith("0:00 ")]
            if out.returncode != 0 or not line:
                sys.exit(f"chime_onset failed: {out.stderr.strip()}")
            onset = onset_after(float(line[0].split()[1]))
            if onset is None:
                sys.exit("the chime was not heard")
            exam.append(onset * 1000)
            settle()
            t0 = time.monotonic()
            subprocess.run(["paplay", chime], env=env, check=True)
            onset = onset_after(t0)
            if onset is None:
                sys.exit("paplay was not heard")
            baseline.append(onset * 1000)
            settle()

        def describe(name, values):
            return (f"{name:<28} median {statistics.median(values):6.1f} ms  "
                    f"(min {min(values):.1f}, max {max(values):.1f}; "
                    + " ".join(f"{v:.0f}" for v in values) + ")")

        print(describe("chime after \"0:00\"", exam))
        print(describe("paplay from a new process", baseline))
        print(f"chime / paplay: {statistics.median(exam) / statistics.median(baseline):.2f}")
    finally:
        for p in (steady, recorder):
            if p:
                p.terminate()
        subprocess.run(["pulseaudio", "--kill"], env=env)


if __name__ == "__main__":
    main()
