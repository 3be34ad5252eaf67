#pragma once
// Test stand-ins for the message boxes and the progress window: they record what was shown.

#include "platform/core/Sinks.h"

#include <functional>
#include <string>
#include <vector>

namespace kestrelan::test {

struct RecordingSink : IMessageSink
{
    Answer show(std::string_view text, Buttons buttons) override
    {
        if (onShow)
            onShow(text);
        shown.emplace_back(text);
        lastButtons = buttons;
        return answers.empty() ? Answer::Ok : takeAnswer();
    }
    Answer takeAnswer()
    {
        const Answer a = answers.front();
        answers.erase(answers.begin());
        return a;
    }
    std::vector<std::string> shown;
    std::vector<Answer> answers; // scripted answers, Ok when none is left
    Buttons lastButtons = Buttons::Ok;
    std::function<void(std::string_view)> onShow; // called as a message is shown, when set
};

struct RecordingProgress : IProgressSink
{
    void begin(std::string_view t) override
    {
        text = t;
        ++begun;
    }
    void setPosition(int p) override { positions.push_back(p); }
    void end() override { ++ended; }
    std::string text;
    std::vector<int> positions;
    int begun = 0;
    int ended = 0;
};

} // namespace kestrelan::test
