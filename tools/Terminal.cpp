#include "tools/Terminal.h"

#include <cstdio>
#include <string>
#include <unistd.h>

namespace kestrelan {

IMessageSink::Answer StderrMessages::show(std::string_view text, Buttons)
{
    std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
    return Answer::Ok;
}

TerminalProgress::TerminalProgress(bool wanted)
    : enabled(wanted && isatty(STDERR_FILENO) != 0)
{
}

void TerminalProgress::begin(std::string_view text)
{
    if (!enabled)
        return;
    std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
    open = true;
    shown = -1;
    started = std::chrono::steady_clock::now();
    setPosition(0);
}

void TerminalProgress::setPosition(int percent)
{
    if (!enabled || !open || percent == shown)
        return;
    shown = percent;
    constexpr int width = 40;
    const int filled = std::max(0, std::min(width, percent * width / 100));
    // The time left at the pace so far, once there is a pace to go by.
    std::string left;
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    if (percent > 0 && percent < 100 && elapsed >= 1) {
        const int seconds = static_cast<int>(elapsed / percent * (100 - percent) + 0.5);
        left = seconds >= 60 ? " 약 " + std::to_string(seconds / 60) + "분 " + std::to_string(seconds % 60) + "초 남음"
                             : " 약 " + std::to_string(seconds) + "초 남음";
    }
    std::fprintf(stderr, "\r[%s%s] %3d%%%s   ", std::string(static_cast<std::size_t>(filled), '#').c_str(),
                 std::string(static_cast<std::size_t>(width - filled), ' ').c_str(), percent, left.c_str());
    std::fflush(stderr);
}

void TerminalProgress::end()
{
    if (enabled && open)
        std::fputc('\n', stderr);
    open = false;
}

} // namespace kestrelan
