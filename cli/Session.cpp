#include "Session.h"

#include "TerminalDialogs.h"
#include "TerminalProgress.h"

#include "import/OpenSequence.h"
#include "history/StepTransaction.h"
#include "document/Units.h"
#include "document/Zoom.h"
#include "edit/EditSequence.h"
#include "edit/LoudnessMeter.h"
#include "edit/Normalize.h"
#include "edit/VolumeChange.h"
#include "export/SaveSequence.h"
#include "import/OpenBody.h"
#include "platform/PathText.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace velmora::cli {

namespace {

void Print(const std::string& text)
{
    std::fwrite(text.data(), 1, text.size(), stdout);
}

} // namespace

Session::Session(const std::string& tempFolder, TerminalDialogs& dialogs) : dialogs_(dialogs)
{
    doc_.TempFolder = tempFolder;
    doc_.ProgramFolder = ExecutableFolder();
}

Session::Status Session::Refuse(const std::string& message)
{
    dialogs_.ShowMessage(message, {}, UserDialogs::Icon::None);
    return Status::Refused;
}

Session::Status Session::UsageError(const std::string& message)
{
    std::fprintf(stderr, "velmora-cli: %s\nTry 'velmora-cli --help'.\n", message.c_str());
    return Status::Usage;
}

Session::Status Session::Open(const std::string& input)
{
    doc_.SourceFile = input;
    dialogs_.SetFile(input);
    if (!IsOpenableExtension(input))
        return Refuse("Can not open the file.");
    TerminalProgress decoding("Decoding");
    TerminalProgress loading("Loading");
    if (RunOpenBody(doc_, decoding, loading, dialogs_) != OpenEnd::Loaded)
        return Status::Refused;
    FinishOpen(doc_, history_);
    return Status::Ok;
}

