#include "formats/Handoff.h"

#include "platform/core/Cp949.h"
#include "platform/core/Text.h"
#include "platform/core/TextFile.h"

#include <cstdlib>
#include <stdexcept>

namespace kestrelan {

namespace {

// The program folder as line 1 begins: with its "/".
std::string folderPrefix(const std::filesystem::path& programDir)
{
    std::string prefix = programDir.string();
    if (prefix.empty() || prefix.back() != '/')
        prefix += '/';
    return prefix;
}

} // namespace

bool isFileName(const std::string& name)
{
    if (name.empty() || name == "." || name == ".." || name.size() > 200)
        return false;
    for (unsigned char c : name)
        if (c == '/' || c < 0x20 || c == 0x7F)
            return false;
    return true;
}

std::optional<std::string> fileNameProblem(const std::string& name)
{
    if (isFileName(name))
        return std::nullopt;
    return "\"" + name + "\"은(는) 엑셀 파일 이름으로 쓸 수 없습니다.";
}

bool writeHandoff(const std::filesystem::path& file, const std::filesystem::path& programDir,
                  std::string_view nameCp949, int stockCount)
{
    const std::string text = folderPrefix(programDir) + std::string(nameCp949) + "\n" + std::to_string(stockCount) + "\n";
    return replaceFileAtomically(file, toCrLf(text));
}

Handoff readHandoff(const std::filesystem::path& file, const std::filesystem::path& programDir)
{
    auto reader = TextReader::open(file);
    if (!reader)
        throw std::runtime_error("엑셀 전달 파일(" + file.string() + ")을 읽을 수 없습니다.");
    const std::string first(trimRight(reader->getLine(4096).value_or(""), "\r\n"));
    const std::string second = reader->getLine(64).value_or("0");
    const std::string prefix = folderPrefix(programDir);
    const std::string name
        = first.rfind(prefix, 0) == 0 ? first.substr(prefix.size()) : first.substr(first.rfind('/') + 1);
    Handoff h;
    h.name = fromCp949Lossy(name);
    h.stockCount = std::atoi(second.c_str());
    if (const auto problem = fileNameProblem(h.name))
        throw std::runtime_error(*problem);
    return h;
}

} // namespace kestrelan
