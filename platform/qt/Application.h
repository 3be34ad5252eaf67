#pragma once
// The desktop program's application object: the C runtime's number format stays "C" whatever the
// user's locale (the result files are written and read with printf and strtod, whose decimal
// point would otherwise follow the locale), the windows speak Korean whatever the system's
// language (dates, month and day names, the calendar), and no exception leaves an event handler:
// it ends in one message box instead of ending the program.

#include <QApplication>

namespace kestrelan {

class IMessageSink;

class Application : public QApplication
{
public:
    Application(int& argc, char** argv);
    /// Where the messages of exceptions that reach the event loop are shown.
    void setMessages(IMessageSink* sink) { messages = sink; }
    bool notify(QObject* receiver, QEvent* event) override;

    /// The message an exception that stops a window's step gives the user.
    static std::string messageFor(const std::exception& e);

private:
    IMessageSink* messages = nullptr;
    bool showing = false;
};

} // namespace kestrelan
