#pragma once
// An error that stops a run; what() is the Korean message the user sees.

#include <stdexcept>
#include <string>

namespace kestrelan {

class EngineError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

/// "<name> 파일을 쓸 수 없습니다." for a file that cannot be created or written.
inline EngineError cannotWrite(const std::string& name)
{
    return EngineError(name + " 파일을 쓸 수 없습니다. 폴더의 쓰기 권한과 남은 디스크 공간을 확인하세요.");
}

} // namespace kestrelan
