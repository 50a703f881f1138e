#include "LoadWorkFile.h"

#include "ColumnPeakScan.h"
#include "Document.h"

#include "import/WorkFileFormat.h"
#include "platform/File.h"
#include "platform/UserDialogs.h"

namespace velmora {

bool LoadWorkFile(Document& doc, Progress& loading, UserDialogs& dialogs)
{
    File file = File::Open(doc.WorkFile, File::Mode::Read);
    if (!file) {
        dialogs.ShowMessage("Cannot open the file.");
        return false;
    }

    WaveHeader header{doc.Channels,   doc.SampleRate, doc.BitsPerSample,  doc.DataOffset,
                      doc.DataSize,   doc.DataEnd,    doc.DurationSeconds};
    const auto refusal = ReadWaveHeader(file, header);
    doc.Channels = header.Channels;
    doc.SampleRate = header.SampleRate;
    doc.BitsPerSample = header.BitsPerSample;
    doc.DataOffset = header.DataOffset;
    doc.DataSize = header.DataSize;
    doc.DataEnd = header.DataEnd;
    doc.DurationSeconds = header.DurationSeconds;
    if (refusal) {
        dialogs.ShowMessage(*refusal);
        return false;
    }

    doc.FrameSize = FrameSizeFor(doc.BitsPerSample, doc.Channels);
    doc.TotalFrames = doc.DataSize / static_cast<std::uint32_t>(doc.FrameSize);
    if (doc.TotalFrames == 0) {
        // Nothing in the editor can work on a document without frames.
        dialogs.ShowMessage("No audio data found in the file.");
        return false;
    }

    doc.ColumnCount = ColumnCountFor(doc.TotalFrames, doc.FramesPerColumn);
    doc.PeakUpper.assign(doc.ColumnCount, 0);
    doc.PeakLower.assign(doc.ColumnCount, 0);
    ScanColumnPeaks(file, doc, doc.PeakUpper, doc.PeakLower, loading);
    return true;
}

} // namespace velmora
