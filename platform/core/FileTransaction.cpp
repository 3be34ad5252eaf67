#include "platform/core/FileTransaction.h"
#include "platform/core/FolderLock.h"

#include "platform/core/FaultPoint.h"
#include "platform/core/TextFile.h"

#include <cerrno>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrelan {

namespace {

namespace fs = std::filesystem;

fs::path withSuffix(const fs::path& file, const std::string& tag, const char* kind)
{
    fs::path p = file;
    p += "." + tag + "." + kind;
    return p;
}

bool present(const fs::path& p)
{
    struct stat st
    {
    };
    return ::lstat(p.c_str(), &st) == 0;
}

// The old file kept beside the target until the commit ends: a second name for the same file
// where the file system allows it, else a copy.
bool keepOld(const fs::path& target, const fs::path& old)
{
    if (!present(target) || present(old))
        return true;
    if (::link(target.c_str(), old.c_str()) == 0)
        return true;
    // The copy takes the old name only once it is whole: a kill part way leaves no half copy that
    // a roll-back would put over the target.
    const auto bytes = readWholeFile(target);
    const fs::path copy = old.string() + ".part";
    if (bytes && writeFileSynced(copy, *bytes, target) && ::rename(copy.c_str(), old.c_str()) == 0)
        return true;
    ::unlink(copy.c_str());
    return false;
}

// Puts the old file back over the target; true when nothing of the step is left to undo.
bool restoreOld(const fs::path& target, const fs::path& old)
{
    if (!present(old))
        return true;
    if (::rename(old.c_str(), target.c_str()) != 0)
        return false;
    ::unlink(old.c_str()); // still there when both names were links to one file
    return true;
}

struct JournalLine
{
    bool remove;
    fs::path target;
};

std::string journalText(const std::vector<JournalLine>& lines)
{
    std::string text = "commit\n";
    for (const auto& l : lines)
        text += (l.remove ? "D " : "R ") + l.target.string() + "\n";
    return text;
}

std::optional<std::vector<JournalLine>> readJournal(const fs::path& path)
{
    const auto bytes = readWholeFile(path);
    if (!bytes)
        return std::nullopt;
    std::vector<JournalLine> lines;
    std::size_t start = 0;
    bool first = true;
    while (start < bytes->size()) {
        const auto end = bytes->find('\n', start);
        if (end == std::string::npos)
            break; // a journal is written whole or not at all; a cut line is not a line
        const std::string line = bytes->substr(start, end - start);
        start = end + 1;
        if (first) {
            first = false;
        } else if (line.size() > 2 && (line[0] == 'R' || line[0] == 'D') && line[1] == ' ') {
            lines.push_back({line[0] == 'D', line.substr(2)});
        }
    }
    return lines;
}

// One step of a commit: the old file kept, then the new one renamed over it (or the file removed).
bool applyLine(const JournalLine& l, const std::string& tag)
{
    const fs::path staged = withSuffix(l.target, tag, "new");
    if (!l.remove && !present(staged))
        return true; // done before
    if (!keepOld(l.target, withSuffix(l.target, tag, "old")))
        return false;
    if (l.remove)
        return ::unlink(l.target.c_str()) == 0 || errno == ENOENT;
    return ::rename(staged.c_str(), l.target.c_str()) == 0;
}

void undoLine(const JournalLine& l, const std::string& tag)
{
    const fs::path staged = withSuffix(l.target, tag, "new");
    const fs::path old = withSuffix(l.target, tag, "old");
    if (!l.remove && present(staged)) {
        // Never replaced: the target is as it was.
        ::unlink(staged.c_str());
        ::unlink(old.c_str());
        return;
    }
    if (present(old)) {
        restoreOld(l.target, old);
    } else if (!l.remove) {
        ::unlink(l.target.c_str()); // it did not exist before the commit
    }
}

void syncParents(const std::vector<JournalLine>& lines)
{
    std::set<fs::path> parents;
    for (const auto& l : lines)
        parents.insert(l.target.parent_path());
    for (const auto& p : parents)
        syncFolder(p);
}

void finish(const fs::path& journal, const std::vector<JournalLine>& lines, const std::string& tag)
{
    syncParents(lines);
    for (const auto& l : lines)
        ::unlink(withSuffix(l.target, tag, "old").c_str());
    ::unlink(journal.c_str());
    syncFolder(journal.parent_path());
    faultPoint("transaction:finished");
}

// The roll-back is marked by renaming the journal, which needs no room on the disk: a kill during
// the roll-back then finishes the roll-back, never a commit.
void rollBack(const fs::path& journal, const std::vector<JournalLine>& lines, const std::string& tag)
{
    fs::path marker = journal;
    marker.replace_extension(".rollback");
    if (present(journal))
        ::rename(journal.c_str(), marker.c_str());
    syncFolder(journal.parent_path());
    for (const auto& l : lines)
        undoLine(l, tag);
    syncParents(lines);
    ::unlink(marker.c_str());
    ::unlink(journal.c_str());
    syncFolder(journal.parent_path());
}

// Staged files of a transaction that never reached its journal, in the folder and the folders
// inside it.
void removeStray(const fs::path& dir, const std::string& tag, int depth)
{
    std::error_code ec;
    const std::string suffix = "." + tag + ".new";
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path& p = it->path();
        const std::string name = p.filename().string();
        if (it->is_symlink(ec))
            continue;
        if (it->is_directory(ec)) {
            if (depth > 0)
                removeStray(p, tag, depth - 1);
        } else if (name.size() > suffix.size()
                   && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0) {
            ::unlink(p.c_str());
        }
    }
}

} // namespace

