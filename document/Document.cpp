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

void SetPayload(Document& doc, std::uint32_t dataOffset, std::uint32_t dataSize, std::uint32_t durationSeconds)
{
    doc.DataOffset = dataOffset;
    doc.DataSize = dataSize;
    doc.DataEnd = dataOffset + dataSize;
    doc.DurationSeconds = durationSeconds;
    doc.TotalFrames = doc.FrameSize > 0 ? doc.DataSize / static_cast<std::uint32_t>(doc.FrameSize) : 0;
    doc.ColumnCount = ColumnCountFor(doc.TotalFrames, doc.FramesPerColumn);
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

void SetMarkers(Document& doc, std::uint32_t start, std::uint32_t finish)
{
    doc.SelFinish = std::min(finish, LastColumn(doc));
    doc.SelStart = std::min(start, doc.SelFinish);
}

bool MoveStartMarker(Document& doc, std::uint32_t column)
{
    if (column >= doc.SelFinish)
        return false;
    doc.SelStart = column;
    return true;
}

bool MoveFinishMarker(Document& doc, std::uint32_t column)
{
    if (doc.SelStart >= column)
        return false;
    doc.SelFinish = column;
    return true;
}

DocumentShape ShapeOf(const Document& doc)
{
    return {doc.DataOffset,      doc.DataSize,    doc.DataEnd,  doc.DurationSeconds, doc.TotalFrames,
            doc.FramesPerColumn, doc.ColumnCount, doc.SelStart, doc.SelFinish};
}

void SelectAll(Document& doc)
{
    SetMarkers(doc, 0, LastColumn(doc));
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
    doc.Modified = false;
    doc.History.Clear();
    doc.SelStart = 0;
    doc.SelFinish = 0;
    doc.Stream = 0;
}

} // namespace velmora
