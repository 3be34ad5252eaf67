#pragma once
// One value per control, read and written in binding order. Reading stops at the first control
// whose text does not parse: its prompt is shown, the control gets the focus, and that value and
// the ones after it keep what they held.

#include "platform/core/Sinks.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

class QWidget;

namespace kestrelan {

class FormBindings
{
public:
    FormBindings(QWidget& dialog, IMessageSink& messages);

    void unsignedNumber(int id, std::uint32_t& value); // "양의 정수를 입력하십시오."
    void integer(int id, std::int32_t& value);         // "정수를 입력하십시오."
    void number(int id, double& value);                // "숫자를 입력하십시오."
    void text(int id, QString& value);                 // an edit or a static
    void check(int id, std::int32_t& value);           // 0 or 1
    void radio(int firstId, std::int32_t& index);      // index in the group, -1 when none is checked
    void date(int id, std::int32_t& yyyymmdd);

    /// Every control into its value; false when a text did not parse.
    bool read();
    /// Every value into its control. A control whose text already reads the same is left alone.
    void write();

private:
    struct Binding
    {
        std::function<bool()> read;
        std::function<void()> write;
    };
    QWidget& dialog;
    IMessageSink& messages;
    std::vector<Binding> bindings;
};

} // namespace kestrelan
