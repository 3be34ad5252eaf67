#pragma once
// Message boxes and the desktop's "open" on Qt.

#include "platform/core/Sinks.h"

class QWidget;

namespace kestrelan {

class QtMessageSink : public IMessageSink
{
public:
    explicit QtMessageSink(QWidget* parent = nullptr)
        : parent(parent)
    {
    }
    Answer show(std::string_view text, Buttons buttons) override;

private:
    QWidget* parent;
};

class QtShell : public IShell
{
public:
    bool open(const std::string& path) override;
    bool hasViewerFor(const std::string& path) override;
};

} // namespace kestrelan
