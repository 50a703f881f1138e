#pragma once

#include "history/EditHistory.h"
#include "history/EditPlan.h"

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>

namespace velmora {

struct Document;

// The edits, one row each, in the order of EditCommand: what the edit
// sequence, the windows and velmora-cli need to offer an edit.  A new edit
// is its body (a plan, and a scaling where it scales samples), a row here,
// its language keys, and its worker and handler in the windows.
struct EditKind {
    EditCommand Command;
    const char* CliStep;   // velmora-cli's step ("--delete"); nullptr where the edit takes options
    const char* CliHelp;   // what that step does, for --help
    const char* MenuItem;  // the Edit menu's item ("MDelete")
    const char* Button;    // the toolbar's button ("ButtonDelete"); nullptr for an edit without one
    // What the edit will do to the working file.
    EditPlan (*Plan)(const Document& doc, const EditRequest& request);
    // How it rescales the samples of a range of rangeFrames frames, or
    // nullptr where it moves bytes or leaves them (a cut, a mute, a gain
    // of 1, a fade too short to step).
    std::shared_ptr<const SampleScaling> (*Scaling)(const EditRequest& request, std::uint32_t rangeFrames,
                                                    std::size_t samplesPerFrame);
    // Where the markers go once the edit has run; nullptr where they stay.
    void (*MarkersAfter)(Document& doc);
    // An empty edit range is refused before anything is touched (its
    // message comes from the plan's run), rather than kept as a step.
    bool RefusesEmptyRange;
};

extern const EditKind EditKinds[std::size(EditCommandNames)];

// The row of command.
const EditKind& EditKindOf(EditCommand command);

// The plan of each of the five edits for the document as it stands.
EditPlan PlanEdit(const Document& doc, const EditRequest& request);

// The scaling request makes of a range of rangeFrames frames (Volume with
// a gain other than 1, the fades of a range not empty); nothing for the
// others.  The history takes steps back with it (a ScalingSource).
std::shared_ptr<const SampleScaling> ScalingFor(const EditRequest& request, std::uint32_t rangeFrames,
                                                std::size_t samplesPerFrame);

// The word of command (its manifest word and language key: "CutOut").
const char* EditName(EditCommand command);

} // namespace velmora
