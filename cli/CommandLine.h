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
        SelectAll,
        Delete,
        CutOut,
        Volume,     // Value: percentage
        Mute,
        FadeIn,
        FadeOut,
        Info,
        Peaks,
        Save,       // Path: the output file
        Bitrate,    // Value: kbit/s for the next encoded saves
    };
    explicit Step(Kind what, std::int64_t value = 0, std::int64_t value2 = 0)
        : What(what), Value(value), Value2(value2)
    {
    }

    Kind What;
    std::int64_t Value = 0;
    std::int64_t Value2 = 0;
    std::string Path;
};

struct CommandLine {
    bool Help = false;
    std::string Input;
    std::vector<Step> Steps;
};

// Parses the arguments after the program name.  Returns the parsed command
// line, or nullopt with error set to a one-line description.
std::optional<CommandLine> ParseCommandLine(const std::vector<std::string>& args,
                                            std::string& error);

// The usage text printed for --help and after a usage error.
const char* UsageText();

} // namespace velmora::cli
