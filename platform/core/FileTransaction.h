#pragma once
// Several files of a folder replaced (or removed) together: after a failure, a full disk or a
// kill at any point they are all as they were or all as new, never some of each.
//
// The new contents are first staged beside their targets ("<file>.<tag>.<nonce>.new", created
// new, never through a link, and synced; the nonce is random per transaction, so no other
// writer and nothing planted beforehand shares the name). Only then does the journal
// "<tag>.journal" in the folder name the nonce and the targets; the targets are replaced one by
// one, each old file kept as "<file>.<tag>.<nonce>.old" until the last new one is in place, and
// the journal goes last. A commit that fails part way puts the old files
// back. recover() runs before the files are next read: with a journal it finishes the commit
// (every staged file was whole before the journal was written) or completes its roll-back,
// without one it removes what a half-staged transaction left behind.

#include "platform/core/TextFile.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace kestrelan {

class FileTransaction
{
public:
    /// `tag` names the kind of change ("groups", "import", "results"); one transaction of a tag
    /// at a time per folder (the folder lock sees to that).
    FileTransaction(std::filesystem::path dir, std::string tag);
    /// An uncommitted transaction removes what it staged.
    ~FileTransaction();
    FileTransaction(const FileTransaction&) = delete;
    FileTransaction& operator=(const FileTransaction&) = delete;

    /// Stages the new bytes of a file (a path relative to the folder, or absolute). A symbolic
    /// link at the target gives way to the new file, or with LinkAtName::Follow the file it
    /// points to is replaced (the files a user keeps: groups, the market lists). An existing
    /// target's mode is kept. False when the bytes cannot be written (nothing of the target changed).
    bool stage(const std::filesystem::path& file, std::string_view bytes, LinkAtName links = LinkAtName::Replace);
    /// Registers a file whose new content the caller writes itself, at the returned staged path,
    /// which it creates new (TextWriter::Mode::CreateNew; a writer that streams, like a run's
    /// result files); commit() syncs it before the journal.
    std::filesystem::path stagedFile(const std::filesystem::path& file);
    /// Stages the removal of a file (nothing happens if it does not exist): a link at the name
    /// is removed itself, or with LinkAtName::Follow the file it points to.
    void stageRemoval(const std::filesystem::path& file, LinkAtName links = LinkAtName::Replace);

    /// Replaces every staged file. False when a step failed: every target is then as before.
    bool commit();

    /// Finishes or undoes an interrupted transaction of the tag in the folder.
    static void recover(const std::filesystem::path& dir, const std::string& tag);
    /// recover() when no other process holds the folder; else the holder finishes its own.
    static void recoverIfFree(const std::filesystem::path& dir, const std::string& tag);

private:
    /// Every target can be replaced: its folder exists and may be written, it is not a folder
    /// itself, and its name holds no line end. commit() checks it before anything moves.
    bool checkTargets() const;
    struct Entry
    {
        std::filesystem::path target; // the file itself, symbolic links resolved
        bool remove = false;
    };
    std::filesystem::path resolve(const std::filesystem::path& file, LinkAtName links) const;
    std::filesystem::path journal() const;

    std::filesystem::path dir;
    std::string tag;
    std::string nonce; // random per transaction: the staged and kept files' names hold it
    std::vector<Entry> entries;
    bool done = false;
};

} // namespace kestrelan