Session::Status Session::Run(const Step& step)
{
    using K = Step::Kind;
    switch (step.What) {
    case K::Zoom: {
        // The markers keep their frames.
        TerminalProgress bar("Reloading");
        ApplyZoomChange(doc_, ZoomLevel(step.As<ZoomFrames>().FramesPerColumn), bar, dialogs_);
        NoteDocument(doc_, history_);
        return Status::Ok;
    }
    case K::Markers: {
        const auto [start, finish] = step.As<ColumnPair>();
        if (start > finish || finish >= doc_.ColumnCount)
            return Refuse("The markers must be columns S <= F < " +
                          std::to_string(doc_.ColumnCount) + ".");
        SetMarkers(doc_, start, finish);
        return Status::Ok;
    }
    case K::SelectAll:
        SelectAll(doc_);
        return Status::Ok;
    case K::From:
    case K::To:
        return MarkerAt(step.What == K::From, step.As<TypedTime>().Seconds, step.Option + " " + step.As<TypedTime>().Text);
    case K::Frames:
        return MarkerFrames(step.As<FramePair>().Start, step.As<FramePair>().Finish);
    case K::Edit: {
        EditRequest request{step.As<EditCommand>()};
        request.Shape = fadeShape_;        // (only the fades look at it)
        request.CleanJoins = cleanJoins_;  // (only the cuts look at it)
        return Edit(request);
    }
    case K::CleanJoins:
        cleanJoins_ = true;
        return Status::Ok;
    case K::GainDb:
        return Edit({EditCommand::Volume, static_cast<float>(std::pow(10.0, step.As<Decibels>().Value / 20.0)), false});
    case K::FadeShape:
        fadeShape_ = step.As<FadeShape>();
        return Status::Ok;
    case K::Volume:
        return Edit({EditCommand::Volume, *GainForPercent(step.As<Percent>().Value), false});
    case K::Mute:
        return Edit({EditCommand::Volume, 1.0f, true});
    case K::Undo:
    case K::Redo: {
        if (!(step.What == K::Undo ? history_.CanUndo() : history_.CanRedo()))
            return Refuse(step.What == K::Undo ? "There is no edit to undo." : "There is no edit to redo.");
        TerminalProgress processing("Processing");
        TerminalProgress reloading("Reloading");
        const int asked = dialogs_.QuestionsCancelled();
        const EditEnd end = step.What == K::Undo ? UndoEdit(doc_, history_, processing, reloading, dialogs_)
                                                 : RedoEdit(doc_, history_, processing, reloading, dialogs_);
        return Ended(end, asked);
    }
    case K::NoUndo:
        history_.Clear();
        return Status::Ok;
    case K::Info:
        return Info();
    case K::Peaks:
        return Peaks();
    case K::Tags:
        return PrintTags();
    case K::Loudness:
        return PrintLoudness();
    case K::NormalizePeak:
    case K::NormalizeLoudness: {
        TerminalProgress measuring("Measuring");
        const std::optional<LoudnessFigures> figures = MeasureLoudness(doc_, measuring);
        if (!figures)
            return Refuse("Cannot open the temporary file.");
        const bool peak = step.What == K::NormalizePeak;
        const NormalizeGain gain =
            NormalizeGainFor(*figures, peak ? NormalizeTo::Peak : NormalizeTo::Loudness,
                             peak ? step.As<Decibels>().Value : step.As<Lufs>().Value);
        if (!gain.Possible) {
            std::string refusal = gain.Refusal;
            std::replace(refusal.begin(), refusal.end(), '\n', ' ');
            return Refuse(refusal);
        }
        return Edit({EditCommand::Normalize, gain.Gain, false});
    }
    case K::Tag: {
        Tags tags = doc_.Metadata;
        const TagValue& tag = step.As<TagValue>();
        tags.*TagFields[tag.Field].Member = tag.Text;
        SetMetadata(doc_, std::move(tags));
        if (!NoteDocument(doc_, history_))
            return Refuse("Cannot write the temporary file.");
        return Status::Ok;
    }
    case K::Quality:
        doc_.VorbisQuality = step.As<VorbisQuality>().Value;
        return Status::Ok;
    case K::Bitrate:
        doc_.SourceBitrate = step.As<Kbps>().Value;
        return Status::Ok;
    case K::Save: {
        TerminalProgress bar("Saving");
        // Its messages are about the file it writes.
        const std::string input = dialogs_.File();
        const std::string& output = step.As<OutputFile>().Path;
        dialogs_.SetOutputFile(output);
        const SaveEnd end = RunSaveBody(doc_, output, bar, dialogs_);
        dialogs_.SetFile(input);
        FinishSave(doc_, history_, end, output, false);
        return end == SaveEnd::Saved ? Status::Ok : Status::Refused;
    }
    }
    return Status::Ok;
}

std::string Session::LengthText() const
{
    const double seconds = doc_.SampleRate > 0 ? static_cast<double>(doc_.TotalFrames) / doc_.SampleRate : 0;
    return SecondsToPreciseText(seconds) + " (" + std::to_string(doc_.TotalFrames) + " frames)";
}

Session::Status Session::MarkerAt(bool start, double seconds, const std::string& option)
{
    const std::optional<std::uint32_t> frame = FrameAtSeconds(seconds, doc_.SampleRate, doc_.TotalFrames);
    if (!frame)
        return UsageError(option + " lies past the end of the file, which lasts " + LengthText());
    if (start ? *frame > doc_.SelFinishFrame : *frame < doc_.SelStartFrame) {
        const double other = static_cast<double>(start ? doc_.SelFinishFrame : doc_.SelStartFrame) / doc_.SampleRate;
        return UsageError(option + (start ? " lies after the finish marker at " : " lies before the start marker at ") +
                          SecondsToPreciseText(other) + "; the file lasts " + LengthText());
    }
    SetMarkerFrames(doc_, start ? *frame : doc_.SelStartFrame, start ? doc_.SelFinishFrame : *frame);
    return Status::Ok;
}

Session::Status Session::MarkerFrames(std::int64_t start, std::int64_t finish)
{
    if (start > finish || finish > static_cast<std::int64_t>(doc_.TotalFrames))
        return UsageError("--frames takes frames S <= F <= " + std::to_string(doc_.TotalFrames) +
                          "; the file lasts " + LengthText());
    SetMarkerFrames(doc_, static_cast<std::uint32_t>(start), static_cast<std::uint32_t>(finish));
    return Status::Ok;
}

