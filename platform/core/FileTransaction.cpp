#include "platform/core/FileTransaction.h"
#include "platform/core/FolderLock.h"

#include "platform/core/FaultPoint.h"
#include "platform/core/TextFile.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrelan {

namespace {

namespace fs = std::filesystem;

// How one transaction names what it stages and what it keeps: "<file>.<tag>.<nonce>.new" and
// ".old" (a journal without a nonce names them "<file>.<tag>.new" and ".old").
struct Names
{
    std::string tag;
    std::string nonce;
    fs::path staged(const fs::path& file) const { return with(file, "new"); }
    fs::path old(const fs::path& file) const { return with(file, "old"); }
    fs::path with(const fs::path& file, const char* kind) const
    {
        fs::path p = file;
        p += "." + tag + "." + (nonce.empty() ? std::string() : nonce + ".") + kind;
        return p;
    }
};

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
    // a roll-back would put over the target. What a killed copy left is removed first (a link
    // there goes itself), and the copy is created new.
    const auto bytes = readWholeFile(target);
    const fs::path copy = old.string() + ".part";
    ::unlink(copy.c_str());
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

std::string journalText(const std::vector<JournalLine>& lines, const std::string& nonce)
{
    std::string text = "commit " + nonce + "\n";
    for (const auto& l : lines)
        text += (l.remove ? "D " : "R ") + l.target.string() + "\n";
    return text;
}

struct Journal
{
    std::string nonce;
    std::vector<JournalLine> lines;
};

// A journal is the program's own file: a link at its name is not one.
std::optional<std::string> readOwnFile(const fs::path& path)
{
    struct stat st
    {
    };
    if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    return readWholeFile(path);
}

std::optional<Journal> readJournal(const fs::path& path)
{
    const auto bytes = readOwnFile(path);
    if (!bytes)
        return std::nullopt;
    Journal journal;
    std::vector<JournalLine>& lines = journal.lines;
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
            if (line.starts_with("commit "))
                journal.nonce = line.substr(7);
        } else if (line.size() > 2 && (line[0] == 'R' || line[0] == 'D') && line[1] == ' ') {
            lines.push_back({line[0] == 'D', line.substr(2)});
        }
    }
    return journal;
}

// One step of a commit: the old file kept, then the new one renamed over it (or the file removed).
bool applyLine(const JournalLine& l, const Names& names)
{
    const fs::path staged = names.staged(l.target);
    if (!l.remove && !present(staged))
        return true; // done before
    if (!keepOld(l.target, names.old(l.target)))
        return false;
    if (l.remove)
        return ::unlink(l.target.c_str()) == 0 || errno == ENOENT;
    return ::rename(staged.c_str(), l.target.c_str()) == 0;
}

