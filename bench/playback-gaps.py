#!/usr/bin/python3
"""Compares a recording of a null sink's monitor (raw s16le stereo at the
source's rate) with the 16-bit stereo WAV that was played, and prints

    <seconds of sound> <gaps> <jumps>

The sound lies between the first and the last sample louder than the
threshold.  A gap is a run of at least MIN_GAP_FRAMES quiet frames inside
it (the test signal, two sines, has none).  A jump is a place where the
recording stops following the source sample for sample and picks it up
again elsewhere: silence put in, or audio dropped.  An output that never
ran dry has neither, and its sound is as long as the source."""

import array
import sys

THRESHOLD = 2          # sample values
MIN_GAP_FRAMES = 16    # well above the quiet frames of a zero crossing
MATCH_FRAMES = 64      # frames that must agree to call two places the same


def samples(path, skip):
    values = array.array("h")
    with open(path, "rb") as f:
        values.frombytes(f.read()[skip:])
    if sys.byteorder != "little":
        values.byteswap()
    return values


def main():
    recorded = samples(sys.argv[1], 0)
    source = samples(sys.argv[2], 44)  # a plain 44-byte header, as sox writes it
    rate = int(sys.argv[3]) if len(sys.argv) > 3 else 44100
    frames, source_frames = len(recorded) // 2, len(source) // 2
    loud = [abs(recorded[2 * i]) > THRESHOLD or abs(recorded[2 * i + 1]) > THRESHOLD for i in range(frames)]
    if True not in loud:
        print("0.000000 0 0")
        return
    first = loud.index(True)
    last = frames - 1 - loud[::-1].index(True)

    gaps, run = 0, 0
    for i in range(first, last + 1):
        if loud[i]:
            gaps += run >= MIN_GAP_FRAMES
            run = 0
        else:
            run += 1

    def same(r, s):
        if r + MATCH_FRAMES > frames or s + MATCH_FRAMES > source_frames:
            return False
        return recorded[2 * r:2 * (r + MATCH_FRAMES)] == source[2 * s:2 * (s + MATCH_FRAMES)]

    # The recording starts at the first loud frame, which is a few frames
    # into the source (its first samples are near zero).
    s = next((k for k in range(rate) if same(first, k)), None)
    jumps, r = 0, first
    if s is None:
        jumps = 1
    while s is not None and r < frames and s < source_frames:
        if recorded[2 * r] == source[2 * s] and recorded[2 * r + 1] == source[2 * s + 1]:
            r += 1
            s += 1
            continue
        jumps += 1
        ahead = next((d for d in range(rate) if same(r + d, s)), None)
        if ahead is None:
            break
        r += ahead
    print("%.6f %d %d" % ((last - first + 1) / rate, gaps, jumps))


main()