Session::Status Session::Edit(const EditRequest& edit)
{
    TerminalProgress processing("Processing");
    TerminalProgress reloading("Reloading");
    const int asked = dialogs_.QuestionsCancelled();
    return Ended(RunEdit(doc_, history_, edit, processing, reloading, dialogs_), asked);
}

Session::Status Session::Ended(EditEnd end, int questionsBefore)
{
    if (end == EditEnd::Done)
        return Status::Ok;
    // The one question an edit (or a redo) asks: whether to go on without
    // Undo, which the terminal cannot answer.
    if (dialogs_.QuestionsCancelled() != questionsBefore)
        return Refuse("There is no room in the temporary folder to keep this edit for Undo; "
                      "--no-undo edits without it.");
    return Status::Refused;
}

Session::Status Session::Info()
{
    std::string out;
    auto line = [&out](const char* name, const std::string& value) {
        out += name;
        out += '=';
        out += value;
        out += '\n';
    };
    line("Channels", std::to_string(doc_.Channels));
    line("SampleRate", std::to_string(doc_.SampleRate));
    line("BitsPerSample", std::to_string(doc_.BitsPerSample));
    line("DataOffset", std::to_string(doc_.DataOffset));
    line("DataSize", std::to_string(doc_.DataSize));
    line("DataEnd", std::to_string(doc_.DataEnd));
    line("FrameSize", std::to_string(doc_.FrameSize));
    line("TotalFrames", std::to_string(doc_.TotalFrames));
    line("DurationSeconds", std::to_string(doc_.DurationSeconds));
    // To the millisecond, beside the whole seconds above.
    line("Duration", DurationText(doc_.TotalFrames, doc_.SampleRate));
    line("FramesPerColumn", std::to_string(doc_.FramesPerColumn));
    line("ColumnCount", std::to_string(doc_.ColumnCount));
    line("SelStart", std::to_string(doc_.SelStart));
    line("SelFinish", std::to_string(doc_.SelFinish));
    line("SelStartFrame", std::to_string(doc_.SelStartFrame));
    line("SelFinishFrame", std::to_string(doc_.SelFinishFrame));
    line("SourceBitrate", std::to_string(doc_.SourceBitrate));
    Print(out);
    return Status::Ok;
}

Session::Status Session::PrintLoudness()
{
    TerminalProgress measuring("Measuring");
    const std::optional<LoudnessFigures> figures = MeasureLoudness(doc_, measuring);
    if (!figures)
        return Refuse("Cannot open the temporary file.");
    const std::pair<const char*, double> lines[] = {
        {"Integrated", figures->Integrated},     {"Range", figures->Range},
        {"TruePeak", figures->TruePeak},         {"MaxMomentary", figures->MaxMomentary},
        {"MaxShortTerm", figures->MaxShortTerm}, {"SamplePeak", figures->SamplePeak},
    };
    std::string out;
    for (const auto& [name, value] : lines)
        out += std::string("Loudness.") + name + "=" + LoudnessText(value) + "\n";
    Print(out);
    return Status::Ok;
}

Session::Status Session::PrintTags()
{
    std::string out;
    for (const TagField& field : TagFields) {
        std::string value = doc_.Metadata.*field.Member;
        if (!field.OnCommandLine || value.empty())
            continue;
        // One line each: a value of many lines is printed on one.
        std::replace(value.begin(), value.end(), '\n', ' ');
        value.erase(std::remove(value.begin(), value.end(), '\r'), value.end());
        out += std::string("Tag.") + field.Key + "=" + value + "\n";
    }
    Print(out);
    return Status::Ok;
}

Session::Status Session::Peaks()
{
    std::string out;
    const std::uint32_t columns = PeakColumns(doc_);
    out.reserve(static_cast<std::size_t>(columns) * 16);
    for (std::uint32_t i = 0; i < columns && i < doc_.PeakUpper.size() && i < doc_.PeakLower.size(); ++i) {
        out += std::to_string(i);
        out += ' ';
        out += std::to_string(doc_.PeakUpper[i]);
        out += ' ';
        out += std::to_string(doc_.PeakLower[i]);
        out += '\n';
    }
    Print(out);
    return Status::Ok;
}

} // namespace velmora::cli
