#include "LoadWorkFile.h"

#include "ColumnPeakScan.h"
#include "Document.h"

#include "WorkFileFormat.h"
#include "platform/File.h"
#include "platform/Progress.h"
#include "platform/ProgressMeter.h"
#include "platform/UserDialogs.h"

namespace velmora {

EarlyPeakScan::EarlyPeakScan(const std::string& path, std::int32_t framesPerColumn)
{
    scan_ = std::async(std::launch::async, [path, framesPerColumn]() -> std::optional<Peaks> {
        File file = File::Open(path, File::Mode::Read);
        WaveHeader header;
        if (!file || ReadWaveHeader(file, header))
            return std::nullopt;
        Document doc;
        doc.FramesPerColumn = framesPerColumn;
        TakeHeader(doc, header);
        Peaks peaks{header, framesPerColumn, {}, {}};
        peaks.Upper.assign(PeakColumns(doc), 0);
        peaks.Lower.assign(PeakColumns(doc), 0);
        NullProgress none;
        ScanColumnPeaks(file, doc, peaks.Upper, peaks.Lower, none);
        return peaks;
    });
}

EarlyPeakScan::~EarlyPeakScan() = default;  // (the future waits for the scan)

bool EarlyPeakScan::GiveTo(Document& doc)
{
    if (!scan_.valid())
        return false;
    std::optional<Peaks> peaks = scan_.get();
    if (!peaks || !(peaks->Header == HeaderOf(doc)) || peaks->FramesPerColumn != doc.FramesPerColumn)
        return false;
    doc.PeakUpper = std::move(peaks->Upper);
    doc.PeakLower = std::move(peaks->Lower);
    return true;
}

bool LoadWorkFile(Document& doc, Progress& loading, UserDialogs& dialogs, EarlyPeakScan* early, Empty empty)
{
    File file = File::Open(doc.WorkFile, File::Mode::Read);
    if (!file) {
        dialogs.ShowMessage("Cannot open the file.");
        return false;
    }

    WaveHeader header{doc.Channels,   doc.SampleRate, doc.BitsPerSample,  doc.DataOffset,
                      doc.DataSize,   doc.DataEnd,    doc.DurationSeconds};
    const auto refusal = ReadWaveHeader(file, header);
    TakeHeader(doc, header);
    if (refusal) {
        dialogs.ShowMessage(*refusal);
        return false;
    }

    if (doc.TotalFrames == 0 && empty == Empty::IsRefused) {
        // A file without frames is no audio to open; a document whose edits
        // took every frame is still one, with Undo.
        dialogs.ShowMessage("No audio data found in the file.");
        return false;
    }

    if (early != nullptr && early->GiveTo(doc)) {
        ProgressMeter(loading).Report(100);
        return true;
    }
    doc.PeakUpper.assign(PeakColumns(doc), 0);
    doc.PeakLower.assign(PeakColumns(doc), 0);
    ScanColumnPeaks(file, doc, doc.PeakUpper, doc.PeakLower, loading);
    return true;
}

} // namespace velmora
