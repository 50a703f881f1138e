#include "Transport.h"

#include "Spectrum.h"
#include "Volume.h"

#include "document/Document.h"
#include "document/EditorWindow.h"
#include "document/Units.h"
#include "document/ViewCommands.h"
#include "platform/audio/Bass.h"

namespace velmora {

void Transport::CreateStream()
{
    doc_.Stream = BASS_StreamCreateFile(0, doc_.WorkFile.c_str(), 0, 0, 0);
    doc_.StreamLength =
        doc_.Stream != 0 ? static_cast<std::int64_t>(BASS_ChannelGetLength(doc_.Stream, BASS_POS_BYTE)) : 0;
}

void Transport::ReleaseStream()
{
    doc_.PlaysSelection = false;
    BASS_StreamFree(doc_.Stream);
    doc_.Stream = 0;
}

void Transport::StopIfActive()
{
    if (BASS_ChannelIsActive(doc_.Stream) != BASS_ACTIVE_STOPPED)
        Stop();
}

void Transport::Play()
{
    doc_.PlaysSelection = false;
    BASS_ChannelPlay(doc_.Stream, 1);
    window_.UpdateCommandState(psPlaying);
}

void Transport::PlayFromHere()
{
    if (doc_.PlayState == psStopped) {
        doc_.PlaysSelection = false;
        const std::uint32_t frame = PlayFrameNow(doc_);
        SeekStream(doc_, frame != 0 ? frame : StartFrameOfColumn(doc_, doc_.SelStart + 1));
    } else if (!doc_.PlaysSelection) {
        // Paused on a marker: go on from three columns past it.
        const std::uint32_t column = PlayColumnNow(doc_);
        if (column == doc_.SelStart || column == doc_.SelFinish)
            SeekStream(doc_, StartFrameOfColumn(doc_, column + 3));
    }
    BASS_ChannelPlay(doc_.Stream, 0);
    window_.UpdateCommandState(psPlaying);
}

void Transport::Pause()
{
    BASS_ChannelPause(doc_.Stream);
    window_.UpdateCommandState(psPaused);
}

void Transport::Stop()
{
    doc_.PlaysSelection = false;
    BASS_ChannelStop(doc_.Stream);
    BASS_ChannelSetPosition(doc_.Stream, 0, BASS_POS_BYTE);
    window_.UpdateCommandState(psStopped);
    window_.RepaintView();
}

void Transport::SetStart()
{
    if (!MoveStartMarker(doc_, PlayFrameNow(doc_)))
        return;
    window_.UpdateCommandState(doc_.PlayState);
    window_.RepaintView();
}

void Transport::SetFinish()
{
    // On the last column, as the column rules have it, the end of the audio.
    const std::uint32_t frame = PlayColumnNow(doc_) == LastColumn(doc_) ? doc_.TotalFrames : PlayFrameNow(doc_);
    if (!MoveFinishMarker(doc_, frame))
        return;
    window_.UpdateCommandState(doc_.PlayState);
    window_.RepaintView();
}

void Transport::PlaySelection()
{
    if (doc_.Stream == 0 || doc_.SelFinishFrame <= doc_.SelStartFrame)
        return;
    const auto frameSize = static_cast<QWORD>(doc_.FrameSize);
    if (!VelmoraChannelPlayRange(doc_.Stream, doc_.SelStartFrame * frameSize, doc_.SelFinishFrame * frameSize,
                                 loop_ ? 1 : 0))
        return;
    doc_.PlaysSelection = true;
    window_.UpdateCommandState(psPlaying);
}

void Transport::SetLoop(bool loop)
{
    loop_ = loop;
    if (doc_.PlaysSelection)
        VelmoraChannelSetLoop(doc_.Stream, loop ? 1 : 0);  // playing or paused in it
    if (loop && !doc_.PlaysSelection && doc_.PlayState != psPlaying && doc_.PlayState != psNoDocument)
        PlaySelection();
}

void Transport::EndSelection()
{
    doc_.PlaysSelection = false;
    BASS_ChannelStop(doc_.Stream);
    SeekStream(doc_, doc_.SelStartFrame);
    window_.UpdateCommandState(psStopped);
    window_.RepaintView();
}

void Transport::Tick(const LiveDisplays& displays)
{
    if (BASS_ChannelIsActive(doc_.Stream) != BASS_ACTIVE_STOPPED) {
        if (doc_.PlayState == psPlaying)
            window_.RepaintView();
    } else if (doc_.PlayState == psPlaying) {
        if (doc_.PlaysSelection && loop_)
            PlaySelection();  // Loop turned on once the last pass was on its way
        else if (doc_.PlaysSelection)
            EndSelection();
        else
            Stop();  // played to the end
    }
    // A click elsewhere lets the played part go: playing goes on from there.
    if (doc_.PlaysSelection && VelmoraChannelPlaysRange(doc_.Stream) == 0)
        doc_.PlaysSelection = false;

    BASS_ChannelGetData(doc_.Stream, displays.FftData, BASS_DATA_FFT1024);
    if (displays.Spectrum != nullptr)
        displays.Spectrum->Draw(displays.SpectrumBox, displays.FftData, doc_.PlayState);

    const DWORD level = BASS_ChannelGetLevel(doc_.Stream);
    const int left = static_cast<int>((level % 65536) * 100 / 32768);
    const int right = static_cast<int>((level / 65536) * 100 / 32768);
    if (displays.Level != nullptr)
        displays.Level->Draw(displays.LevelBox, left, right, doc_.PlayState);
}

} // namespace velmora
