#include "Transport.h"

#include "Spectrum.h"
#include "Volume.h"

#include "document/Document.h"
#include "document/EditorWindow.h"
#include "document/Units.h"
#include "document/ViewCommands.h"
#include "platform/audio/Bass.h"

namespace velmora {

namespace {

QWORD ByteOfColumn(const Document& doc, std::uint32_t column)
{
    return static_cast<QWORD>(ColumnToStreamByte(column, doc.StreamLength, doc.ColumnCount));
}

} // namespace

void Transport::CreateStream()
{
    doc_.Stream = BASS_StreamCreateFile(0, doc_.WorkFile.c_str(), 0, 0, 0);
    doc_.StreamLength =
        doc_.Stream != 0 ? static_cast<std::int64_t>(BASS_ChannelGetLength(doc_.Stream, BASS_POS_BYTE)) : 0;
}

void Transport::ReleaseStream()
{
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
    BASS_ChannelPlay(doc_.Stream, 1);
    window_.UpdateCommandState(psPlaying);
}

void Transport::PlayFromHere()
{
    if (doc_.PlayState == psStopped) {
        QWORD position = BASS_ChannelGetPosition(doc_.Stream, BASS_POS_BYTE);
        if (position == 0)
            position = ByteOfColumn(doc_, doc_.SelStart + 1);
        BASS_ChannelSetPosition(doc_.Stream, position, BASS_POS_BYTE);
    } else {
        // Paused on a marker: go on from three columns past it.
        const std::uint32_t column = PlayColumnNow(doc_);
        if (column == doc_.SelStart || column == doc_.SelFinish)
            BASS_ChannelSetPosition(doc_.Stream, ByteOfColumn(doc_, column + 3), BASS_POS_BYTE);
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
    BASS_ChannelStop(doc_.Stream);
    BASS_ChannelSetPosition(doc_.Stream, 0, BASS_POS_BYTE);
    window_.UpdateCommandState(psStopped);
    window_.RepaintView();
}

void Transport::SetStart()
{
    if (!MoveStartMarker(doc_, PlayColumnNow(doc_)))
        return;
    window_.UpdateCommandState(doc_.PlayState);
    window_.RepaintView();
}

void Transport::SetFinish()
{
    if (!MoveFinishMarker(doc_, PlayColumnNow(doc_)))
        return;
    window_.UpdateCommandState(doc_.PlayState);
    window_.RepaintView();
}

void Transport::Tick(const LiveDisplays& displays)
{
    if (BASS_ChannelIsActive(doc_.Stream) != BASS_ACTIVE_STOPPED) {
        if (doc_.PlayState == psPlaying)
            window_.RepaintView();
    } else if (doc_.PlayState == psPlaying) {
        Stop();  // played to the end
    }

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
