#pragma once
// kestrelan-cli's stand-ins for the windows: messages on stderr, a progress bar on stderr when it
// is a terminal.

#include "platform/core/Sinks.h"

namespace kestrelan {

class StderrMessages : public IMessageSink
{
public:
    Answer show(std::string_view text, Buttons buttons) override;
};

class TerminalProgress : public IProgressSink
{
public:
    TerminalProgress();
    void begin(std::string_view text) override;
    void setPosition(int percent) override;
    void end() override;

private:
    bool enabled;
    bool open = false;
    int shown = -1;
};

} // namespace kestrelan
