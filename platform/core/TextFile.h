#pragma once
// Files in the Windows text mode the data formats were made with: a "\n" written becomes
// CR LF on disk, CR LF read back becomes "\n", and seeks are raw byte offsets. Readers work on
// the whole file in memory; writers stream through a large buffer.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace kestrelan {

/// What every reader takes at most of a file unless its format sets a limit of its own.
constexpr std::size_t defaultFileLimit = std::size_t(1) << 30;

/// A file larger than its reader takes; what() is the Korean message that names it.
class FileTooLarge : public std::runtime_error
{
public:
    FileTooLarge(const std::filesystem::path& path, std::size_t limit);
};

/// Reads the whole file; nullopt when it cannot be opened or read. Throws FileTooLarge when it
/// holds more than `limit` bytes (a device or pipe that never ends included).
std::optional<std::string> readWholeFile(const std::filesystem::path& path, std::size_t limit = defaultFileLimit);

/// A file's bytes with the reads of the C runtime's text mode.
class TextReader
{
public:
    explicit TextReader(std::string bytes);

    /// nullopt when the file cannot be opened; FileTooLarge beyond `limit` bytes.
    static std::optional<TextReader> open(const std::filesystem::path& path, std::size_t limit = defaultFileLimit);

    /// Buffered read of up to n characters (fread in text mode): CR LF yields one "\n" and
    /// consumes both bytes; a lone CR stays a CR. Returns fewer characters only at the end.
    std::string read(std::size_t n);

    /// Low-level read of n raw bytes (read() in text mode): the bytes are taken first, then CR LF
    /// pairs among them collapse, so a 40-byte line ending in CR LF yields 39 characters. A CR
    /// at the end of the chunk takes a following LF with it.
    std::string readRaw(std::size_t n);

    /// One line as fgets reads it with a buffer of `limit` bytes: at most limit - 1 characters,
    /// ending after the first "\n". nullopt at the end of the file.
    std::optional<std::string> getLine(std::size_t limit);

    void seek(std::size_t byteOffset) { pos = byteOffset < data.size() ? byteOffset : data.size(); }
    std::size_t tell() const { return pos; }
    std::size_t size() const { return data.size(); }
    bool atEnd() const { return pos >= data.size(); }
    const std::string& bytes() const { return data; }

private:
    // Next character in text mode, or -1 at the end.
    int nextChar();

    std::string data;
    std::size_t pos = 0;
};

/// Calls `onRecord` with each record of `size` characters read in text mode from the reader's
/// position, until a read comes up short: a truncated last record is not a record.
template <class OnRecord>
void forEachRecord(TextReader& reader, std::size_t size, OnRecord&& onRecord)
{
    for (;;) {
        std::string record = reader.read(size);
        if (record.size() < size)
            return;
        onRecord(std::move(record));
    }
}

/// The file's bytes with every CR LF as LF, as a text-mode read yields them.
std::string textModeBytes(std::string_view raw);

/// Output file in text mode. Errors are remembered and reported by close().
class TextWriter
{
public:
    TextWriter() = default;
    ~TextWriter();
    TextWriter(const TextWriter&) = delete;
    TextWriter& operator=(const TextWriter&) = delete;
    TextWriter(TextWriter&& other) noexcept;
    TextWriter& operator=(TextWriter&& other) noexcept;

    enum class Mode
    {
        Create,
        Append,
        CreateNew // a file that does not exist yet: a link or a file at the name is refused
    };
    /// Creates (truncates) or appends; false when the file cannot be opened.
    bool open(const std::filesystem::path& path, Mode mode = Mode::Create);
    bool isOpen() const { return file != nullptr; }

    /// Writes text with every "\n" turned into CR LF.
    void write(std::string_view text);
    /// Writes bytes exactly as given.
    void writeRaw(std::string_view bytes);
    /// printf-style, then write().
    void print(const char* fmt, ...) __attribute__((format(printf, 2, 3)));

    /// Flushes and closes; false when any write or the close failed.
    bool close();

private:
    std::FILE* file = nullptr;
    bool failed = false;
};

/// What a replacement does with a symbolic link at the name it replaces.
enum class LinkAtName
{
    Replace, // the link itself gives way to the new file; what it points to stays as it is
    Follow   // the file it points to is replaced (by a rename in that file's folder), the link stays
};

/// Replaces a file's content: the bytes go to a scratch file of a name no other writer uses,
/// created beside the target (O_EXCL, O_NOFOLLOW), which is then renamed over it, so a reader
/// sees the old content or the new, never half of one, and nothing is ever written through a
/// link. The file's mode is kept.
bool replaceFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                           LinkAtName links = LinkAtName::Replace);

/// Cuts the file (created when missing) to its first `keep` bytes and writes the bytes after
/// them, synced to the disk. False when any step fails.
bool rewriteFrom(const std::filesystem::path& path, std::uintmax_t keep, std::string_view bytes);

/// Makes a folder's entries (creations, renames, removals) durable.
bool syncFolder(const std::filesystem::path& dir);

/// The file a path names once symbolic links are followed (a dangling link gives where it points).
std::filesystem::path followLinks(const std::filesystem::path& path);

/// Creates `path`, which must not exist yet (a link at the name is not followed: the creation
/// fails), with the bytes, and syncs it to the disk. The mode is that of `modeOf` when that file
/// exists, else the default for new files. False, and no file left behind, when any step fails.
bool writeFileSynced(const std::filesystem::path& path, std::string_view bytes,
                     const std::filesystem::path& modeOf = {});

/// Sixteen random hexadecimal digits: the part of a scratch file's name that no other writer
/// guesses.
std::string randomTag();

/// The scratch file beside `target` that replaceFileAtomically writes: "<name>.<tag>.tmp".
std::filesystem::path scratchFileOf(const std::filesystem::path& target, std::string_view tag);

/// Removes the scratch files a killed replaceFileAtomically left in `dir` ("<name>.<16 hex
/// digits>.tmp"). Only a writer that holds the folder exclusively calls it.
void removeScratchFiles(const std::filesystem::path& dir);

/// Text as text mode writes it: every "\n" becomes CR LF.
std::string toCrLf(std::string_view text);

} // namespace kestrelan
