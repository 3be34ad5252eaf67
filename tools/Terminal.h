#pragma once
// kestrelan-cli's stand-ins for the windows: messages on stderr, a progress bar on stderr when it
// is a terminal.

#include "platform/core/Sinks.h"

#include <chrono>

namespace kestrelan {

class StderrMessages : public IMessageSink
{
public:
    Answer show(std::string_view text, Buttons buttons) override;
};

/// A bar on stderr with an estimate of the time left, when stderr is a terminal.
class TerminalProgress : public IProgressSink
{
public:
    /// Draws only when `wanted` and stderr is a terminal.
    explicit TerminalProgress(bool wanted = true);
    void begin(std::string_view text) override;
    void setPosition(int percent) override;
    void end() override;

private:
    bool enabled;
    bool open = false;
    int shown = -1;
    std::chrono::steady_clock::time_point started;
};

} // namespace kestrelan
