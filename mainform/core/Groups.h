#pragma once
// Saved stock groups: group.lst holds one 30-byte padded name per group (32 bytes a line on
// disk), item.lst one record per member, the padded name followed by the 27-byte stock entry
// (59 bytes a line). Names and entries are CP949 bytes. A registration or a deletion changes
// both files together or neither, also across a kill (the next reader finishes or undoes it);
// a deletion keeps the previous files as group.bak and item.bak. A group file that exists but
// cannot be read stops a change rather than being taken for empty, and the folder is held by
// one writer at a time.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kestrelan {

constexpr std::size_t groupNameSize = 30;
/// The largest group file a reader takes.
constexpr std::size_t groupFileLimit = std::size_t(64) << 20;

/// The group names of group.lst in file order, 30 bytes each with their padding; empty when the
/// file is missing.
std::vector<std::string> readGroupNames(const std::filesystem::path& dir);

enum class GroupResult
{
    Done,
    Duplicate,  // "동일한 이름의 그룹이 있습니다."
    Blank,      // nothing but blanks
    TooLong,    // more than 30 bytes in CP949, once its blanks at both ends are gone
    Failed,     // a file could not be written; nothing was changed
    Unreadable, // group.lst or item.lst exists but cannot be read; nothing was changed
    Busy,       // another writer holds the folder; nothing was changed
};

/// What the user is told of a change's result (UTF-8); nullptr for Done.
const char* groupResultMessage(GroupResult result);

/// Appends a group: its name to group.lst and one record per entry to item.lst. The name is
/// taken without blanks at its ends; a stored name equal to it so taken is a duplicate.
GroupResult registerGroup(const std::filesystem::path& dir, const std::string& name,
                          const std::vector<std::string>& entries);

/// Removes the group whose padded 30-byte name is `paddedName` from both files, keeping the
/// files before as group.bak and item.bak.
GroupResult deleteGroup(const std::filesystem::path& dir, const std::string& paddedName);

/// The stock entries of the group, in the order they were registered (empty when item.lst is
/// missing).
std::vector<std::string> loadGroup(const std::filesystem::path& dir, const std::string& paddedName);

/// A portfolio line: the position ("0%d  " below 10, "%d  " from 10) and the entry.
std::string portfolioLine(int position, const std::string& entry);

} // namespace kestrelan
