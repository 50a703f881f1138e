#pragma once

#include "history/EditPlan.h"

#include "history/EditHistory.h"

#include <cstdint>

namespace velmora {

class File;
struct Document;

// How far each cut point of a clean join may move, and how long its
// crossfade runs where it cannot move: 5 ms, in frames.
std::uint32_t JoinFrames(std::uint32_t sampleRate);

// Delete or Cut Out of range (the edit range, or whatever range the caller
// cuts) with clean joins, read from file as it stands now.
//
// Each cut point moves, within 5 ms, next to a zero crossing of the first
// channel, both points of a join next to crossings going the same way, so
// that the join continues the waveform: of all such pairs the one whose
// step across the join is most like the steps on either side of it, and
// in no channel larger than the largest step of the samples around the
// join.  Delete joins what was before the range to what was after it
// (or to silence, at either end of the file); Cut Out's piece ends where
// it begins, as if it were played again from its start, so both its ends
// lie at crossings.
//
// Where no pair does, the points stay and the join is crossfaded over
// 5 ms with equal power: Delete mixes the last 5 ms before the range into
// the last 5 ms of it, so the length is that of the plain cut; Cut Out's
// piece fades in and out, meeting silence at both ends.  Those samples
// come back as the plan's patches.
//
// What cannot be read is cut plainly, as without clean joins.
EditPlan CleanCutOf(File& file, const Document& doc, EditCommand command, const EditRange& range);

} // namespace velmora
