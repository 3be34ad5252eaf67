#include "platform/core/TextFile.h"

#include "platform/core/FaultPoint.h"
#include "platform/core/Format.h"

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace kestrelan {

FileTooLarge::FileTooLarge(const std::filesystem::path& path, std::size_t limit)
    : std::runtime_error(
        format("%s 파일이 너무 큽니다 (%zu바이트까지 읽을 수 있습니다).", path.filename().c_str(), limit))
{
}

std::optional<std::string> readWholeFile(const std::filesystem::path& path, std::size_t limit)
{
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return std::nullopt;
    // A regular file says its size: one beyond the limit is refused before a byte is read. Other
    // files (a pipe, a device that never ends) are read up to the limit.
    struct stat info
    {
    };
    if (::fstat(fileno(f), &info) == 0 && S_ISREG(info.st_mode) && static_cast<std::uintmax_t>(info.st_size) > limit) {
        std::fclose(f);
        throw FileTooLarge(path, limit);
    }
    std::string bytes;
    char buffer[1 << 16];
    std::size_t got;
    bool tooLarge = false;
    while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
        if (got > limit - bytes.size()) {
            tooLarge = true;
            break;
        }
        bytes.append(buffer, got);
    }
    const bool bad = std::ferror(f) != 0;
    std::fclose(f);
    if (tooLarge)
        throw FileTooLarge(path, limit);
    if (bad)
        return std::nullopt;
    return bytes;
}

TextReader::TextReader(std::string bytes)
    : data(std::move(bytes))
{
}

std::optional<TextReader> TextReader::open(const std::filesystem::path& path, std::size_t limit)
{
    auto bytes = readWholeFile(path, limit);
    if (!bytes)
        return std::nullopt;
    return TextReader(std::move(*bytes));
}

int TextReader::nextChar()
{
    if (pos >= data.size())
        return -1;
    const char c = data[pos++];
    if (c == '\r' && pos < data.size() && data[pos] == '\n') {
        ++pos;
        return '\n';
    }
    return static_cast<unsigned char>(c);
}

std::string TextReader::read(std::size_t n)
{
    std::string out;
    out.reserve(n);
    while (out.size() < n) {
        const int c = nextChar();
        if (c < 0)
            break;
        out.push_back(static_cast<char>(c));
    }
    return out;
}

std::string TextReader::readRaw(std::size_t n)
{
    const std::size_t take = std::min(n, data.size() - pos);
    std::string out;
    out.reserve(take);
    const std::size_t end = pos + take;
    for (std::size_t i = pos; i < end; ++i) {
        if (data[i] == '\r' && i + 1 < end && data[i + 1] == '\n')
            continue; // the LF that follows stands for the pair
        out.push_back(data[i]);
    }
    pos = end;
    if (!out.empty() && out.back() == '\r' && pos < data.size() && data[pos] == '\n') {
        out.back() = '\n';
        ++pos;
    }
    return out;
}

std::optional<std::string> TextReader::getLine(std::size_t limit)
{
    if (pos >= data.size() || limit < 2)
        return std::nullopt;
    std::string out;
    while (out.size() + 1 < limit) {
        const int c = nextChar();
        if (c < 0)
            break;
        out.push_back(static_cast<char>(c));
        if (c == '\n')
            break;
    }
    return out;
}

TextWriter::~TextWriter() { close(); }

TextWriter::TextWriter(TextWriter&& other) noexcept
    : file(other.file)
    , failed(other.failed)
{
    other.file = nullptr;
}

TextWriter& TextWriter::operator=(TextWriter&& other) noexcept
{
    if (this != &other) {
        close();
        file = other.file;
        failed = other.failed;
        other.file = nullptr;
    }
    return *this;
}

bool TextWriter::open(const std::filesystem::path& path, Mode mode)
{
    close();
    failed = false;
    if (mode == Mode::CreateNew) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        file = fd < 0 ? nullptr : ::fdopen(fd, "wb");
        if (fd >= 0 && !file)
            ::close(fd);
    } else {
        file = std::fopen(path.c_str(), mode == Mode::Create ? "wb" : "ab");
    }
    if (file)
        std::setvbuf(file, nullptr, _IOFBF, 1 << 16);
    return file != nullptr;
}

void TextWriter::writeRaw(std::string_view bytes)
{
    if (!file) {
        failed = true;
        return;
    }
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size())
        failed = true;
}

