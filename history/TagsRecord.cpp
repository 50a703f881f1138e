#include "TagsRecord.h"

#include "document/Document.h"

#include "platform/ByteOrder.h"
#include "platform/File.h"
#include "platform/PathText.h"

#include <cstdio>

namespace velmora {

namespace {

constexpr char Magic[] = "VelmoraTags1\n";
// A cover is a picture, not a film: anything larger is no record of ours.
constexpr std::uint64_t MostBytes = 64u << 20;

void PutField(std::string& out, const std::string& value)
{
    unsigned char size[4];
    PutU32LE(size, static_cast<std::uint32_t>(value.size()));
    out.append(reinterpret_cast<const char*>(size), 4);
    out += value;
}

bool TakeField(const std::string& in, std::size_t& at, std::string& value)
{
    if (in.size() - at < 4)
        return false;
    const std::uint32_t size = GetU32LE(reinterpret_cast<const unsigned char*>(in.data() + at));
    at += 4;
    if (in.size() - at < size)
        return false;
    value.assign(in, at, size);
    at += size;
    return true;
}

} // namespace

std::string TagsRecordText(const Tags& tags)
{
    std::string out = Magic;
    for (const TagField& field : TagFields)
        PutField(out, tags.*field.Member);
    PutField(out, tags.Cover.MimeType);
    PutField(out, tags.Cover.Description);
    PutField(out, std::string(tags.Cover.Data.begin(), tags.Cover.Data.end()));
    return out;
}

std::optional<Tags> ParseTagsRecord(const std::string& bytes)
{
    if (bytes.compare(0, sizeof Magic - 1, Magic) != 0)
        return std::nullopt;
    Tags tags;
    std::size_t at = sizeof Magic - 1;
    std::string picture;
    for (const TagField& field : TagFields) {
        if (!TakeField(bytes, at, tags.*field.Member))
            return std::nullopt;
    }
    if (!TakeField(bytes, at, tags.Cover.MimeType) || !TakeField(bytes, at, tags.Cover.Description) ||
        !TakeField(bytes, at, picture) || at != bytes.size())
        return std::nullopt;
    tags.Cover.Data.assign(picture.begin(), picture.end());
    return tags;
}

bool KeepTagsRecord(Document& doc)
{
    if (doc.TempFolder.empty())
        return true;
    const std::string path = doc.TempFolder + TagsRecordName;
    if (!doc.DocumentOpen || doc.Metadata.Empty()) {
        RemoveFileIfExists(path);
        doc.MetadataKept = doc.DocumentOpen;
        return true;
    }
    if (doc.MetadataKept)
        return true;
    if (!ReplaceFileContent(path, TagsRecordText(doc.Metadata)))
        return false;
    doc.MetadataKept = true;
    return true;
}

Tags ReadTagsRecord(const std::string& folder)
{
    const std::optional<std::string> bytes = ReadSmallFile(folder + TagsRecordName, MostBytes);
    if (!bytes)
        return {};
    return ParseTagsRecord(*bytes).value_or(Tags{});
}

} // namespace velmora
