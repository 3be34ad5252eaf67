#include "mainform/core/Groups.h"

#include "engine/MarketData.h"
#include "platform/core/Cp949.h"
#include "platform/core/FileTransaction.h"
#include "platform/core/FolderLock.h"
#include "platform/core/Format.h"
#include "platform/core/Text.h"
#include "platform/core/TextFile.h"

#include <algorithm>
#include <cerrno>
#include <sys/stat.h>

namespace kestrelan {

namespace {

constexpr std::size_t groupLine = groupNameSize + 1;                 // read size: name and LF
constexpr std::size_t itemLine = groupNameSize + stockEntrySize + 1; // name, entry, LF
constexpr std::string_view groupsTag = "groups";
constexpr std::string_view nameBlanks = " \t";

// A group file as a change finds it: its bytes, or the fact that it exists and cannot be read.
struct GroupFile
{
    std::string bytes; // empty for a file that does not exist
    bool readable = true;
};

GroupFile readGroupFile(const std::filesystem::path& path)
{
    struct stat info
    {
    };
    if (::lstat(path.c_str(), &info) != 0 && errno == ENOENT)
        return {};
    auto bytes = readWholeFile(path, groupFileLimit);
    if (!bytes)
        return {{}, false};
    return {std::move(*bytes), true};
}

// Fixed-size text-mode chunks of a file's bytes; a short last chunk is left out.
std::vector<std::string> chunks(std::string bytes, std::size_t size)
{
    std::vector<std::string> out;
    TextReader reader(std::move(bytes));
    forEachRecord(reader, size, [&](std::string chunk) { out.push_back(std::move(chunk)); });
    return out;
}

std::vector<std::string> chunksOf(const std::filesystem::path& path, std::size_t size)
{
    auto bytes = readWholeFile(path, groupFileLimit);
    return bytes ? chunks(std::move(*bytes), size) : std::vector<std::string>{};
}

// A change interrupted by a kill is finished or undone before the files are read again.
void recoverGroups(const std::filesystem::path& dir)
{
    std::error_code ec;
    if (!std::filesystem::exists(dir / (std::string(groupsTag) + ".journal"), ec)
        && !std::filesystem::exists(dir / (std::string(groupsTag) + ".rollback"), ec))
        return;
    FileTransaction::recoverIfFree(dir, std::string(groupsTag));
}

// A change's start: the folder held, an interrupted change finished or undone, both files read.
struct ChangeStart
{
    std::optional<FolderLock> lock;
    GroupFile groups, items;
    GroupResult problem = GroupResult::Done;
};

ChangeStart beginChange(const std::filesystem::path& dir)
{
    ChangeStart c;
    c.lock = FolderLock::tryAcquire(dir);
    if (!c.lock) {
        c.problem = GroupResult::Busy;
        return c;
    }
    FileTransaction::recover(dir, std::string(groupsTag));
    c.groups = readGroupFile(dir / "group.lst");
    c.items = readGroupFile(dir / "item.lst");
    if (!c.groups.readable || !c.items.readable)
        c.problem = GroupResult::Unreadable;
    return c;
}

} // namespace

const char* groupResultMessage(GroupResult result)
{
    switch (result) {
    case GroupResult::Done: return nullptr;
    case GroupResult::Duplicate: return "동일한 이름의 그룹이 있습니다.";
    case GroupResult::Blank: return "그룹명을 입력하세요.";
    case GroupResult::TooLong: return "그룹명은 30바이트(한글 15자, 영문 30자)까지 쓸 수 있습니다.";
    case GroupResult::Failed:
        return "그룹 파일(group.lst, item.lst)을 쓸 수 없습니다. 폴더의 쓰기 권한과 남은 디스크 공간을 확인하세요.";
    case GroupResult::Unreadable:
        return "그룹 파일(group.lst, item.lst)을 읽을 수 없어 그룹을 바꾸지 않았습니다. 파일의 읽기 권한을 확인하세요.";
    case GroupResult::Busy: return folderBusyMessage;
    }
    return nullptr;
}

std::vector<std::string> readGroupNames(const std::filesystem::path& dir)
{
    recoverGroups(dir);
    std::vector<std::string> names;
    for (auto& chunk : chunksOf(dir / "group.lst", groupLine))
        names.push_back(chunk.substr(0, groupNameSize));
    return names;
}

GroupResult registerGroup(const std::filesystem::path& dir, const std::string& typedName,
                          const std::vector<std::string>& entries)
{
    const std::string name(trim(typedName, nameBlanks));
    if (name.empty())
        return GroupResult::Blank;
    if (name.size() > groupNameSize)
        return GroupResult::TooLong;
    const ChangeStart start = beginChange(dir);
    if (start.problem != GroupResult::Done)
        return start.problem;
    const GroupFile& groups = start.groups;
    const GroupFile& items = start.items;
    for (const auto& stored : chunks(groups.bytes, groupLine))
        if (trim(std::string_view(stored).substr(0, groupNameSize), nameBlanks) == name)
            return GroupResult::Duplicate;
    const std::string padded = padBytes(name, groupNameSize);

    // Members left under this name by a registration that never got its name into group.lst
    // are not this group's: they go.
    std::string itemBytes = items.bytes;
    const auto stored = chunks(items.bytes, itemLine);
    if (std::any_of(stored.begin(), stored.end(),
                    [&](const auto& c) { return c.compare(0, groupNameSize, padded) == 0; })) {
        std::string kept;
        for (const auto& c : stored)
            if (c.compare(0, groupNameSize, padded) != 0)
                kept += c.substr(0, itemLine - 1) + "\n";
        itemBytes = toCrLf(kept);
    }
    std::string added;
    for (const auto& entry : entries)
        added += padded + padBytes(entry, stockEntrySize) + "\n";
    FileTransaction change(dir, std::string(groupsTag));
    if (!change.stage("item.lst", itemBytes + toCrLf(added), LinkAtName::Follow)
        || !change.stage("group.lst", groups.bytes + toCrLf(padded + "\n"), LinkAtName::Follow) || !change.commit())
        return GroupResult::Failed;
    return GroupResult::Done;
}

GroupResult deleteGroup(const std::filesystem::path& dir, const std::string& paddedName)
{
    const ChangeStart start = beginChange(dir);
    if (start.problem != GroupResult::Done)
        return start.problem;
    const GroupFile& groups = start.groups;
    const GroupFile& items = start.items;
    std::string keptGroups, keptItems;
    for (const auto& chunk : chunks(groups.bytes, groupLine))
        if (chunk.compare(0, groupNameSize, paddedName) != 0)
            keptGroups += chunk.substr(0, groupNameSize) + "\n";
    for (const auto& chunk : chunks(items.bytes, itemLine))
        if (chunk.compare(0, groupNameSize, paddedName) != 0)
            keptItems += chunk.substr(0, itemLine - 1) + "\n";
    // The backups hold the files as they were just before (none for a file that did not exist),
    // replaced in the same change as the files themselves.
    FileTransaction change(dir, std::string(groupsTag));
    std::error_code ec;
    for (const auto& [file, backup] : {std::pair{"group.lst", "group.bak"}, std::pair{"item.lst", "item.bak"}}) {
        const GroupFile& before = std::string_view(file) == "group.lst" ? groups : items;
        if (std::filesystem::exists(dir / file, ec)) {
            if (!change.stage(backup, before.bytes, LinkAtName::Follow))
                return GroupResult::Failed;
        } else {
            change.stageRemoval(backup, LinkAtName::Follow);
        }
    }
    if (!change.stage("group.lst", toCrLf(keptGroups), LinkAtName::Follow)
        || !change.stage("item.lst", toCrLf(keptItems), LinkAtName::Follow) || !change.commit())
        return GroupResult::Failed;
    return GroupResult::Done;
}

std::vector<std::string> loadGroup(const std::filesystem::path& dir, const std::string& paddedName)
{
    recoverGroups(dir);
    std::vector<std::string> entries;
    for (const auto& chunk : chunksOf(dir / "item.lst", itemLine))
        if (chunk.compare(0, groupNameSize, paddedName) == 0)
            entries.push_back(chunk.substr(groupNameSize, stockEntrySize));
    return entries;
}

std::string portfolioLine(int position, const std::string& entry)
{
    return format(position < 10 ? "0%d  " : "%d  ", position) + entry;
}

} // namespace kestrelan
