#include "mainform/core/Groups.h"

#include "engine/MarketData.h"
#include "platform/core/Cp949.h"
#include "platform/core/Format.h"
#include "platform/core/Text.h"
#include "platform/core/TextFile.h"

namespace kestrelan {

namespace {

constexpr std::size_t groupLine = groupNameSize + 1;                 // read size: name and LF
constexpr std::size_t itemLine = groupNameSize + stockEntrySize + 1; // name, entry, LF

// Fixed-size text-mode chunks of a file; a short last chunk is left out.
std::vector<std::string> chunks(const std::filesystem::path& path, std::size_t size)
{
    std::vector<std::string> out;
    if (auto reader = TextReader::open(path))
        forEachRecord(*reader, size, [&](std::string chunk) { out.push_back(std::move(chunk)); });
    return out;
}

bool rewrite(const std::filesystem::path& path, const std::string& text)
{
    return replaceFileAtomically(path, toCrLf(text));
}

std::string existing(const std::filesystem::path& path) { return readWholeFile(path).value_or(std::string()); }

// Keeps the file as it is now under the backup name (an empty backup when it is missing, so a
// backup never describes an older state than the one just replaced).
bool backUp(const std::filesystem::path& file, const std::filesystem::path& backup)
{
    std::error_code ec;
    std::filesystem::remove(backup, ec);
    const auto bytes = readWholeFile(file);
    if (!bytes)
        return true;
    return replaceFileAtomically(backup, *bytes);
}

} // namespace

std::vector<std::string> readGroupNames(const std::filesystem::path& dir)
{
    std::vector<std::string> names;
    for (auto& chunk : chunks(dir / "group.lst", groupLine))
        names.push_back(chunk.substr(0, groupNameSize));
    return names;
}

GroupResult registerGroup(const std::filesystem::path& dir, const std::string& name,
                          const std::vector<std::string>& entries)
{
    if (name.size() > groupNameSize)
        return GroupResult::TooLong;
    for (const auto& stored : readGroupNames(dir))
        if (trimRight(stored) == name)
            return GroupResult::Duplicate;
    const std::string padded = padBytes(name, groupNameSize);
    std::string items;
    for (const auto& entry : entries)
        items += padded + padBytes(entry, stockEntrySize) + "\n";
    // item.lst first: a group name whose members are missing would load an empty portfolio.
    if (!replaceFileAtomically(dir / "item.lst", existing(dir / "item.lst") + toCrLf(items)))
        return GroupResult::Failed;
    if (!replaceFileAtomically(dir / "group.lst", existing(dir / "group.lst") + toCrLf(padded + "\n")))
        return GroupResult::Failed;
    return GroupResult::Done;
}

bool deleteGroup(const std::filesystem::path& dir, const std::string& paddedName)
{
    std::string groups, items;
    for (const auto& chunk : chunks(dir / "group.lst", groupLine))
        if (chunk.compare(0, groupNameSize, paddedName) != 0)
            groups += chunk.substr(0, groupNameSize) + "\n";
    for (const auto& chunk : chunks(dir / "item.lst", itemLine))
        if (chunk.compare(0, groupNameSize, paddedName) != 0)
            items += chunk.substr(0, itemLine - 1) + "\n";
    if (!backUp(dir / "group.lst", dir / "group.bak") || !backUp(dir / "item.lst", dir / "item.bak"))
        return false;
    return rewrite(dir / "group.lst", groups) && rewrite(dir / "item.lst", items);
}

std::vector<std::string> loadGroup(const std::filesystem::path& dir, const std::string& paddedName)
{
    std::vector<std::string> entries;
    for (const auto& chunk : chunks(dir / "item.lst", itemLine))
        if (chunk.compare(0, groupNameSize, paddedName) == 0)
            entries.push_back(chunk.substr(groupNameSize, stockEntrySize));
    return entries;
}

std::string portfolioLine(int position, const std::string& entry)
{
    return format(position < 10 ? "0%d  " : "%d  ", position) + entry;
}

} // namespace kestrelan
