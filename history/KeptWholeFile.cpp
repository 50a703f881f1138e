#include "Keeping.h"
#include "KeepingParts.h"
#include "Manifest.h"

#include "document/Document.h"
#include "platform/File.h"
#include "platform/IniFile.h"
#include "platform/PathText.h"

#include <filesystem>
#include <sys/stat.h>
#include <system_error>

namespace velmora {

namespace {

struct FileIdentity {
    bool Exists = false;
    dev_t Device = 0;
    ino_t Inode = 0;
    bool operator==(const FileIdentity&) const = default;
};

FileIdentity IdentityOf(const std::string& path)
{
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0)
        return {};
    return {true, info.st_dev, info.st_ino};
}

// The new file takes the working file's name and the old one keepAs: the
// old one first gets its second name (a link), then the new one replaces
// it in one step, so that the working file's name never goes missing and
// a start after a kill can tell, by the two names' files, which happened.
// Where the file system has no links, the old one is renamed first.  Both
// files' bytes are on the disk before the names change (the old one may
// still hold what the open copied, never synced: Undo needs it whole), and
// the second name before the first changes hands.
bool TakeTheWorkFileName(File& fresh, File& old, const std::string& newPath, const std::string& workFile,
                         const std::string& keepAs)
{
    const std::string folder = std::filesystem::path(workFile).parent_path().string();
    if (!fresh.SyncData() || !old.SyncData())
        return false;
    std::error_code error;
    std::filesystem::create_hard_link(workFile, keepAs, error);
    if (error) {
        error.clear();
        std::filesystem::rename(workFile, keepAs, error);
        if (error)
            return false;
    }
    if (SyncFolder(folder)) {
        std::filesystem::rename(newPath, workFile, error);
        // Once renamed, the step has happened: the manifest that says so
        // puts the folder on the disk again (and fails when it cannot).
        if (!error)
            return true;
    }
    // Back as it was.
    if (!FileExists(workFile))
        std::filesystem::rename(keepAs, workFile, error);
    else
        RemoveFileIfExists(keepAs);
    return false;
}

// A cut into a new file keeping the old one whole: the new file takes the
// working file's name, the old one the step's name beside the journal.
class WholeFileHooks final : public RunHooks {
public:
    explicit WholeFileHooks(std::string keepAs) : keepAs_(std::move(keepAs)) {}

    bool CutsIntoNewFile(const std::string&, const CutLayout&, std::uint64_t) override
    {
        RemoveFileIfExists(keepAs_);  // a name left from before
        return true;
    }
    bool PutInPlace(File& fresh, const std::string& newPath, const std::string& workFile, File& old) override
    {
        // The old file, still open here, stays held until the edit ends.
        return TakeTheWorkFileName(fresh, old, newPath, workFile, keepAs_);
    }

private:
    std::string keepAs_;
};

bool TakeBackWholeFile(const Document& doc, const EditHistory& history, const UndoStep& step, const StepReach& reach)
{
    const std::string keepAs = WholeFilePath(history, step);
    const FileIdentity kept = IdentityOf(keepAs);
    bool putBack = true;
    if (!kept.Exists && reach.Whole) {
        // A whole step's old file gone: taken back already (an undo cut
        // off after the rename), which left the old file's length - or lost.
        std::error_code error;
        putBack = std::filesystem::file_size(doc.WorkFile, error) == step.LengthBefore && !error;
    } else if (kept.Exists) {
        // The same file under both names: the new one never took the
        // working file's name, and the second name just goes.  Otherwise
        // the old file takes its name back, in one step.
        if (IdentityOf(doc.WorkFile) == kept) {
            putBack = RemoveFileIfExists(keepAs);
        } else {
            std::error_code error;
            std::filesystem::rename(keepAs, doc.WorkFile, error);
            putBack = !error && SyncFolder(history.Folder());
        }
    }
    RemoveFileIfExists(doc.WorkFile + ".new");
    return putBack;
}

// The whole old working file, under a name of its own in the private
// folder, when a cut writes what stays into a new file: undo gives it its
// name back.
class WholeFileKept final : public Keeping {
public:
    std::unique_ptr<RunHooks> Hooks(const EditHistory& history, UndoStep& step, File&, RewriteLog&) const override
    {
        return std::make_unique<WholeFileHooks>(WholeFilePath(history, step));
    }

    bool TakeBack(const Document& doc, const EditHistory& history, const UndoStep& step, const StepReach& reach, File&,
                  File&, RewriteLog&, const std::optional<RewriteLog::Note>&, ScalingSource,
                  Progress&) const override
    {
        return TakeBackWholeFile(doc, history, step, reach);
    }

    bool MovesTheWorkFile() const override { return true; }

    void Write(IniFile& manifest, const std::string& section, const UndoStep& step) const override
    {
        manifest.SetString(section, "WholeFile", EncodeManifestPath(step.WholeFileName));
    }

    void Read(const IniFile& manifest, const std::string& section, UndoStep& step) const override
    {
        step.WholeFileName = DecodeManifestPath(manifest.ReadString(section, "WholeFile", ""));
    }
};

} // namespace

const Keeping& WholeFileKeeping()
{
    static const WholeFileKept wholeFile;
    return wholeFile;
}

} // namespace velmora
