// The transport: play, play from here, pause, stop, the two markers, and
// the 100 ms timer that moves the cursor and feeds the displays.

#include "Spectrum.h"
#include "Volume.h"

#include "app/Formmain.h"
#include "document/Units.h"
#include "platform/audio/Bass.h"
#include "ui_Formmain.h"

namespace velmora {

namespace {

QWORD ByteOfColumn(const Document& doc, std::uint32_t column)
{
    return static_cast<QWORD>(ColumnToStreamByte(column, doc.StreamLength, doc.ColumnCount));
}

} // namespace

void TMainForm::CButtonPlayClick()
{
    BASS_ChannelPlay(Doc.Stream, 1);
    UpdateCommandState(psPlaying);
}

void TMainForm::CButtonPlayFromHereClick()
{
    if (Doc.PlayState == psStopped) {
        QWORD position = BASS_ChannelGetPosition(Doc.Stream, BASS_POS_BYTE);
        if (position == 0)
            position = ByteOfColumn(Doc, Doc.SelStart + 1);
        BASS_ChannelSetPosition(Doc.Stream, position, BASS_POS_BYTE);
    } else {
        // Paused on a marker: go on from three columns past it.
        const std::uint32_t column = PlayColumnNow();
        if (column == Doc.SelStart || column == Doc.SelFinish)
            BASS_ChannelSetPosition(Doc.Stream, ByteOfColumn(Doc, column + 3), BASS_POS_BYTE);
    }
    BASS_ChannelPlay(Doc.Stream, 0);
    UpdateCommandState(psPlaying);
}

void TMainForm::CButtonPauseClick()
{
    BASS_ChannelPause(Doc.Stream);
    UpdateCommandState(psPaused);
}

void TMainForm::CButtonStopClick()
{
    BASS_ChannelStop(Doc.Stream);
    BASS_ChannelSetPosition(Doc.Stream, 0, BASS_POS_BYTE);
    UpdateCommandState(psStopped);
    PaintBox1Paint();
}

void TMainForm::CButtonSetStartClick()
{
    const std::uint32_t column = PlayColumnNow();
    if (column >= Doc.SelFinish)
        return;
    Doc.SelStart = column;
    UpdateCommandState(Doc.PlayState);
    PaintBox1Paint();
}

void TMainForm::CButtonSetFinishClick()
{
    const std::uint32_t column = PlayColumnNow();
    if (Doc.SelStart >= column)
        return;
    Doc.SelFinish = column;
    UpdateCommandState(Doc.PlayState);
    PaintBox1Paint();
}

void TMainForm::Timer1Timer()
{
    if (BASS_ChannelIsActive(Doc.Stream) != BASS_ACTIVE_STOPPED) {
        if (Doc.PlayState == psPlaying)
            PaintBox1Paint();
    } else if (Doc.PlayState == psPlaying) {
        CButtonStopClick();  // played to the end
    }

    BASS_ChannelGetData(Doc.Stream, FftData, BASS_DATA_FFT1024);
    if (SpectrumView)
        SpectrumView->Draw(ui_->PaintBox2, FftData, Doc.PlayState);

    const DWORD level = BASS_ChannelGetLevel(Doc.Stream);
    const int left = static_cast<int>((level % 65536) * 100 / 32768);
    const int right = static_cast<int>((level / 65536) * 100 / 32768);
    if (LevelView)
        LevelView->Draw(ui_->PaintBox3, left, right, Doc.PlayState);
}

} // namespace velmora
