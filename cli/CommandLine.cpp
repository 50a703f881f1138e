#include "CommandLine.h"

#include "document/Document.h"
#include "document/FileFormats.h"
#include "document/Units.h"

#include "document/Zoom.h"
#include "edit/EditKinds.h"
#include "edit/VolumeChange.h"
#include "platform/tags/Tags.h"

#include <algorithm>
#include <charconv>
#include <iterator>

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

// The extensions velmora-cli opens, or (encoded) those a save encodes:
// ".wav, .mp3, ..." from the formats table.
std::string ExtensionsText(bool encoded)
{
    std::string text;
    for (const FileFormat& format : FileFormats) {
        if (encoded && (format.SaveBy == SavePath::CopyWorkFile || format.SaveBy == SavePath::NotSaved))
            continue;
        for (const char* extension : {format.Extension, format.OtherExtension}) {
            if (extension != nullptr)
                text += (text.empty() ? "" : ", ") + std::string(extension);
        }
    }
    return text;
}

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

std::optional<CommandLine> ParseCommandLine(const std::vector<std::string>& args,
                                            std::string& error)
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
        const std::size_t stepsBefore = line.Steps.size();
        auto needValue = [&](const char* what) -> const std::string* {
            if (i + 1 >= args.size()) {
                error = arg + " needs " + what;
                return nullptr;
            }
            return &args[++i];
        };
        using K = Step::Kind;
        if (arg == "--help" || arg == "-h") {
            line.Help = true;
        } else if (arg == "--times") {
            line.Times = true;
        } else if (arg == "--select-all") {
            line.Steps.emplace_back(K::SelectAll);
        } else if (const EditKind* edit = EditWithStep(arg)) {
            line.Steps.emplace_back(K::Edit, static_cast<std::int64_t>(edit->Command));
        } else if (arg == "--mute") {
            line.Steps.emplace_back(K::Mute);
        } else if (arg == "--undo") {
            line.Steps.emplace_back(K::Undo);
        } else if (arg == "--redo") {
            line.Steps.emplace_back(K::Redo);
        } else if (arg == "--clean-joins") {
            line.Steps.emplace_back(K::CleanJoins);
        } else if (arg == "--no-undo") {
            line.Steps.emplace_back(K::NoUndo);
        } else if (arg == "--info") {
            line.Steps.emplace_back(K::Info);
        } else if (arg == "--peaks") {
            line.Steps.emplace_back(K::Peaks);
        } else if (arg == "--gain-db") {
            const std::string* value = needValue("dB");
            if (value == nullptr)
                return std::nullopt;
            double db = 0;
            if (!ParseDecimal(*value, db) || !(db >= -60 && db <= 20)) {
                error = "--gain-db takes a gain in dB from -60 to 20";
                return std::nullopt;
            }
            Step step(K::GainDb);
            step.Seconds = db;
            line.Steps.push_back(step);
        } else if (arg == "--fade-shape") {
            const std::string* value = needValue("a shape");
            if (value == nullptr)
                return std::nullopt;
            const auto* shape = std::find(std::begin(FadeShapeNames), std::end(FadeShapeNames), *value);
            if (shape == std::end(FadeShapeNames)) {
                error = "--fade-shape takes one of linear, log, exp, scurve";
                return std::nullopt;
            }
            line.Steps.emplace_back(K::FadeShape, shape - std::begin(FadeShapeNames));
        } else if (arg == "--loudness") {
            line.Steps.emplace_back(K::Loudness);
        } else if (arg == "--normalize-peak" || arg == "--normalize-loudness") {
            const bool peak = arg == "--normalize-peak";
            const std::string* value = needValue(peak ? "dBFS" : "LUFS");
            if (value == nullptr)
                return std::nullopt;
            double target = 0;
            if (!ParseDecimal(*value, target) || !(target <= 0 && target >= -70)) {
                error = arg + (peak ? " takes a peak in dBFS from -70 to 0" : " takes a loudness in LUFS from -70 to 0");
                return std::nullopt;
            }
            Step step(peak ? K::NormalizePeak : K::NormalizeLoudness);
            step.Seconds = target;
            line.Steps.push_back(step);
        } else if (arg == "--tags") {
            line.Steps.emplace_back(K::Tags);
        } else if (arg == "--tag") {
            const std::string* value = needValue("FIELD=VALUE");
            if (value == nullptr)
                return std::nullopt;
            const std::size_t equals = value->find('=');
            const TagField* field = equals == std::string::npos ? nullptr : TagFieldNamed(value->substr(0, equals));
            if (field == nullptr || !field->OnCommandLine) {
                error = "--tag takes FIELD=VALUE, FIELD one of " + TagFieldNamesText();
                return std::nullopt;
            }
            Step step(K::Tag, field - TagFields.data());
            step.Path = value->substr(equals + 1);
            line.Steps.push_back(step);
        } else if (arg == "--zoom") {
            const std::string* value = needValue("a ratio");
            std::int64_t ratio = 0;
            if (value == nullptr)
                return std::nullopt;
            if (!ParseInteger(*value, ratio) || ratio < 1 || ratio > CoarsestZoom / ZoomRatioFrames ||
                !IsZoomStep(static_cast<std::int32_t>(ratio * ZoomRatioFrames))) {
                error = "--zoom takes one of " + ZoomRatiosText();
                return std::nullopt;
            }
            line.Steps.emplace_back(K::Zoom, ratio * ZoomRatioFrames);
        } else if (arg == "--markers" || arg == "--frames") {
            // Two columns, or two frames.
            const bool columns = arg == "--markers";
            const std::string* value = needValue("S:F");
            if (value == nullptr)
                return std::nullopt;
            std::int64_t start = 0;
            std::int64_t finish = 0;
            if (!ParsePair(*value, start, finish)) {
                error = arg + (columns ? " takes two column numbers as S:F" : " takes two frame numbers as S:F");
                return std::nullopt;
            }
            line.Steps.emplace_back(columns ? K::Markers : K::Frames, start, finish);
        } else if (arg == "--from" || arg == "--to") {
            const std::string* value = needValue("a time");
            if (value == nullptr)
                return std::nullopt;
            const auto seconds = ParseTimeText(*value);
            if (!seconds) {
                error = arg + " takes a time: seconds, M:S or H:M:S";
                return std::nullopt;
            }
            Step step(arg == "--from" ? K::From : K::To);
            step.Seconds = *seconds;
            step.Path = *value;
            line.Steps.push_back(step);
        } else if (arg == "--volume") {
            const std::string* value = needValue("a percentage");
            std::int64_t percent = 0;
            if (value == nullptr)
                return std::nullopt;
            if (!ParseInteger(*value, percent) || percent < 25 || percent > 250 ||
                !GainForPercent(static_cast<int>(percent))) {
                error = "--volume takes one of " + VolumePercentsText(", ");
                return std::nullopt;
            }
            line.Steps.emplace_back(K::Volume, percent);
        } else if (arg == "--bitrate") {
            const std::string* value = needValue("kbit/s");
            std::int64_t kbps = 0;
            if (value == nullptr)
                return std::nullopt;
            if (!ParseInteger(*value, kbps) || kbps < 0 || kbps > 100000) {
                error = "--bitrate takes kbit/s, 0 for the default";
                return std::nullopt;
            }
            line.Steps.emplace_back(K::Bitrate, kbps);
        } else if (arg == "--quality") {
            const std::string* value = needValue("a quality");
            double quality = 0;
            if (value == nullptr)
                return std::nullopt;
            if (!ParseDecimal(*value, quality) || !(quality >= -1 && quality <= 10)) {
                error = "--quality takes a Vorbis quality from -1 to 10";
                return std::nullopt;
            }
            Step step(K::Quality);
            step.Seconds = quality;
            line.Steps.push_back(step);
        } else if (arg == "--save") {
            const std::string* value = needValue("an output file");
            if (value == nullptr)
                return std::nullopt;
            Step step(K::Save);
            step.Path = *value;
            line.Steps.push_back(step);
        } else {
            error = "unknown step " + arg;
            return std::nullopt;
        }
        if (line.Steps.size() > stepsBefore)
            line.Steps.back().Option = arg;
    }
    return line;
}

} // namespace velmora::cli
