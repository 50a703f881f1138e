// A power cut at any moment of every kind of step.  A forked child takes
// one step with the fault library recording every change and sync it makes
// in the private folder.  From the record the test builds the folders a
// cut may leave: what was synced, plus any prefix of what each file was
// given since its last sync (the last write perhaps torn at a sector), and
// any prefix of the files made, renamed, linked and removed since the
// folder's last sync.  Each is taken up as the next start would take it
// up: the document that comes back is the one before the step or the one
// after, byte for byte with its markers, and Undo from it reaches the
// opened file.  VELMORA_POWER_CUTS=all is the long form: a file four times
// as long (four times the blocks), every prefix of the folder's names and
// every combination of the files' prefixes at every moment; by default
// each moment gives the states with nothing, all, and each file's prefixes
// alone.  VELMORA_POWER_CUT_TRACE prints the record.

#include "document/Document.h"
#include "document/LoadWorkFile.h"
#include "edit/EditSequence.h"
#include "history/Manifest.h"
#include "history/PageWitness.h"
#include "history/Recovery.h"
#include "history/StepTransaction.h"
#include "import/OpenSequence.h"
#include "platform/File.h"
#include "support/Fakes.h"
#include "support/TempDir.h"
#include "support/WaveBuilder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

namespace velmora {
namespace {

using Bytes = std::vector<unsigned char>;

// ---- The record the fault library writes ----

enum RecordKind : std::uint32_t { RecCreate = 1, RecWrite, RecSize, RecSync, RecFolderSync, RecRename, RecLink,
                                  RecUnlink };
struct RecordHead {
    std::uint32_t Kind;
    std::uint32_t NameBytes;
    std::uint32_t SecondBytes;
    std::uint32_t Reserved;
    std::uint64_t Number;
    std::uint64_t DataBytes;
};

struct TraceOp {
    std::uint32_t Kind = 0;
    std::string Name, Second;
    std::uint64_t Number = 0;  // RecWrite: bytes of the file where it goes; RecSize: the length
    Bytes Data;
};

std::vector<TraceOp> ReadTrace(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<TraceOp> ops;
    RecordHead head{};
    while (in.read(reinterpret_cast<char*>(&head), sizeof head)) {
        TraceOp op;
        op.Kind = head.Kind;
        op.Number = head.Number;
        op.Name.resize(head.NameBytes);
        op.Second.resize(head.SecondBytes);
        op.Data.resize(head.DataBytes);
        in.read(op.Name.data(), static_cast<std::streamsize>(op.Name.size()));
        in.read(op.Second.data(), static_cast<std::streamsize>(op.Second.size()));
        in.read(reinterpret_cast<char*>(op.Data.data()), static_cast<std::streamsize>(op.Data.size()));
        ops.push_back(std::move(op));
    }
    return ops;
}

// ---- What a power cut may leave ----

constexpr std::uint64_t SectorBytes = 512;

// A file's bytes after a write or a change of length; a torn write only
// reaches its first sectors.
void ApplyTo(Bytes& bytes, const TraceOp& op, std::size_t sectors = SIZE_MAX)
{
    if (op.Kind == RecSize) {
        bytes.resize(op.Number);
        return;
    }
    std::uint64_t end = op.Number + op.Data.size();
    if (sectors != SIZE_MAX)
        end = std::min(end, (op.Number / SectorBytes + sectors) * SectorBytes);
    if (end <= op.Number)
        return;
    if (bytes.size() < end)
        bytes.resize(end);
    std::memcpy(bytes.data() + op.Number, op.Data.data(), end - op.Number);
}

std::size_t SectorsOf(const TraceOp& op)
{
    if (op.Kind != RecWrite || op.Data.empty())
        return 0;
    return (op.Number + op.Data.size() - 1) / SectorBytes - op.Number / SectorBytes + 1;
}

// The folder as the disk holds it and as the process sees it.  Files are
// inodes: names come and go (a rename, a second name) without their bytes
// moving.
class Disk {
public:
    explicit Disk(const std::map<std::string, Bytes>& synced)
    {
        for (const auto& [name, bytes] : synced) {
            inodes_.push_back({bytes, {}});
            names_[name] = durableNames_[name] = static_cast<int>(inodes_.size() - 1);
        }
    }