void undoLine(const JournalLine& l, const Names& names)
{
    const fs::path staged = names.staged(l.target);
    const fs::path old = names.old(l.target);
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

void finish(const fs::path& journal, const std::vector<JournalLine>& lines, const Names& names)
{
    syncParents(lines);
    for (const auto& l : lines)
        ::unlink(names.old(l.target).c_str());
    ::unlink(journal.c_str());
    syncFolder(journal.parent_path());
    faultPoint("transaction:finished");
}

// The roll-back is marked by renaming the journal, which needs no room on the disk: a kill during
// the roll-back then finishes the roll-back, never a commit.
void rollBack(const fs::path& journal, const std::vector<JournalLine>& lines, const Names& names)
{
    fs::path marker = journal;
    marker.replace_extension(".rollback");
    if (present(journal))
        ::rename(journal.c_str(), marker.c_str());
    syncFolder(journal.parent_path());
    for (const auto& l : lines)
        undoLine(l, names);
    syncParents(lines);
    ::unlink(marker.c_str());
    ::unlink(journal.c_str());
    syncFolder(journal.parent_path());
}

bool isNonce(std::string_view s)
{
    return s.size() == 16
        && std::all_of(s.begin(), s.end(), [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

// A staged file's name: "<file>.<tag>.new", or "<file>.<tag>.<nonce>.new".
bool isStagedName(std::string_view name, const std::string& tag)
{
    if (!name.ends_with(".new"))
        return false;
    name.remove_suffix(4);
    const std::string plain = "." + tag;
    if (name.size() > plain.size() && name.ends_with(plain))
        return true;
    const auto dot = name.rfind('.');
    return dot != std::string_view::npos && isNonce(name.substr(dot + 1)) && dot > plain.size()
        && name.substr(0, dot).ends_with(plain);
}

// The scratch file of a journal that was never complete: "<tag>.journal.<16 hex>.tmp".
bool isJournalScratch(std::string_view name, const std::string& tag)
{
    const std::string start = tag + ".journal.";
    return name.size() == start.size() + 20 && name.starts_with(start) && name.ends_with(".tmp")
        && isNonce(name.substr(start.size(), 16));
}

// Staged files of a transaction that never reached its journal, in the folder and the folders
// inside it (a link that only looks like one is not followed).
void removeStray(const fs::path& dir, const std::string& tag, int depth)
{
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path& p = it->path();
        if (it->is_symlink(ec))
            continue;
        if (it->is_directory(ec)) {
            if (depth > 0)
                removeStray(p, tag, depth - 1);
        } else if (isStagedName(p.filename().string(), tag)
                   || (depth > 0 && isJournalScratch(p.filename().string(), tag))) {
            ::unlink(p.c_str());
        }
    }
}

} // namespace

FileTransaction::FileTransaction(fs::path folder, std::string tag)
    : dir(fs::absolute(folder)) // a target's folder must be one ("." has no parent of its own)
    , tag(std::move(tag))
    , nonce(randomTag())
{
}

FileTransaction::~FileTransaction()
{
    if (done)
        return;
    const Names names{tag, nonce};
    for (const auto& e : entries)
        if (!e.remove)
            ::unlink(names.staged(e.target).c_str());
}

fs::path FileTransaction::resolve(const fs::path& file, LinkAtName links) const
{
    const fs::path path = file.is_absolute() ? file : dir / file;
    return links == LinkAtName::Follow ? followLinks(path) : path.lexically_normal();
}

fs::path FileTransaction::journal() const { return dir / (tag + ".journal"); }

bool FileTransaction::stage(const fs::path& file, std::string_view bytes, LinkAtName links)
{
    Entry e{resolve(file, links), false};
    if (e.target.string().find('\n') != std::string::npos)
        return false;
    struct stat st
    {
    };
    const bool regular = ::lstat(e.target.c_str(), &st) == 0 && S_ISREG(st.st_mode);
    if (!writeFileSynced(Names{tag, nonce}.staged(e.target), bytes, regular ? e.target : fs::path()))
        return false;
    faultPoint("transaction:staged");
    entries.push_back(std::move(e));
    return true;
}

fs::path FileTransaction::stagedFile(const fs::path& file)
{
    Entry e{resolve(file, LinkAtName::Replace), false};
    fs::path staged = Names{tag, nonce}.staged(e.target);
    entries.push_back(std::move(e));
    return staged;
}

void FileTransaction::stageRemoval(const fs::path& file, LinkAtName links)
{
    entries.push_back(Entry{resolve(file, links), true});
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
    const Names names{tag, nonce};
    std::vector<JournalLine> lines;
    for (const auto& e : entries)
        lines.push_back({e.remove, e.target});
    auto discard = [&] {
        for (const auto& l : lines)
            if (!l.remove)
                ::unlink(names.staged(l.target).c_str());
        return false;
    };
    if (!checkTargets())
        return discard();
    // Every staged file whole on the disk, and its name, before the journal names it.
    for (const auto& l : lines) {
        if (l.remove)
            continue;
        const int fd = ::open(names.staged(l.target).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        const bool synced = fd >= 0 && ::fsync(fd) == 0;
        if (fd >= 0)
            ::close(fd);
        if (!synced)
            return discard();
    }
    for (const auto& l : lines)
        syncFolder(l.target.parent_path());
    if (!replaceFileAtomically(journal(), journalText(lines, nonce)))
        return discard();
    faultPoint("transaction:journal");
    for (const auto& l : lines) {
        if (!applyLine(l, names)) {
            rollBack(journal(), lines, names);
            return false;
        }
        faultPoint("transaction:replaced");
    }
    finish(journal(), lines, names);
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
    if (const auto journal = readJournal(marker)) {
        rollBack(path, journal->lines, Names{tag, journal->nonce});
        return;
    }
    const auto journal = readJournal(path);
    if (!journal) {
        removeStray(dir, tag, 1);
        return;
    }
    const Names names{tag, journal->nonce};
    bool ok = true;
    for (const auto& l : journal->lines)
        ok = ok && applyLine(l, names);
    if (ok)
        finish(path, journal->lines, names);
    else
        rollBack(path, journal->lines, names);
}

} // namespace kestrelan
