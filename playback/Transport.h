#pragma once

#include <cstdint>

class QWidget;

namespace velmora {

class EditorWindow;
class TSpectrum;
class TVolume;
struct Document;

// The two live displays the timer feeds, and the boxes that show them.
struct LiveDisplays {
    TSpectrum* Spectrum = nullptr;
    QWidget* SpectrumBox = nullptr;  // PaintBox2
    TVolume* Level = nullptr;
    QWidget* LevelBox = nullptr;     // PaintBox3
    float* FftData = nullptr;        // 512 values, the spectrum's input
};

// The transport: the playback stream on the working file, play, play from
// here, pause, stop, the two markers, and the 100 ms timer that moves the
// cursor and feeds the displays.  The main window's handlers call it.
class Transport {
public:
    Transport(Document& doc, EditorWindow& window) : doc_(doc), window_(window) {}

    // A new playback stream on the working file, with its length in bytes
    // (no stream and 0 when it cannot be made).
    void CreateStream();
    // Stops and frees the stream; the working file is closed afterwards.
    void ReleaseStream();
    // The Stop command when the stream is playing or paused.
    void StopIfActive();

    void Play();
    void PlayFromHere();
    void Pause();
    void Stop();
    void SetStart();
    void SetFinish();
    // Plays the frames between the markers and stops (the position then
    // back at the start marker); with Loop on, repeats them without a gap
    // until Stop.
    void PlaySelection();
    // Loop on or off; turned on while nothing plays (stopped or paused),
    // it plays the selection; turned off while it repeats, the pass under
    // way is the last.
    void SetLoop(bool loop);
    bool Loop() const { return loop_; }

    // One tick of the 100 ms timer.
    void Tick(const LiveDisplays& displays);

private:
    // A played selection has ended: stopped, the position on the start
    // marker.
    void EndSelection();

    Document& doc_;
    EditorWindow& window_;
    bool loop_ = false;
};

} // namespace velmora