    // op has happened.
    void Take(const TraceOp* op)
    {
        switch (op->Kind) {
        case RecCreate:
            inodes_.push_back({});
            names_[op->Name] = static_cast<int>(inodes_.size() - 1);
            pendingNames_.push_back({op, names_[op->Name]});
            break;
        case RecWrite:
        case RecSize:
            if (names_.count(op->Name) != 0)
                inodes_[static_cast<std::size_t>(names_[op->Name])].Pending.push_back(op);
            break;
        case RecSync:
            if (names_.count(op->Name) != 0) {
                Inode& inode = inodes_[static_cast<std::size_t>(names_[op->Name])];
                for (const TraceOp* pending : inode.Pending)
                    ApplyTo(inode.Synced, *pending);
                inode.Pending.clear();
                ++inode.Version;
            }
            break;
        case RecFolderSync:
            for (const auto& [nameOp, inode] : pendingNames_)
                ApplyName(durableNames_, *nameOp, inode);
            pendingNames_.clear();
            ++namesVersion_;
            break;
        case RecRename:
        case RecLink:
        case RecUnlink:
            pendingNames_.push_back({op, names_.count(op->Name) != 0 ? names_[op->Name] : -1});
            ApplyName(names_, *op, pendingNames_.back().second);
            break;
        }
    }

    // How much of what is not synced a cut lets through: a prefix of the
    // folder's names, and per inode a prefix of its writes, the last one
    // perhaps torn after some sectors.
    struct Cut {
        std::size_t Names = 0;
        std::map<int, std::pair<std::size_t, std::size_t>> Files;  // inode: ops whole, sectors of the next
    };

    // The cuts to try now.  Nothing and everything, and each file's
    // prefixes (and a torn write) with the rest as nothing and as
    // everything, over no names and all of them; when all, every prefix of
    // the names and every combination of the files' prefixes too.
    std::vector<Cut> Cuts(bool all) const
    {
        std::vector<Cut> cuts;
        std::vector<std::size_t> nameCounts{0, pendingNames_.size()};
        if (all) {
            for (std::size_t k = 1; k < pendingNames_.size(); ++k)
                nameCounts.push_back(k);
        }
        // Each file's choices: its prefixes, each whole or with the next
        // write torn half way.
        std::vector<std::vector<std::pair<std::size_t, std::size_t>>> choices(inodes_.size());
        for (std::size_t i = 0; i < inodes_.size(); ++i) {
            const std::vector<const TraceOp*>& pending = inodes_[i].Pending;
            for (std::size_t m = 0; m <= pending.size(); ++m) {
                choices[i].push_back({m, 0});
                if (m < pending.size() && SectorsOf(*pending[m]) > 1)
                    choices[i].push_back({m, SectorsOf(*pending[m]) / 2});
            }
        }
        for (const std::size_t names : nameCounts) {
            Cut none;
            none.Names = names;
            Cut full = none;
            for (std::size_t i = 0; i < inodes_.size(); ++i)
                full.Files[static_cast<int>(i)] = choices[i].back();
            cuts.push_back(none);
            cuts.push_back(full);
            for (std::size_t i = 0; i < inodes_.size(); ++i) {
                for (const auto& choice : choices[i]) {
                    for (Cut cut : {none, full}) {
                        cut.Files[static_cast<int>(i)] = choice;
                        cuts.push_back(cut);
                    }
                }
            }
            if (!all)
                continue;
            // Every combination, while there are not too many.
            std::size_t combinations = 1;
            for (const auto& file : choices)
                combinations = std::min<std::size_t>(combinations * file.size(), 1u << 16);
            for (std::size_t n = 0; n < combinations && combinations < (1u << 16); ++n) {
                Cut cut = none;
                std::size_t rest = n;
                for (std::size_t i = 0; i < inodes_.size(); ++i) {
                    cut.Files[static_cast<int>(i)] = choices[i][rest % choices[i].size()];
                    rest /= choices[i].size();
                }
                cuts.push_back(cut);
            }
        }
        return cuts;
    }

    // What identifies the folder a cut leaves, without building it.
    std::string KeyOf(const Cut& cut) const
    {
        std::string key = std::to_string(namesVersion_) + "/" + std::to_string(cut.Names) + ":";
        for (const auto& [name, inode] : NamesAfter(cut)) {
            const auto it = cut.Files.find(inode);
            const std::pair<std::size_t, std::size_t> through = it == cut.Files.end() ? std::pair<std::size_t, std::size_t>{0, 0} : it->second;
            const Inode& file = inodes_[static_cast<std::size_t>(inode)];
            // A file's state: its synced version and the ops (numbered by
            // their place in the record) that reached it since.
            const std::uintptr_t last = through.first == 0 ? 0 : reinterpret_cast<std::uintptr_t>(file.Pending[through.first - 1]);
            const std::uintptr_t torn = through.second == 0 || through.first >= file.Pending.size()
                                            ? 0
                                            : reinterpret_cast<std::uintptr_t>(file.Pending[through.first]);
            key += name + "=" + std::to_string(inode) + "." + std::to_string(file.Version) + "." +
                   std::to_string(last) + "." + std::to_string(torn) + "." + std::to_string(through.second) + ";";
        }
        return key;
    }

