#pragma once
// Test stand-ins for the windows' seams: the desktop shell and the name-entry window.

#include "platform/core/Sinks.h"
#include "platform/qt/CNameInputDlg.h"

#include <deque>
#include <string>
#include <vector>

namespace kestrelan::test {

struct RecordingShell : IShell
{
    bool open(const std::string& path) override
    {
        opened.push_back(path);
        return opens;
    }
    bool hasViewerFor(const std::string&) override { return viewers; }
    std::vector<std::string> opened;
    bool viewers = true;
    bool opens = true; // false: the desktop opens nothing
};

struct ScriptedNames : INameInput
{
    std::optional<QString> ask(const QString& prompt, const QString& proposed) override
    {
        prompts.push_back(prompt);
        proposals.push_back(proposed);
        if (answers.empty())
            return std::nullopt;
        const QString a = answers.front();
        answers.pop_front();
        if (a.isNull())
            return std::nullopt;
        return a;
    }
    std::deque<QString> answers; // a null QString answers Cancel
    std::vector<QString> prompts;
    std::vector<QString> proposals;
};

} // namespace kestrelan::test
