#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velmora::cli {

// One step of a velmora-cli run, in the order given.
struct Step {
    enum class Kind {
        Zoom,       // Value: frames per column
        Markers,    // Value: start column, Value2: finish column
        Frames,     // Value: start frame, Value2: finish frame
        SelectAll,
        Edit,       // Value: the EditCommand of an edit without options (--delete ...)
        Volume,     // Value: percentage
        Mute,
        Info,
        Peaks,
        Save,       // Path: the output file
        Bitrate,    // Value: kbit/s for the next encoded saves
        Quality,    // Seconds: the Vorbis quality of the next Ogg saves
        From,       // Seconds: the start marker's time
        To,         // Seconds: the finish marker's time
        Undo,       // the last edit taken back
        Redo,       // the last undone edit done again
        NoUndo,     // later edits are not kept for Undo
        Tags,       // the document's tags printed
        Loudness,   // the edit range's loudness printed
        NormalizePeak,      // Seconds: the target sample peak, dBFS
        NormalizeLoudness,  // Seconds: the target integrated loudness, LUFS
        GainDb,     // Seconds: the gain in dB
        FadeShape,  // Value: the FadeShape of later fades
        CleanJoins, // later cuts join at zero crossings (or crossfade)
        Tag,        // Value: the field's row in TagFields, Path: its new text
    };
    explicit Step(Kind what, std::int64_t value = 0, std::int64_t value2 = 0)
        : What(what), Value(value), Value2(value2)
    {
    }

    Kind What;
    std::int64_t Value = 0;
    std::int64_t Value2 = 0;
    double Seconds = 0;
    std::string Path;    // Save: the output file; From, To: the time as typed
    std::string Option;  // as the user wrote it ("--fade-in"), for messages
};

struct CommandLine {
    bool Help = false;
    bool Version = false;
    bool Times = false;  // the open's and each step's wall time to stderr
    std::string Input;
    std::vector<Step> Steps;
};

// Parses the arguments after the program name.  Returns the parsed command
// line, or nullopt with error set to a one-line description.
std::optional<CommandLine> ParseCommandLine(const std::vector<std::string>& args,
                                            std::string& error);

// The text --help prints (also the source of the manual page).
const char* UsageText();

// What --version prints.
const char* VersionText();

} // namespace velmora::cli