    // Builds the folder a cut leaves in folder (emptied first).
    void Build(const Cut& cut, const std::string& folder) const
    {
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        for (const auto& [name, inode] : NamesAfter(cut)) {
            const Inode& file = inodes_[static_cast<std::size_t>(inode)];
            Bytes bytes = file.Synced;
            const auto it = cut.Files.find(inode);
            if (it != cut.Files.end()) {
                for (std::size_t m = 0; m < it->second.first && m < file.Pending.size(); ++m)
                    ApplyTo(bytes, *file.Pending[m]);
                if (it->second.second > 0 && it->second.first < file.Pending.size())
                    ApplyTo(bytes, *file.Pending[it->second.first], it->second.second);
            }
            test::WriteWholeFile(folder + "/" + name, bytes);
        }
    }

private:
    struct Inode {
        Bytes Synced;
        std::vector<const TraceOp*> Pending;
        std::uint64_t Version = 0;
    };

    static void ApplyName(std::map<std::string, int>& names, const TraceOp& op, int inode)
    {
        switch (op.Kind) {
        case RecCreate: names[op.Name] = inode; break;
        case RecRename:
            names.erase(op.Name);
            if (inode >= 0)
                names[op.Second] = inode;
            break;
        case RecLink:
            if (inode >= 0)
                names[op.Second] = inode;
            break;
        case RecUnlink: names.erase(op.Name); break;
        }
    }

    std::map<std::string, int> NamesAfter(const Cut& cut) const
    {
        std::map<std::string, int> names = durableNames_;
        for (std::size_t k = 0; k < cut.Names && k < pendingNames_.size(); ++k)
            ApplyName(names, *pendingNames_[k].first, pendingNames_[k].second);
        return names;
    }