FileTransaction::FileTransaction(fs::path folder, std::string tag)
    : dir(fs::absolute(folder)) // a target's folder must be one ("." has no parent of its own)
    , tag(std::move(tag))
{
}

FileTransaction::~FileTransaction()
{
    if (done)
        return;
    for (const auto& e : entries)
        if (!e.remove)
            ::unlink(withSuffix(e.target, tag, "new").c_str());
}

fs::path FileTransaction::resolve(const fs::path& file) const
{
    return followLinks(file.is_absolute() ? file : dir / file);
}

fs::path FileTransaction::journal() const { return dir / (tag + ".journal"); }

bool FileTransaction::stage(const fs::path& file, std::string_view bytes)
{
    Entry e{resolve(file), false};
    if (e.target.string().find('\n') != std::string::npos)
        return false;
    if (!writeFileSynced(withSuffix(e.target, tag, "new"), bytes, e.target))
        return false;
    faultPoint("transaction:staged");
    entries.push_back(std::move(e));
    return true;
}

fs::path FileTransaction::stagedFile(const fs::path& file)
{
    Entry e{resolve(file), false};
    fs::path staged = withSuffix(e.target, tag, "new");
    entries.push_back(std::move(e));
    return staged;
}

void FileTransaction::stageRemoval(const fs::path& file)
{
    entries.push_back(Entry{resolve(file), true});
}

bool FileTransaction::checkTargets() const
{
    for (const auto& e : entries) {
        // The journal names its targets a line each.
        if (e.target.string().find('\n') != std::string::npos)
            return false;
        const fs::path parent = e.target.parent_path();
        std::error_code ec;
        if (!fs::is_directory(parent, ec) || ::access(parent.c_str(), W_OK) != 0)
            return false;
        if (fs::is_directory(fs::symlink_status(e.target, ec)))
            return false;
    }
    return true;
}

bool FileTransaction::commit()
{
    done = true;
    std::vector<JournalLine> lines;
    for (const auto& e : entries)
        lines.push_back({e.remove, e.target});
    auto discard = [&] {
        for (const auto& l : lines)
            if (!l.remove)
                ::unlink(withSuffix(l.target, tag, "new").c_str());
        return false;
    };
    if (!checkTargets())
        return discard();
    // Every staged file whole on the disk, and its name, before the journal names it.
    for (const auto& l : lines) {
        if (l.remove)
            continue;
        const int fd = ::open(withSuffix(l.target, tag, "new").c_str(), O_RDONLY | O_CLOEXEC);
        const bool synced = fd >= 0 && ::fsync(fd) == 0;
        if (fd >= 0)
            ::close(fd);
        if (!synced)
            return discard();
    }
    for (const auto& l : lines)
        syncFolder(l.target.parent_path());
    if (!replaceFileAtomically(journal(), journalText(lines)))
        return discard();
    faultPoint("transaction:journal");
    for (const auto& l : lines) {
        if (!applyLine(l, tag)) {
            rollBack(journal(), lines, tag);
            return false;
        }
        faultPoint("transaction:replaced");
    }
    finish(journal(), lines, tag);
    return true;
}

void FileTransaction::recoverIfFree(const std::filesystem::path& dir, const std::string& tag)
{
    if (const auto lock = FolderLock::tryAcquire(dir))
        recover(dir, tag);
}

void FileTransaction::recover(const fs::path& folder, const std::string& tag)
{
    const fs::path dir = fs::absolute(folder);
    const fs::path path = dir / (tag + ".journal");
    const fs::path marker = dir / (tag + ".rollback");
    if (const auto lines = readJournal(marker)) {
        rollBack(path, *lines, tag);
        return;
    }
    const auto lines = readJournal(path);
    if (!lines) {
        fs::path unfinished = path;
        unfinished += ".tmp";
        ::unlink(unfinished.c_str()); // a journal that was never complete
        removeStray(dir, tag, 1);
        return;
    }
    bool ok = true;
    for (const auto& l : *lines)
        ok = ok && applyLine(l, tag);
    if (ok)
        finish(path, *lines, tag);
    else
        rollBack(path, *lines, tag);
}

} // namespace kestrelan
