#include "Document.h"

#include <algorithm>

namespace velmora {

std::uint32_t ColumnCountFor(std::uint32_t totalFrames, std::int32_t framesPerColumn)
{
    if (framesPerColumn <= 0)
        return 0;
    const auto perColumn = static_cast<std::uint32_t>(framesPerColumn);
    return totalFrames / perColumn + ((totalFrames % perColumn) != 0 ? 1 : 0);
}

ZoomLevel ZoomOf(const Document& doc)
{
    return {doc.FramesPerColumn, doc.PixelsPerColumn};
}

void SetZoom(Document& doc, ZoomLevel zoom)
{
    doc.FramesPerColumn = zoom.FramesPerColumn;
    doc.PixelsPerColumn = zoom.PixelsPerColumn;
    doc.ColumnCount = ColumnCountFor(doc.TotalFrames, doc.FramesPerColumn);
    FollowMarkerFrames(doc);
}

bool KeepsPeakArrays(std::int32_t framesPerColumn)
{
    return framesPerColumn >= ZoomRatioFrames;
}

std::uint32_t PeakColumnsFor(std::uint32_t columnCount, std::int32_t framesPerColumn)
{
    return KeepsPeakArrays(framesPerColumn) ? columnCount : 0;
}

std::uint32_t PeakColumns(const Document& doc)
{
    return PeakColumnsFor(doc.ColumnCount, doc.FramesPerColumn);
}

void SetPayload(Document& doc, std::uint32_t dataOffset, std::uint32_t dataSize, std::uint32_t durationSeconds)
{
    doc.DataOffset = dataOffset;
    doc.DataSize = dataSize;
    doc.DataEnd = dataOffset + dataSize;
    doc.DurationSeconds = durationSeconds;
    doc.TotalFrames = doc.FrameSize > 0 ? doc.DataSize / static_cast<std::uint32_t>(doc.FrameSize) : 0;
    doc.ColumnCount = ColumnCountFor(doc.TotalFrames, doc.FramesPerColumn);
    FollowMarkerFrames(doc);
}

void TakeHeader(Document& doc, const WaveHeader& header)
{
    doc.Channels = header.Channels;
    doc.SampleRate = header.SampleRate;
    doc.BitsPerSample = header.BitsPerSample;
    doc.FrameSize = FrameSizeFor(header.BitsPerSample, header.Channels);
    SetPayload(doc, header.DataOffset, header.DataSize, header.DurationSeconds);
}

WaveHeader HeaderOf(const Document& doc)
{
    return {doc.Channels, doc.SampleRate, doc.BitsPerSample, doc.DataOffset, doc.DataSize, doc.DataEnd,
            doc.DurationSeconds};
}

std::uint32_t LastColumn(const Document& doc)
{
    return doc.ColumnCount == 0 ? 0 : doc.ColumnCount - 1;
}

std::uint32_t ColumnOfFrame(const Document& doc, std::uint64_t frame)
{
    if (doc.FramesPerColumn <= 0)
        return 0;
    const std::uint64_t column = frame / static_cast<std::uint64_t>(doc.FramesPerColumn);
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(column, LastColumn(doc)));
}

void FollowMarkerFrames(Document& doc)
{
    doc.SelFinishFrame = std::min(doc.SelFinishFrame, doc.TotalFrames);
    doc.SelStartFrame = std::min(doc.SelStartFrame, doc.SelFinishFrame);
    doc.SelStart = ColumnOfFrame(doc, doc.SelStartFrame);
    doc.SelFinish = ColumnOfFrame(doc, doc.SelFinishFrame);
}

void SetMarkerFrames(Document& doc, std::uint32_t start, std::uint32_t finish)
{
    doc.SelFinishFrame = finish;
    doc.SelStartFrame = start;
    FollowMarkerFrames(doc);
}

std::uint32_t StartFrameOfColumn(const Document& doc, std::uint32_t column)
{
    const std::uint64_t frame = static_cast<std::uint64_t>(column) * static_cast<std::uint64_t>(std::max(doc.FramesPerColumn, 0));
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(frame, doc.TotalFrames));
}

std::uint32_t FinishFrameOfColumn(const Document& doc, std::uint32_t column)
{
    return column >= LastColumn(doc) ? doc.TotalFrames : StartFrameOfColumn(doc, column);
}

void SetMarkers(Document& doc, std::uint32_t start, std::uint32_t finish)
{
    const std::uint32_t finishColumn = std::min(finish, LastColumn(doc));
    const std::uint32_t startColumn = std::min(start, finishColumn);
    SetMarkerFrames(doc, StartFrameOfColumn(doc, startColumn), FinishFrameOfColumn(doc, finishColumn));
}

bool MoveStartMarker(Document& doc, std::uint32_t frame)
{
    if (frame >= doc.SelFinishFrame)
        return false;
    SetMarkerFrames(doc, frame, doc.SelFinishFrame);
    return true;
}

bool MoveFinishMarker(Document& doc, std::uint32_t frame)
{
    if (doc.SelStartFrame >= frame)
        return false;
    SetMarkerFrames(doc, doc.SelStartFrame, frame);
    return true;
}

void SelectAll(Document& doc)
{
    SetMarkerFrames(doc, 0, doc.TotalFrames);
}

void SetMetadata(Document& doc, Tags tags)
{
    if (tags == doc.Metadata)
        return;
    doc.Metadata = std::move(tags);
    doc.MetadataChanged = true;
    doc.MetadataKept = false;
    doc.MetadataUnsaved = true;
    doc.Modified = true;
}

void ResetToNoDocument(Document& doc)
{
    doc.Metadata = {};
    doc.MetadataChanged = false;
    doc.MetadataKept = false;
    doc.MetadataUnsaved = false;
    doc.DocumentOpen = false;
    doc.WorkFile.clear();
    doc.SourceFile.clear();
    doc.FramesPerColumn = DefaultFramesPerColumn;
    doc.PixelsPerColumn = 1;
    doc.Modified = false;
    doc.SelStartFrame = 0;
    doc.SelFinishFrame = 0;
    doc.SelStart = 0;
    doc.SelFinish = 0;
    doc.Stream = 0;
}

} // namespace velmora
