#pragma once
// What the engine and the plain functions need from a user interface: message boxes and a
// progress window. The desktop program shows dialogs, the command line prints, tests record.

#include <string>
#include <string_view>

namespace kestrelan {

/// Modal messages. Texts are UTF-8.
class IMessageSink
{
public:
    enum class Buttons
    {
        Ok,
        OkCancel
    };
    enum class Answer
    {
        Ok,
        Cancel
    };
    virtual ~IMessageSink() = default;
    /// Shows the text and waits for the answer. OkCancel shows a question icon.
    virtual Answer show(std::string_view text, Buttons buttons = Buttons::Ok) = 0;
};

/// A progress window: a text, then bar positions 0 to 100.
class IProgressSink
{
public:
    virtual ~IProgressSink() = default;
    virtual void begin(std::string_view text) = 0;
    virtual void setPosition(int percent) = 0;
    virtual void end() = 0;
};

/// The desktop's "open" of a document (the help file, a workbook).
class IShell
{
public:
    virtual ~IShell() = default;
    /// Asks the desktop to open the file; false when it could not be asked.
    virtual bool open(const std::string& path) = 0;
    /// Whether the desktop has a program for files of this kind.
    virtual bool hasViewerFor(const std::string& /*path*/) { return true; }
};

/// Shows nothing (runs without a window).
class NullProgress : public IProgressSink
{
public:
    void begin(std::string_view) override { }
    void setPosition(int) override { }
    void end() override { }
};

} // namespace kestrelan
