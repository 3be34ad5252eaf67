#include "formats/ResultSet.h"

#include "platform/core/FileTransaction.h"
#include "platform/core/FolderLock.h"

#include <string>

namespace kestrelan {

void recoverResults(const std::filesystem::path& dir)
{
    if (const auto lock = FolderLock::tryAcquire(dir))
        FileTransaction::recover(dir, std::string(resultsTag));
}

} // namespace kestrelan
