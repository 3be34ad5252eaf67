#pragma once
// Several files of a folder replaced (or removed) together: after a failure, a full disk or a
// kill at any point they are all as they were or all as new, never some of each.
//
// The new contents are first staged beside their targets ("<file>.<tag>.new", written and
// synced). Only then does the journal "<tag>.journal" in the folder name the targets; the
// targets are replaced one by one, each old file kept as "<file>.<tag>.old" until the last new
// one is in place, and the journal goes last. A commit that fails part way puts the old files
// back. recover() runs before the files are next read: with a journal it finishes the commit
// (every staged file was whole before the journal was written) or completes its roll-back,
// without one it removes what a half-staged transaction left behind.

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

    /// Stages the new bytes of a file (a path relative to the folder, or absolute). A target that
    /// is a symbolic link is replaced at the file it points to; an existing target's mode is
    /// kept. False when the bytes cannot be written (nothing of the target changed).
    bool stage(const std::filesystem::path& file, std::string_view bytes);
    /// Registers a file whose new content the caller writes itself, at the returned staged path
    /// (a writer that streams, like a run's result files); commit() syncs it before the journal.
    std::filesystem::path stagedFile(const std::filesystem::path& file);
    /// Stages the removal of a file (nothing happens if it does not exist).
    void stageRemoval(const std::filesystem::path& file);

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
    std::filesystem::path resolve(const std::filesystem::path& file) const;
    std::filesystem::path journal() const;

    std::filesystem::path dir;
    std::string tag;
    std::vector<Entry> entries;
    bool done = false;
};

} // namespace kestrelan
