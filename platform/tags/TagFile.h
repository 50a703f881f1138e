#pragma once

#include "Tags.h"

#include <string>

namespace velmora {

// The tags of the file at path, read in the way of the format its
// extension names (".mp3": ID3v2, then ID3v1 and APE; ".wma": ASF
// attributes; ".wav": the id3 chunk, then LIST/INFO): empty for a file
// without any, or one that is not of its format.
Tags ReadTags(const std::string& path);

// Writes tags into the complete file at path as a file of the format the
// extension names (path itself may be a temporary name): ID3v2.4 and
// ID3v1 for ".mp3", ASF attributes for ".wma", LIST/INFO and an id3 chunk
// for ".wav"; other tags the file had are removed.  What the format cannot
// hold is left out (ID3v1 takes no picture or lyrics).  False when the
// file could not be read or written.
bool WriteTags(const std::string& path, const std::string& extension, const Tags& tags);

} // namespace velmora
