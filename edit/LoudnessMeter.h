#pragma once

#include <optional>
#include <string>

namespace velmora {

class Progress;
struct Document;

// What EBU R 128 / ITU-R BS.1770 say of a stretch of sound, as libebur128
// measures it.  Loudness in LUFS, its range in LU, peaks in dB of full
// scale; minus infinity where there is nothing to measure (silence, or a
// stretch shorter than the measure's window).
struct LoudnessFigures {
    double Integrated = 0;    // gated programme loudness, LUFS
    double Range = 0;         // loudness range, LU
    double TruePeak = 0;      // dBTP, over every channel
    double MaxMomentary = 0;  // the loudest 400 ms window, LUFS
    double MaxShortTerm = 0;  // the loudest 3 s window, LUFS
    double SamplePeak = 0;    // dBFS
};

// The figures of the edit range of the document's working file.  progress
// shows the bytes read and carries the stop request; nullopt when it was
// stopped or the file could not be read.
std::optional<LoudnessFigures> MeasureLoudness(const Document& doc, Progress& progress);

// A figure as velmora-cli prints it and the Loudness dialog shows it: one
// decimal ("-23.0"), "-inf" for minus infinity.
std::string LoudnessText(double figure);

} // namespace velmora
