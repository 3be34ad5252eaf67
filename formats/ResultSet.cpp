#include "formats/ResultSet.h"

#include "platform/core/FileTransaction.h"

#include <string>

namespace kestrelan {

void recoverResults(const std::filesystem::path& dir)
{
    FileTransaction::recoverIfFree(dir, std::string(resultsTag));
}

} // namespace kestrelan
