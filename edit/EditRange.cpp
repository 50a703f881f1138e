#include "EditRange.h"

#include "document/Document.h"
#include "platform/File.h"
#include "platform/UserDialogs.h"

#include <algorithm>

namespace velmora {

EditRange EditRangeOf(const Document& doc)
{
    const auto perColumn = static_cast<std::uint64_t>(doc.FramesPerColumn);
    const auto frameSize = static_cast<std::uint64_t>(doc.FrameSize);
    const std::uint64_t startFrame = doc.SelStart * perColumn;
    const std::uint64_t finishFrame = std::max(doc.SelStart, doc.SelFinish) * perColumn;

    // Markers never lie past the payload; should they, the range stops at
    // its end rather than reach into whatever follows it.
    const std::uint64_t framesInPayload = frameSize == 0 ? 0 : (doc.DataEnd - doc.DataOffset) / frameSize;
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
    doc.DataEnd = newLength;
    doc.DataSize = doc.DataEnd - doc.DataOffset;
    doc.DurationSeconds =
        bytesPerSecond == 0 ? 0 : static_cast<std::uint32_t>(doc.DataSize / bytesPerSecond);
    doc.TotalFrames = doc.DataSize / static_cast<std::uint32_t>(doc.FrameSize);
    doc.ColumnCount = ColumnCountFor(doc.TotalFrames, doc.FramesPerColumn);
    doc.PeakUpper.assign(doc.ColumnCount, 0);
    doc.PeakLower.assign(doc.ColumnCount, 0);
}

} // namespace velmora
