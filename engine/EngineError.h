#pragma once
// An error that stops a run; what() is the Korean message the user sees, reason() why it stopped
// and file() the file it is about, when it is about one.

#include "engine/RunResult.h"

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>

namespace kestrelan {

class EngineError : public std::runtime_error
{
public:
    EngineError(StopReason reason, const std::string& message, std::filesystem::path file = {})
        : std::runtime_error(message)
        , why(reason)
        , path(std::move(file))
    {
    }
    /// A setting the run cannot start with.
    explicit EngineError(const SettingProblem& problem)
        : std::runtime_error(problem.message)
        , why(StopReason::Setting)
        , refused(problem.setting)
    {
    }
    StopReason reason() const { return why; }
    const std::filesystem::path& file() const { return path; }
    std::optional<Setting> setting() const { return refused; }

private:
    StopReason why;
    std::filesystem::path path;
    std::optional<Setting> refused;
};

/// "<name> 파일을 쓸 수 없습니다." for a file (or the files in a folder) that cannot be created or
/// written.
inline EngineError cannotWrite(const std::string& name, std::filesystem::path file)
{
    return EngineError(StopReason::CannotWrite,
                       name + " 파일을 쓸 수 없습니다. 폴더의 쓰기 권한과 남은 디스크 공간을 확인하세요.",
                       std::move(file));
}

} // namespace kestrelan
