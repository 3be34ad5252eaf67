#include "platform/core/Cp949.h"

#include <cerrno>
#include <iconv.h>

namespace kestrelan {

namespace {

// One conversion with iconv. With `lossy`, an unconvertible byte becomes U+FFFD (only used
// towards UTF-8); otherwise the first one throws.
std::string convert(std::string_view in, const char* to, const char* from, bool lossy)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        throw std::runtime_error(std::string("iconv cannot convert from ") + from + " to " + to);
    std::string out;
    out.resize(in.size() * 2 + 16);
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size();
    std::size_t done = 0;
    while (srcLeft > 0) {
        char* dst = out.data() + done;
        std::size_t dstLeft = out.size() - done;
        const std::size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        done = out.size() - dstLeft;
        if (r != static_cast<std::size_t>(-1))
            break;
        if (errno == E2BIG) {
            out.resize(out.size() * 2);
            continue;
        }
        const std::size_t offset = in.size() - srcLeft;
        if (lossy) {
            out.resize(done);
            out += "\xEF\xBF\xBD";
            ++src;
            --srcLeft;
            done = out.size();
            out.resize(done + srcLeft * 2 + 16);
            continue;
        }
        iconv_close(cd);
        throw Cp949Error(
            std::string(errno == EILSEQ ? "a character that cannot be converted" : "an incomplete character") + " from "
                + from + " to " + to + " at byte " + std::to_string(offset),
            offset);
    }
    iconv_close(cd);
    out.resize(done);
    return out;
}

} // namespace

std::string toCp949(std::string_view utf8) { return convert(utf8, "CP949", "UTF-8", false); }

std::string fromCp949(std::string_view cp949) { return convert(cp949, "UTF-8", "CP949", false); }

std::string fromCp949Lossy(std::string_view cp949) { return convert(cp949, "UTF-8", "CP949", true); }

std::string_view cutBytes(std::string_view s, std::size_t width)
{
    std::size_t i = 0;
    while (i < s.size()) {
        const std::size_t len = cp949CharLength(s, i);
        if (i + len > width)
            break;
        i += len;
    }
    return s.substr(0, i);
}

std::string padBytes(std::string_view s, std::size_t width, char fill)
{
    std::string out(cutBytes(s, width));
    out.append(width - out.size(), fill);
    return out;
}

} // namespace kestrelan
