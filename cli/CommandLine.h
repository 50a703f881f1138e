#pragma once

#include "history/EditHistory.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace velmora::cli {

// The values steps take, each in its own unit.
struct ColumnPair {
    std::uint32_t Start = 0, Finish = 0;  // columns
};
struct FramePair {
    std::uint32_t Start = 0, Finish = 0;  // frames
};
struct TypedTime {
    double Seconds = 0;
    std::string Text;  // as typed, for messages
};
struct Decibels {
    double Value = 0;  // dB (a gain) or dBFS (a peak)
};
struct Lufs {
    double Value = 0;
};
struct VorbisQuality {
    double Value = 0;  // -1 to 10
};
struct Kbps {
    std::int32_t Value = 0;  // 0: the default
};
struct Percent {
    int Value = 0;
};
struct ZoomFrames {
    std::int32_t FramesPerColumn = 0;
};
struct OutputFile {
    std::string Path;
};
struct TagValue {
    std::size_t Field = 0;  // its row in TagFields
    std::string Text;
};
using StepValue = std::variant<std::monostate, EditCommand, FadeShape, ColumnPair, FramePair, TypedTime, Decibels,
                               Lufs, VorbisQuality, Kbps, Percent, ZoomFrames, OutputFile, TagValue>;

// One step of a velmora-cli run, in the order given.
struct Step {
    enum class Kind {
        Zoom,       // ZoomFrames
        Markers,    // ColumnPair
        Frames,     // FramePair
        SelectAll,
        Edit,       // EditCommand: an edit without options (--delete ...)
        Volume,     // Percent
        Mute,
        Info,
        Peaks,
        Save,       // OutputFile
        Bitrate,    // Kbps, for the next encoded saves
        Quality,    // VorbisQuality, of the next Ogg saves
        From,       // TypedTime: the start marker's
        To,         // TypedTime: the finish marker's
        Undo,       // the last edit taken back
        Redo,       // the last undone edit done again
        NoUndo,     // later edits are not kept for Undo
        Tags,       // the document's tags printed
        Loudness,   // the edit range's loudness printed
        NormalizePeak,      // Decibels: the target sample peak, dBFS
        NormalizeLoudness,  // Lufs: the target integrated loudness
        GainDb,     // Decibels: the gain
        FadeShape,  // FadeShape of later fades
        CleanJoins, // later cuts join at zero crossings (or crossfade)
        Tag,        // TagValue
    };

    Kind What;
    StepValue Value;
    std::string Option;  // as the user wrote it ("--fade-in"), for messages

    // The value, of the type its kind takes.
    template <typename T>
    const T& As() const
    {
        return std::get<T>(Value);
    }
};

struct CommandLine {
    bool Help = false;
    bool Version = false;
    bool Times = false;  // the open's and each step's wall time to stderr
    std::string Input;
    std::vector<Step> Steps;
};

// Reads the arguments after the program name, each step by its row in the
// table of options.  Returns the command line, or nullopt with error set
// to a one-line description.
std::optional<CommandLine> ReadCommandLine(const std::vector<std::string>& args, std::string& error);

// The text --help prints (also the source of the manual page).
const char* UsageText();

// What --version prints.
const char* VersionText();

} // namespace velmora::cli
