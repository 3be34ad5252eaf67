#pragma once
// One value per control, read and written in binding order. Reading stops at the first control
// whose text does not parse: its prompt is shown, the control gets back the value it held and
// the focus, and the values after it keep what they held. Their controls keep what the user
// typed: until a read succeeds again, a write passes over them unless the handler has set their
// value since.

#include "platform/core/Sinks.h"

#include <QString>
#include <QVariant>
#include <cstdint>
#include <functional>
#include <vector>

class QWidget;

namespace kestrelan {

class FormBindings
{
public:
    FormBindings(QWidget& dialog, IMessageSink& messages);

    /// "양의 정수를 입력하십시오."; also for a number `accept` (when given) refuses.
    void unsignedNumber(int id, std::uint32_t& value, std::function<bool(std::uint32_t)> accept = {});
    void integer(int id, std::int32_t& value);    // "정수를 입력하십시오."
    void number(int id, double& value);           // "숫자를 입력하십시오."
    void text(int id, QString& value);            // an edit or a static
    void check(int id, std::int32_t& value);      // 0 or 1
    void radio(int firstId, std::int32_t& index); // index in the group, -1 when none is checked
    void date(int id, std::int32_t& yyyymmdd);

    /// Every control into its value; false when a text did not parse.
    bool read();
    /// The one control `id` into its value, as read() reads it (its prompt when it does not
    /// parse); the other controls are left alone, their texts and their prompts.
    bool read(int id);
    /// The one value into its control `id`.
    void write(int id);
    /// Every value into its control; after a failed read, the controls it did not reach only
    /// where their value has changed since. A control whose text already reads the same is left
    /// alone.
    void write();

private:
    struct Binding
    {
        std::function<const char*()> read; // the prompt when the text does not parse, else nullptr
        std::function<void()> write;
        std::function<QVariant()> value;
        QWidget* control;
    };
    bool readAt(std::size_t i);
    std::size_t indexOf(int id) const;

    QWidget& dialog;
    IMessageSink& messages;
    std::vector<Binding> bindings;
    // After a failed read: the values of the bindings it did not reach, as they stood then.
    std::size_t unreadFrom = 0;
    std::vector<QVariant> unreadValues;
};

} // namespace kestrelan
