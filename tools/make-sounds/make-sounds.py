#!/usr/bin/env python3
"""Generates the built-in sounds of the draw screen.

roll.wav     a drum roll that loops without a seam while the numbers spin:
             snare-like noise strokes sixteen to the second with a low tom
             on every beat. Exactly two seconds long; every stroke that rings
             past the end is folded back onto the start, so the last sample
             leads into the first as any two neighbours do.
fanfare.wav  a short bright brass-like call at the stop: a rising major
             arpeggio (C5 E5 G5) into a held C major chord that dies away.

Both are mono 16-bit PCM at 22050 Hz. Everything is synthesised here
(Python standard library only) with a fixed seed, so the output is the same
on every run.

Usage: make-sounds.py [output-folder]
       (default: src/ui/drawscreen/resources/sounds beside this repository)
"""

import math
import os
import random
import struct
import sys
import wave

RATE = 22050
ROLL_SECONDS = 2.0
SEED = 20240202


def write_wav(path, samples, peak):
    """Scales the samples to the peak (a fraction of full scale) and writes them."""
    loudest = max(abs(s) for s in samples) or 1.0
    scale = peak * 32767.0 / loudest
    frames = b"".join(struct.pack("<h", int(round(s * scale))) for s in samples)
    with wave.open(path, "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(RATE)
        out.writeframes(frames)


def roll():
    rng = random.Random(SEED)
    length = int(RATE * ROLL_SECONDS)
    out = [0.0] * length

    def add_circular(start, values):
        for i, v in enumerate(values):
            out[(start + i) % length] += v

    # Snare strokes: filtered noise with a short attack (no clicks) and a
    # fast decay, alternating hands so the roll does not sound mechanical.
    strokes = 32
    spacing = length // strokes
    for k in range(strokes):
        accent = 1.0 if k % 4 == 0 else (0.8 if k % 2 == 0 else 0.68)
        jitter = rng.randint(-40, 40) if k else 0
        n = int(RATE * 0.09)
        burst = []
        low = 0.0
        for i in range(n):
            t = i / RATE
            attack = min(1.0, i / 22.0)
            env = attack * math.exp(-t / 0.018)
            white = rng.uniform(-1.0, 1.0)
            low += 0.45 * (white - low)  # takes the hiss off the top
            # A snare's body: a short tone under the noise.
            body = 0.35 * math.sin(2 * math.pi * 190 * t) * math.exp(-t / 0.03)
            burst.append(accent * (env * low + attack * body))
        add_circular(k * spacing + jitter, burst)

    # Low tom on each of the four beats, its pitch falling as it rings.
    beats = 4
    for b in range(beats):
        n = int(RATE * 0.35)
        hit = []
        phase = 0.0
        for i in range(n):
            t = i / RATE
            freq = 72 + 48 * math.exp(-t / 0.05)
            phase += 2 * math.pi * freq / RATE
            attack = min(1.0, i / 30.0)
            hit.append(0.9 * attack * math.exp(-t / 0.11) * math.sin(phase))
        add_circular(b * (length // beats), hit)
    return out


def fanfare():
    # (start s, length s, frequencies Hz)
    notes = [
        (0.00, 0.16, [523.25]),
        (0.15, 0.16, [659.25]),
        (0.30, 0.16, [783.99]),
        (0.45, 1.05, [1046.50, 783.99, 659.25, 523.25]),
    ]
    total = 1.5
    length = int(RATE * total)
    out = [0.0] * length
    for start, dur, freqs in notes:
        first = int(start * RATE)
        n = min(int(dur * RATE), length - first)
        held = dur > 0.5
        for f_index, freq in enumerate(freqs):
            level = 1.0 if f_index == 0 else 0.55
            for i in range(n):
                t = i / RATE
                # Brass: the upper harmonics open up as the note speaks.
                brightness = 1.0 - math.exp(-t / 0.04)
                vibrato = 1.0 + (0.004 * math.sin(2 * math.pi * 5.5 * t) * min(1.0, t / 0.3) if held else 0.0)
                attack = min(1.0, t / 0.015)
                if held:
                    # Swell a little, then die away to nothing at the end.
                    remaining = (dur - t) / dur
                    env = attack * (0.85 + 0.15 * min(1.0, t / 0.2)) * remaining ** 1.6
                else:
                    env = attack * math.exp(-t / 0.25) * min(1.0, (dur - t) / 0.02)
                s = 0.0
                for h in range(1, 9):
                    amp = (1.0 / h) * (brightness ** (h - 1) if h > 1 else 1.0)
                    s += amp * math.sin(2 * math.pi * freq * h * vibrato * t)
                out[first + i] += level * env * s
    # The very last samples come to rest at zero.
    for i in range(64):
        out[length - 1 - i] *= i / 64.0
    return out


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    default = os.path.join(here, "..", "..", "src", "ui", "drawscreen", "resources", "sounds")
    folder = sys.argv[1] if len(sys.argv) > 1 else default
    os.makedirs(folder, exist_ok=True)
    write_wav(os.path.join(folder, "roll.wav"), roll(), 0.55)
    write_wav(os.path.join(folder, "fanfare.wav"), fanfare(), 0.8)


if __name__ == "__main__":
    main()
