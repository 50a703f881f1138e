#include "EditRange.h"

#include "document/ColumnPeakScan.h"
#include "document/Document.h"
#include "document/WorkFileFormat.h"
#include "platform/File.h"
#include "platform/UserDialogs.h"

#include <algorithm>

namespace velmora {

EditRange EditRangeOf(const Document& doc)
{
    const auto perColumn = static_cast<std::uint64_t>(doc.FramesPerColumn);
    const auto frameSize = static_cast<std::uint64_t>(doc.FrameSize);
    const std::uint64_t framesInPayload = frameSize == 0 ? 0 : (doc.DataEnd - doc.DataOffset) / frameSize;
    const std::uint64_t startFrame = doc.SelStart * perColumn;
    // The finish marker on the last column takes the range to the end of
    // the audio: its own column's frames could be reached no other way, and
    // Select All would leave them out of every edit.
    const bool toTheEnd = doc.ColumnCount > 0 && doc.SelFinish >= doc.ColumnCount - 1;
    const std::uint64_t finishFrame =
        toTheEnd ? framesInPayload : static_cast<std::uint64_t>(std::max(doc.SelStart, doc.SelFinish)) * perColumn;

    // Markers never lie past the payload; should they, the range stops at
    // its end rather than reach into whatever follows it.
    const std::uint64_t first = std::min(startFrame, framesInPayload);
    const std::uint64_t last = std::min(finishFrame, framesInPayload);

    EditRange range;
    range.StartByte = doc.DataOffset + first * frameSize;
    range.EndByte = doc.DataOffset + last * frameSize;
    range.Frames = static_cast<std::uint32_t>(last - first);
    return range;
}

File OpenForRewrite(const Document& doc, UserDialogs& dialogs)
{
    File file = File::Open(doc.WorkFile, File::Mode::ReadWrite);
    if (!file)
        dialogs.ShowMessage("Cannot open the temporary file.");
    return file;
}

void RecomputeAfterLengthChange(Document& doc, std::uint32_t newLength)
{
    const std::uint64_t bytesPerSecond = static_cast<std::uint64_t>(
                                             static_cast<std::uint32_t>(doc.SampleRate)) *
                                         static_cast<std::uint32_t>(doc.Channels) *
                                         static_cast<std::uint32_t>(doc.BitsPerSample) / 8;
    const std::uint32_t dataSize = newLength - doc.DataOffset;
    SetPayload(doc, doc.DataOffset, dataSize,
               bytesPerSecond == 0 ? 0 : static_cast<std::uint32_t>(dataSize / bytesPerSecond));
    doc.PeakUpper.assign(doc.ColumnCount, 0);
    doc.PeakLower.assign(doc.ColumnCount, 0);
}

EditEnd FailRewrite(File& file, Document& doc, Progress& reloading, UserDialogs& dialogs)
{
    dialogs.ShowMessage("Cannot write the temporary file.");
    WaveHeader header;
    if (ReadWaveHeader(file, header)) {
        // Not even the header reads back: no samples can be trusted.
        header.DataOffset = doc.DataOffset;
        header.DataSize = 0;
        header.DurationSeconds = 0;
    }
    SetPayload(doc, header.DataOffset, header.DataSize, header.DurationSeconds);
    doc.PeakUpper.assign(doc.ColumnCount, 0);
    doc.PeakLower.assign(doc.ColumnCount, 0);
    ScanColumnPeaks(file, doc, doc.PeakUpper, doc.PeakLower, reloading);
    SetMarkers(doc, doc.SelStart, doc.SelFinish);
    return EditEnd::Failed;
}

} // namespace velmora