    std::vector<Inode> inodes_;
    std::map<std::string, int> names_;         // as the process sees them
    std::map<std::string, int> durableNames_;  // as the disk holds them
    std::vector<std::pair<const TraceOp*, int>> pendingNames_;
    std::uint64_t namesVersion_ = 0;
};

// ---- The steps ----

struct Step {
    enum Kind { Edit, Undo, Redo } What = Edit;
    std::uint32_t Start = 0, Finish = 0;  // frames
    EditRequest Request{};
};

Step Do(EditCommand command, std::uint32_t start, std::uint32_t finish, float gain = 1.0f, bool mute = false)
{
    return {Step::Edit, start, finish, {command, gain, mute}};
}
Step DoWithCleanJoins(EditCommand command, std::uint32_t start, std::uint32_t finish)
{
    Step step = Do(command, start, finish);
    step.Request.CleanJoins = true;
    return step;
}
const Step TheUndo{Step::Undo};
const Step TheRedo{Step::Redo};

// Taken before the step watched, so that the document holds unsaved edits.
const Step FirstEdit = Do(EditCommand::FadeIn, 0, 20'000);

struct Scenario {
    const char* Name;
    std::vector<Step> Before;
    Step Watched;
};

// 2.6 MB of stereo 16-bit: a rescaling of most of it takes three blocks.
// The long form scales the file and every marker by four.
constexpr std::uint32_t Frames = 661'500;

bool LongForm()
{
    const char* asked = std::getenv("VELMORA_POWER_CUTS");
    return asked != nullptr && std::strcmp(asked, "all") == 0;
}

std::uint32_t Scaled(std::uint32_t frames)
{
    return LongForm() ? 4 * frames : frames;
}

const Scenario Scenarios[] = {
    {"volume", {}, Do(EditCommand::Volume, 10'000, 640'000, 0.5f)},
    {"mute", {}, Do(EditCommand::Volume, 100'000, 400'000, 1.0f, true)},
    {"fadeIn", {}, Do(EditCommand::FadeIn, 50'000, 600'000)},
    {"fadeOut", {}, Do(EditCommand::FadeOut, 200'000, Frames)},
    {"normalize", {}, Do(EditCommand::Normalize, 30'000, 500'000, 0.8f)},
    {"deleteInPlace", {}, Do(EditCommand::Delete, 500'000, 520'000)},
    {"cleanJoinsInPlace", {}, DoWithCleanJoins(EditCommand::Delete, 300'000, 320'000)},
    {"deleteIntoNewFile", {}, Do(EditCommand::Delete, 0, 600'000)},
    {"cutOutIntoNewFile", {}, Do(EditCommand::CutOut, 100'000, 150'000)},
    {"undoInPlace", {Do(EditCommand::Delete, 400'000, 420'000)}, TheUndo},
    {"undoVolume", {Do(EditCommand::Volume, 0, Frames, 0.5f)}, TheUndo},
    {"undoNewFile", {Do(EditCommand::Delete, 0, 600'000)}, TheUndo},
    {"redo", {Do(EditCommand::Delete, 400'000, 420'000), TheUndo}, TheRedo},
};

struct State {
    Bytes File;
    std::uint32_t SelStartFrame = 0, SelFinishFrame = 0;
    bool operator==(const State&) const = default;
};

State StateOf(const Document& doc)
{
    return {test::ReadWholeFile(doc.WorkFile), doc.SelStartFrame, doc.SelFinishFrame};
}

void Save(const State& state, const std::string& path)
{
    test::WriteWholeFile(path, state.File);
    std::ofstream(path + ".markers") << state.SelStartFrame << " " << state.SelFinishFrame;
}

State Load(const std::string& path)
{
    State state{test::ReadWholeFile(path)};
    std::ifstream(path + ".markers") >> state.SelStartFrame >> state.SelFinishFrame;
    return state;
}

class PowerCutTest : public testing::TestWithParam<Scenario> {
protected:
    void SetUp() override
    {
        arm_ = reinterpret_cast<ArmFn>(::dlsym(RTLD_DEFAULT, "velmora_record_arm"));
        stop_ = reinterpret_cast<StopFn>(::dlsym(RTLD_DEFAULT, "velmora_record_stop"));
        ASSERT_TRUE(arm_ != nullptr && stop_ != nullptr) << "run with the fault library preloaded";
    }

    // The markers an edit runs between, as a front end sets them.
    static void Mark(Document& doc, EditHistory& history, const Step& step)
    {
        if (step.What == Step::Edit) {
            SetMarkerFrames(doc, Scaled(step.Start), Scaled(step.Finish));
            NoteDocument(doc, history);
        }
    }

    void Run(Document& doc, EditHistory& history, const Step& step)
    {
        NullProgress none;
        Mark(doc, history, step);
        switch (step.What) {
        case Step::Edit: RunEdit(doc, history, step.Request, none, none, dialogs_); break;
        case Step::Undo: UndoEdit(doc, history, none, none, dialogs_); break;
        case Step::Redo: RedoEdit(doc, history, none, none, dialogs_); break;
        }
    }

    // In a child: the document opened in folder, the steps before taken,
    // everything synced and the folder copied to refs/synced, then the
    // watched step recorded in refs/trace.  refs also gets the opened
    // file and the states before and after.
    void RecordStep(const std::string& folder, const std::string& refs)
    {
        const pid_t child = ::fork();
        if (child == 0) {
            Document doc;
            EditHistory history;
            doc.TempFolder = folder + "/";
            doc.WorkFile = doc.TempFolder + WorkFileName;
            doc.SourceFile = refs + "/source.wav";
            test::WaveBuilder().Format(1, 2, 22050, 16).Samples(test::TryingSamples(16, 2 * Scaled(Frames))).WriteTo(doc.WorkFile);
            NullProgress none;
            if (!LoadWorkFile(doc, none, dialogs_))
                ::_exit(3);
            FinishOpen(doc, history);
            Save(StateOf(doc), refs + "/opened");
            Run(doc, history, FirstEdit);
            for (const Step& step : GetParam().Before)
                Run(doc, history, step);
            Mark(doc, history, GetParam().Watched);
            Save(StateOf(doc), refs + "/before");
            ::sync();
            std::filesystem::create_directories(refs + "/synced");
            for (const auto& entry : std::filesystem::directory_iterator(folder))
                std::filesystem::copy_file(entry.path(), refs + "/synced/" + entry.path().filename().string());
            if (arm_(folder.c_str(), (refs + "/trace").c_str()) != 0)
                ::_exit(4);
            Run(doc, history, GetParam().Watched);
            stop_();
            Save(StateOf(doc), refs + "/after");
            ::_exit(dialogs_.Messages.empty() ? 0 : 5);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the step failed in the child";
    }

    using ArmFn = int (*)(const char*, const char*);
    using StopFn = void (*)();
    ArmFn arm_ = nullptr;
    StopFn stop_ = nullptr;
    test::RecordingDialogs dialogs_;
};

TEST_P(PowerCutTest, EveryStateACutLeavesComesBackAsBeforeOrAfterTheStep)
{
    test::TempDir work;
    const std::string folder = work.Path() + "/private";
    const std::string refs = work.Path() + "/refs";
    std::filesystem::create_directories(folder);
    std::filesystem::create_directories(refs);
    RecordStep(folder, refs);
    if (HasFatalFailure())
        return;

    const State opened = Load(refs + "/opened");
    const State before = Load(refs + "/before");
    const State after = Load(refs + "/after");
    ASSERT_NE(before, after);
    std::map<std::string, Bytes> synced;
    for (const auto& entry : std::filesystem::directory_iterator(refs + "/synced"))
        synced[entry.path().filename().string()] = test::ReadWholeFile(entry.path().string());
    const std::vector<TraceOp> trace = ReadTrace(refs + "/trace");
    ASSERT_FALSE(trace.empty());
    if (std::getenv("VELMORA_POWER_CUT_TRACE") != nullptr) {
        for (const TraceOp& op : trace)
            std::printf("%u %s %s %llu %zu\n", op.Kind, op.Name.c_str(), op.Second.c_str(),
                        static_cast<unsigned long long>(op.Number), op.Data.size());
    }

    const bool all = LongForm();
    Disk disk(synced);
    std::set<std::string> tried;
    int built = 0, asBefore = 0, asAfter = 0;
    const std::string scratch = work.Path() + "/cut";
    for (std::size_t at = 0; at <= trace.size(); ++at) {
        for (const Disk::Cut& cut : disk.Cuts(all)) {
            if (!tried.insert(disk.KeyOf(cut)).second)
                continue;
            ++built;
            SCOPED_TRACE(testing::Message() << GetParam().Name << ": cut after " << at << " of " << trace.size()
                                            << " changes, state " << built << ": " << disk.KeyOf(cut));
            disk.Build(cut, scratch);
            ASSERT_TRUE(HoldsUnsavedEdits(scratch)) << "the unsaved edits are not offered";
            const std::optional<Manifest> manifest = ReadManifest(scratch);
            ASSERT_TRUE(manifest);
            Document doc;
            EditHistory history;
            doc.TempFolder = scratch + "/";
            NullProgress none;
            ASSERT_TRUE(RecoverDocument(doc, history, *manifest, none, dialogs_))
                << (dialogs_.Messages.empty() ? std::string() : dialogs_.Messages.back().Text);
            const State back = StateOf(doc);
            ASSERT_TRUE(back == before || back == after)
                << "the document that came back is neither: " << back.File.size() << " bytes, markers "
                << back.SelStartFrame << "-" << back.SelFinishFrame << "; before " << before.File.size() << ", "
                << before.SelStartFrame << "-" << before.SelFinishFrame << "; after " << after.File.size() << ", "
                << after.SelStartFrame << "-" << after.SelFinishFrame << (back.File == after.File ? " (the after bytes)" : "")
                << (back.File == before.File ? " (the before bytes)" : "");
            (back == before ? asBefore : asAfter) += 1;
            while (history.CanUndo())
                ASSERT_EQ(UndoEdit(doc, history, none, none, dialogs_), EditEnd::Done);
            ASSERT_EQ(test::ReadWholeFile(doc.WorkFile), opened.File) << "undo back from it";
        }
        if (at < trace.size())
            disk.Take(&trace[at]);
    }
    EXPECT_TRUE(dialogs_.Messages.empty());
    EXPECT_GT(asAfter, 0);
    std::printf("%s: %zu changes and syncs recorded, %d states built, %d came back before the step, %d after, "
                "0 wrong\n",
                GetParam().Name, trace.size(), built, asBefore, asAfter);
}

INSTANTIATE_TEST_SUITE_P(Steps, PowerCutTest, testing::ValuesIn(Scenarios),
                         [](const testing::TestParamInfo<Scenario>& info) { return std::string(info.param.Name); });

} // namespace
} // namespace velmora
