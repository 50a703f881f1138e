#pragma once

#include "Tags.h"

#include <string>

namespace velmora {

// The tags of the file at path, read in the way of the format its
// extension names (".mp3": ID3v2, then ID3v1 and APE; ".wma": ASF
// attributes; ".wav": the id3 chunk, then LIST/INFO; ".flac": the Vorbis
// comment and the picture blocks, then ID3; ".ogg", ".oga" and ".opus":
// the Vorbis comment, pictures and all; ".m4a": the iTunes items and the
// "covr" picture; ".aiff" and ".aif": the id3 chunk): empty for a file
// without any, or one that is not of its format (an ".aac" has none).
Tags ReadTags(const std::string& path);

// Writes tags into the complete file at path as a file of the format the
// extension names (path itself may be a temporary name): ID3v2.4 and
// ID3v1 for ".mp3", ASF attributes for ".wma", LIST/INFO and an id3 chunk
// for ".wav", a Vorbis comment and a picture block for ".flac", a Vorbis
// comment holding the picture as well for ".ogg", ".oga" and ".opus",
// iTunes items for ".m4a"; other tags the file had are removed.  What the
// format cannot hold is left out (ID3v1 takes no picture or lyrics, M4A no
// picture description).  A file of another format is left as it is.
// False when the file could not be read or written.
bool WriteTags(const std::string& path, const std::string& extension, const Tags& tags);

} // namespace velmora
