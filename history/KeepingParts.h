#pragma once

// What the ways of keeping a step share (Keeping.cpp and the Kept*.cpp
// files); no one else includes it.

#include "EditBody.h"
#include "EditHistory.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

namespace velmora {

class IniFile;

// Bytes the journal takes for peaks of columns columns (both rows).
inline std::uint64_t PeakBytes(std::uint32_t columns)
{
    return 2ull * columns * sizeof(std::int16_t);
}

// Bytes of a block of a move that must survive being cut off: never longer
// than the distance moved (platform/ByteMoves.h).
inline std::size_t KeptMoveBlockBytes(std::uint64_t distance)
{
    return static_cast<std::size_t>(std::clamp<std::uint64_t>(distance, 1, EditBlockBytes));
}

// The whole old file a step keeps, in history's folder.
inline std::string WholeFilePath(const EditHistory& history, const UndoStep& step)
{
    return history.Folder() + step.WholeFileName;
}

// A whole number the manifest's section holds under key (0 when none).
std::uint64_t ManifestNumber(const IniFile& manifest, const std::string& section, const char* key);

// The three ways of keeping that keep something.
const class Keeping& PiecesKeeping();
const class Keeping& RemaindersKeeping();
const class Keeping& WholeFileKeeping();

} // namespace velmora
