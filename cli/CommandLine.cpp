#include "CommandLine.h"

#include "document/Document.h"
#include "platform/FileFormats.h"
#include "document/Units.h"

#include "document/Zoom.h"
#include "edit/EditKinds.h"
#include "edit/VolumeChange.h"
#include "platform/tags/Tags.h"

#include <algorithm>
#include <charconv>
#include <iterator>
#include <utility>

namespace velmora::cli {

namespace {

bool ParseInteger(const std::string& text, std::int64_t& value)
{
    const char* first = text.data();
    const char* last = text.data() + text.size();
    const auto [end, error] = std::from_chars(first, last, value);
    return error == std::errc() && end == last && !text.empty();
}

// The edit whose velmora-cli step is arg, or nullptr.
const EditKind* EditWithStep(const std::string& arg)
{
    for (const EditKind& edit : EditKinds) {
        if (edit.CliStep != nullptr && arg == edit.CliStep)
            return &edit;
    }
    return nullptr;
}

// A decimal number, the whole text of it ("-16", "-0.5", "+6"); false for
// anything else.
bool ParseDecimal(const std::string& text, double& value)
{
    // from_chars takes no plus sign; one before the digits means what it says.
    const char* first = text.data() + (text.size() > 1 && text[0] == '+' && text[1] != '-' ? 1 : 0);
    const char* last = text.data() + text.size();
    const auto [end, error] = std::from_chars(first, last, value);
    return error == std::errc() && end == last && first != last;
}

// "S:F": two whole numbers of at most 32 bits.
bool ParsePair(const std::string& text, std::int64_t& start, std::int64_t& finish)
{
    const std::size_t colon = text.find(':');
    return colon != std::string::npos && ParseInteger(text.substr(0, colon), start) &&
           ParseInteger(text.substr(colon + 1), finish) && start >= 0 && finish >= 0 && start <= 0xFFFFFFFFLL &&
           finish <= 0xFFFFFFFFLL;
}

// "title, artist, ...": the fields --tag sets.
std::string TagFieldNamesText()
{
    std::string names;
    for (const TagField& field : TagFields) {
        if (field.OnCommandLine)
            names += (names.empty() ? "" : ", ") + std::string(field.Name);
    }
    return names;
}

// The --help lines of the edit steps from first to last (the end of the
// table: edits added after the fades), in the table's
// order: "  --delete          remove the frames ...".
std::string EditStepsHelp(EditCommand first, EditCommand last = EditKinds[std::size(EditKinds) - 1].Command)
{
    std::string lines;
    for (const EditKind& edit : EditKinds) {
        if (edit.CliStep == nullptr || edit.Command < first || edit.Command > last)
            continue;
        std::string step = edit.CliStep;
        step.resize(std::max<std::size_t>(step.size() + 1, 18), ' ');
        lines += "  " + step + edit.CliHelp + "\n";
    }
    return lines;
}

} // namespace

const char* UsageText()
{
    // The zoom ratios and the volume percentages from their one lists.
    static const std::string text = std::string("Usage: velmora-cli INPUT [STEP ...]\n"
           "Edit an audio file from the command line.\n"
           "\n"
           "Opens INPUT as the editor does, runs the steps in order on the working\n"
           "copy, then discards the working copy.\n"
           "INPUT: ") + ExtensionsText(false) + "\n" + std::string(
           "\n"
           "Steps:\n"
           "  --zoom R          frames per column R x 1000, R in ") + ZoomRatiosText() + "\n" +
           std::string(
           "                    (the markers keep their frames)\n"
           "  --markers S:F     start and finish markers at columns S and F\n"
           "  --frames S:F      start and finish markers at frames S and F (F may be\n"
           "                    the length: the end)\n"
           "  --from T          the start marker at time T: seconds, M:S or H:M:S,\n"
           "                    with a fraction (90.5, 1:30.5), on the nearest frame\n"
           "  --to T            the finish marker at time T\n"
           "  --select-all      markers on the whole file\n"
           ) + EditStepsHelp(EditCommand::Delete, EditCommand::CutOut) +
           "  --clean-joins     later cuts move each point within 5 ms to a zero\n"
           "                    crossing, or crossfade the join over 5 ms\n" +
           "  --volume P        scale them by P percent (" + VolumePercentsText(" ") + ")\n" +
           "  --mute            silence them\n" +
           "  --gain-db G       scale them by G dB, -60 to 20, clamped as --volume\n" +
           EditStepsHelp(EditCommand::FadeIn) +
           "  --fade-shape S    later fades run linear (as always), log, exp or scurve\n" +
           std::string(
           "  --undo            take the last edit back (markers and all)\n"
           "  --redo            do the last undone edit again\n"
           "  --no-undo         keep later edits from the journal: no undo, no\n"
           "                    copy of the bytes they change\n"
           "  --info            print the document as Name=value lines\n"
           "  --peaks           print the column peaks: index upper lower\n"
           "  --loudness        print the loudness of the frames between the markers\n"
           "                    (EBU R 128) as Loudness.Name=value lines\n"
           "  --normalize-peak D\n"
           "                    scale them so that their peak is D dBFS (-1.0)\n"
           "  --normalize-loudness L\n"
           "                    scale them to an integrated loudness of L LUFS (-16.0);\n"
           "                    refused where the true peak would pass -1 dBTP\n"
           "  --tags            print the tags the input came with as Tag.Name=value\n"
           "                    lines, one for each it has\n"
           "  --tag F=V         set tag F to V for later saves; F is one of\n"
           "                    ") + TagFieldNamesText() + "\n" + std::string(
           "  --bitrate K       encode later MP3, WMA and Opus saves at K kbit/s\n"
           "  --quality Q       encode later Ogg Vorbis saves at quality Q, -1 to 10 (5)\n"
           "  --save OUTPUT     write the edited audio to OUTPUT, encoded for\n"
           "                    ") + ExtensionsText(true) + ";\n" + std::string(
           "                    any other name gets the WAV working file;\n"
           "                    the tags go along in the format's own way\n"
           "\n"
           "Options:\n"
           "  --times           print how long the open and each step took, on\n"
           "                    stderr: 'velmora-cli: step N took S s' (N 0: the open)\n"
           "  --help            print this text\n"
           "  --version         print the program's version\n"
           "\n"
           "Exit status: 0 success, 1 refused (the reason on stderr), 2 usage error.\n");
    return text.c_str();
}

const char* VersionText()
{
    return "velmora-cli " VELMORA_VERSION "\n";
}

namespace {

// Reads an option's operand into a step's value; false, with error set to
// what the option takes, when text is not one.
using ValueReader = bool (*)(const std::string& option, const std::string& text, StepValue& value,
                             std::string& error);

bool ReadZoom(const std::string&, const std::string& text, StepValue& value, std::string& error)
{
    std::int64_t ratio = 0;
    if (!ParseInteger(text, ratio) || ratio < 1 || ratio > CoarsestZoom / ZoomRatioFrames ||
        !IsZoomStep(static_cast<std::int32_t>(ratio * ZoomRatioFrames))) {
        error = "--zoom takes one of " + ZoomRatiosText();
        return false;
    }
    value = ZoomFrames{static_cast<std::int32_t>(ratio * ZoomRatioFrames)};
    return true;
}

bool ReadColumns(const std::string& option, const std::string& text, StepValue& value, std::string& error)
{
    std::int64_t start = 0, finish = 0;
    if (!ParsePair(text, start, finish)) {
        error = option + " takes two column numbers as S:F";
        return false;
    }
    value = ColumnPair{static_cast<std::uint32_t>(start), static_cast<std::uint32_t>(finish)};
    return true;
}

bool ReadFrames(const std::string& option, const std::string& text, StepValue& value, std::string& error)
{
    std::int64_t start = 0, finish = 0;
    if (!ParsePair(text, start, finish)) {
        error = option + " takes two frame numbers as S:F";
        return false;
    }
    value = FramePair{static_cast<std::uint32_t>(start), static_cast<std::uint32_t>(finish)};
    return true;
}

bool ReadTime(const std::string& option, const std::string& text, StepValue& value, std::string& error)
{
    const std::optional<double> seconds = ParseTimeText(text);
    if (!seconds) {
        error = option + " takes a time: seconds, M:S or H:M:S";
        return false;
    }
    value = TypedTime{*seconds, text};
    return true;
}

bool ReadVolume(const std::string&, const std::string& text, StepValue& value, std::string& error)
{
    std::int64_t percent = 0;
    if (!ParseInteger(text, percent) || percent < 25 || percent > 250 || !GainForPercent(static_cast<int>(percent))) {
        error = "--volume takes one of " + VolumePercentsText(", ");
        return false;
    }
    value = Percent{static_cast<int>(percent)};
    return true;
}

bool ReadGain(const std::string&, const std::string& text, StepValue& value, std::string& error)
{
    double db = 0;
    if (!ParseDecimal(text, db) || !(db >= -60 && db <= 20)) {
        error = "--gain-db takes a gain in dB from -60 to 20";
        return false;
    }
    value = Decibels{db};
    return true;
}

bool ReadFadeShape(const std::string&, const std::string& text, StepValue& value, std::string& error)
{
    const auto* shape = std::find(std::begin(FadeShapeNames), std::end(FadeShapeNames), text);
    if (shape == std::end(FadeShapeNames)) {
        error = "--fade-shape takes one of linear, log, exp, scurve";
        return false;
    }
    value = static_cast<FadeShape>(shape - std::begin(FadeShapeNames));
    return true;
}

bool ReadPeakTarget(const std::string& option, const std::string& text, StepValue& value, std::string& error)
{
    double target = 0;
    if (!ParseDecimal(text, target) || !(target <= 0 && target >= -70)) {
        error = option + " takes a peak in dBFS from -70 to 0";
        return false;
    }
    value = Decibels{target};
    return true;
}

bool ReadLoudnessTarget(const std::string& option, const std::string& text, StepValue& value, std::string& error)
{
    double target = 0;
    if (!ParseDecimal(text, target) || !(target <= 0 && target >= -70)) {
        error = option + " takes a loudness in LUFS from -70 to 0";
        return false;
    }
    value = Lufs{target};
    return true;
}

bool ReadTag(const std::string&, const std::string& text, StepValue& value, std::string& error)
{
    const std::size_t equals = text.find('=');
    const TagField* field = equals == std::string::npos ? nullptr : TagFieldNamed(text.substr(0, equals));
    if (field == nullptr || !field->OnCommandLine) {
        error = "--tag takes FIELD=VALUE, FIELD one of " + TagFieldNamesText();
        return false;
    }
    value = TagValue{static_cast<std::size_t>(field - TagFields.data()), text.substr(equals + 1)};
    return true;
}

bool ReadBitrate(const std::string&, const std::string& text, StepValue& value, std::string& error)
{
    std::int64_t kbps = 0;
    if (!ParseInteger(text, kbps) || kbps < 0 || kbps > 100000) {
        error = "--bitrate takes kbit/s, 0 for the default";
        return false;
    }
    value = Kbps{static_cast<std::int32_t>(kbps)};
    return true;
}

bool ReadQuality(const std::string&, const std::string& text, StepValue& value, std::string& error)
{
    double quality = 0;
    if (!ParseDecimal(text, quality) || !(quality >= -1 && quality <= 10)) {
        error = "--quality takes a Vorbis quality from -1 to 10";
        return false;
    }
    value = VorbisQuality{quality};
    return true;
}

bool ReadOutput(const std::string&, const std::string& text, StepValue& value, std::string&)
{
    value = OutputFile{text};
    return true;
}

// One option of a step: its name, the step it makes, and for one that
// takes an operand, what the operand is (for "--volume needs a
// percentage") and how it is read.  The edits without options come from
// their own table (EditKinds' CliStep).
struct OptionRow {
    const char* Name;
    Step::Kind What;
    const char* Operand = nullptr;
    ValueReader Read = nullptr;
};

constexpr OptionRow Options[] = {
    {"--select-all", Step::Kind::SelectAll},
    {"--mute", Step::Kind::Mute},
    {"--undo", Step::Kind::Undo},
    {"--redo", Step::Kind::Redo},
    {"--clean-joins", Step::Kind::CleanJoins},
    {"--no-undo", Step::Kind::NoUndo},
    {"--info", Step::Kind::Info},
    {"--peaks", Step::Kind::Peaks},
    {"--loudness", Step::Kind::Loudness},
    {"--tags", Step::Kind::Tags},
    {"--gain-db", Step::Kind::GainDb, "dB", ReadGain},
    {"--fade-shape", Step::Kind::FadeShape, "a shape", ReadFadeShape},
    {"--normalize-peak", Step::Kind::NormalizePeak, "dBFS", ReadPeakTarget},
    {"--normalize-loudness", Step::Kind::NormalizeLoudness, "LUFS", ReadLoudnessTarget},
    {"--tag", Step::Kind::Tag, "FIELD=VALUE", ReadTag},
    {"--zoom", Step::Kind::Zoom, "a ratio", ReadZoom},
    {"--markers", Step::Kind::Markers, "S:F", ReadColumns},
    {"--frames", Step::Kind::Frames, "S:F", ReadFrames},
    {"--from", Step::Kind::From, "a time", ReadTime},
    {"--to", Step::Kind::To, "a time", ReadTime},
    {"--volume", Step::Kind::Volume, "a percentage", ReadVolume},
    {"--bitrate", Step::Kind::Bitrate, "kbit/s", ReadBitrate},
    {"--quality", Step::Kind::Quality, "a quality", ReadQuality},
    {"--save", Step::Kind::Save, "an output file", ReadOutput},
};

const OptionRow* OptionNamed(const std::string& name)
{
    for (const OptionRow& row : Options) {
        if (name == row.Name)
            return &row;
    }
    return nullptr;
}

} // namespace

std::optional<CommandLine> ReadCommandLine(const std::vector<std::string>& args, std::string& error)
{
    CommandLine line;
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        line.Help = true;
        return line;
    }
    if (args.size() == 1 && args[0] == "--version") {
        line.Version = true;
        return line;
    }
    if (args.empty()) {
        error = "missing INPUT";
        return std::nullopt;
    }
    // An option where the input belongs is a usage error, not a file
    // that cannot be opened ("./-name" opens a file of that name).
    if (args[0].size() > 1 && args[0][0] == '-') {
        error = "unknown option " + args[0];
        return std::nullopt;
    }
    line.Input = args[0];
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            line.Help = true;
            continue;
        }
        if (arg == "--times") {
            line.Times = true;
            continue;
        }
        if (const EditKind* edit = EditWithStep(arg)) {
            line.Steps.push_back({Step::Kind::Edit, edit->Command, arg});
            continue;
        }
        const OptionRow* option = OptionNamed(arg);
        if (option == nullptr) {
            error = "unknown step " + arg;
            return std::nullopt;
        }
        Step step{option->What, {}, arg};
        if (option->Read != nullptr) {
            if (i + 1 >= args.size()) {
                error = arg + " needs " + option->Operand;
                return std::nullopt;
            }
            if (!option->Read(arg, args[++i], step.Value, error))
                return std::nullopt;
        }
        line.Steps.push_back(std::move(step));
    }
    return line;
}

} // namespace velmora::cli
