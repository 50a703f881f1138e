#pragma once

#include "platform/tags/Tags.h"

#include <optional>
#include <string>

namespace velmora {

struct Document;

// The document's tags in the private folder, beside the manifest, so that
// a document taken up again after a kill keeps what the user had.
inline constexpr const char* TagsRecordName = "tags.bin";

// The record's bytes for tags, and tags from them (nullopt for bytes that
// are no record: cut short, or of another kind).
std::string TagsRecordText(const Tags& tags);
std::optional<Tags> ParseTagsRecord(const std::string& bytes);

// Brings the record in folder up to date with the document: written (in
// full, under a second name first) when the tags changed since it was last
// written, removed once no document is open.  False when it could not be
// written.
bool KeepTagsRecord(Document& doc);

// The record in folder; empty tags when there is none or it is damaged.
Tags ReadTagsRecord(const std::string& folder);

} // namespace velmora