void TextWriter::write(std::string_view text)
{
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n') {
            writeRaw(text.substr(start, i - start));
            writeRaw("\r\n");
            start = i + 1;
        }
    }
    writeRaw(text.substr(start));
}

void TextWriter::print(const char* fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    const std::string text = vformat(fmt, args);
    va_end(args);
    write(text);
}

bool TextWriter::close()
{
    if (!file)
        return !failed;
    if (std::fflush(file) != 0 || std::ferror(file))
        failed = true;
    if (std::fclose(file) != 0)
        failed = true;
    file = nullptr;
    return !failed;
}

namespace {

// Every byte at `offset`, however many writes that takes.
bool writeAt(int fd, std::string_view bytes, std::uintmax_t offset)
{
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::pwrite(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

bool rewriteFrom(const std::filesystem::path& path, std::uintmax_t keep, std::string_view bytes)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    bool ok = ::ftruncate(fd, static_cast<off_t>(keep)) == 0 && writeAt(fd, bytes, keep) && ::fsync(fd) == 0;
    return ::close(fd) == 0 && ok;
}

std::filesystem::path followLinks(const std::filesystem::path& path)
{
    std::filesystem::path p = path;
    std::error_code ec;
    for (int hops = 0; hops < 40 && std::filesystem::is_symlink(p, ec); ++hops) {
        const auto target = std::filesystem::read_symlink(p, ec);
        if (ec)
            break;
        p = target.is_absolute() ? target : p.parent_path() / target;
    }
    return p.lexically_normal();
}

bool writeFileSynced(const std::filesystem::path& path, std::string_view bytes, const std::filesystem::path& modeOf)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    bool ok = true;
    struct stat st
    {
    };
    if (!modeOf.empty() && ::stat(modeOf.c_str(), &st) == 0)
        ok = ::fchmod(fd, st.st_mode & 07777) == 0;
    ok = ok && writeAt(fd, bytes, 0) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (!ok)
        ::unlink(path.c_str());
    return ok;
}

std::string randomTag()
{
    std::uint64_t bits = 0;
    for (std::size_t got = 0; got < sizeof bits;) {
        const ssize_t n = ::getrandom(reinterpret_cast<char*>(&bits) + got, sizeof bits - got, 0);
        if (n > 0)
            got += static_cast<std::size_t>(n);
        else if (errno != EINTR)
            throw std::system_error(errno, std::generic_category(), "getrandom");
    }
    return format("%016llx", static_cast<unsigned long long>(bits));
}

std::filesystem::path scratchFileOf(const std::filesystem::path& target, std::string_view tag)
{
    std::filesystem::path p = target;
    p += "." + std::string(tag) + ".tmp";
    return p;
}

namespace {

bool isTag(std::string_view s)
{
    return s.size() == 16
        && std::all_of(s.begin(), s.end(), [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

} // namespace

void removeScratchFiles(const std::filesystem::path& dir)
{
    std::error_code ec;
    for (std::filesystem::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        // "<name>.<tag>.tmp": the tag sits between the last two dots.
        if (name.size() < 22 || !name.ends_with(".tmp") || name[name.size() - 21] != '.')
            continue;
        if (isTag(std::string_view(name).substr(name.size() - 20, 16)))
            ::unlink(it->path().c_str());
    }
}

bool replaceFileAtomically(const std::filesystem::path& path, std::string_view bytes, LinkAtName links)
{
    const std::filesystem::path target = links == LinkAtName::Follow ? followLinks(path) : path;
    // The mode of the file being replaced: a link that gives way keeps nothing of its target's.
    struct stat st
    {
    };
    const bool regular = ::lstat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode);
    const std::filesystem::path tmp = scratchFileOf(target, randomTag());
    if (!writeFileSynced(tmp, bytes, regular ? target : std::filesystem::path()))
        return false;
    faultPoint("replace:written");
    if (::rename(tmp.c_str(), target.c_str()) != 0) {
        ::unlink(tmp.c_str());
        return false;
    }
    syncFolder(target.parent_path());
    return true;
}

bool syncFolder(const std::filesystem::path& dir)
{
    const int fd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

std::string textModeBytes(std::string_view raw)
{
    std::string out;
    out.reserve(raw.size());
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n')
            continue;
        out.push_back(raw[i]);
    }
    return out;
}

std::string toCrLf(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (char c : text) {
        if (c == '\n')
            out += "\r\n";
        else
            out.push_back(c);
    }
    return out;
}

} // namespace kestrelan
