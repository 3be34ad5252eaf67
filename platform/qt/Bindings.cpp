#include "platform/qt/Bindings.h"

#include "platform/core/Format.h"
#include "platform/qt/DialogTemplate.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <stdexcept>
#include <string>

namespace kestrelan {

namespace {

void setTextIfDifferent(QLineEdit* edit, const QString& text)
{
    if (edit->text() != text)
        edit->setText(text);
}

template <class T, class Parse>
std::function<const char*()> parsedRead(QLineEdit* edit, T& value, Parse parse, const char* prompt)
{
    return [edit, &value, parse, prompt]() -> const char* {
        const auto parsed = parse(edit->text().toStdString());
        if (!parsed)
            return prompt;
        value = *parsed;
        return nullptr;
    };
}

} // namespace

FormBindings::FormBindings(QWidget& dialog, IMessageSink& messages)
    : dialog(dialog)
    , messages(messages)
{
}

void FormBindings::unsignedNumber(int id, std::uint32_t& value, std::function<bool(std::uint32_t)> accept)
{
    auto* edit = control<QLineEdit>(dialog, id);
    const auto parse = [accept](std::string_view text) -> std::optional<std::uint32_t> {
        const auto v = parseUnsignedField(text);
        if (v && accept && !accept(*v))
            return std::nullopt;
        return v;
    };
    bindings.push_back({parsedRead(edit, value, parse, "양의 정수를 입력하십시오."),
                        [edit, &value] { setTextIfDifferent(edit, QString::number(value)); },
                        [&value] { return QVariant(value); }, edit});
}

void FormBindings::integer(int id, std::int32_t& value)
{
    auto* edit = control<QLineEdit>(dialog, id);
    bindings.push_back({parsedRead(edit, value, parseIntField, "정수를 입력하십시오."),
                        [edit, &value] { setTextIfDifferent(edit, QString::number(value)); },
                        [&value] { return QVariant(value); }, edit});
}

void FormBindings::number(int id, double& value)
{
    auto* edit = control<QLineEdit>(dialog, id);
    bindings.push_back({parsedRead(edit, value, parseDoubleField, "숫자를 입력하십시오."),
                        [edit, &value] { setTextIfDifferent(edit, QString::fromStdString(format("%.15g", value))); },
                        [&value] { return QVariant(value); }, edit});
}

void FormBindings::text(int id, QString& value)
{
    if (auto* edit = control<QLineEdit>(dialog, id)) {
        bindings.push_back({[edit, &value]() -> const char* {
                                value = edit->text();
                                return nullptr;
                            },
                            [edit, &value] { setTextIfDifferent(edit, value); }, [&value] { return QVariant(value); },
                            edit});
        return;
    }
    auto* label = control<QLabel>(dialog, id);
    bindings.push_back({[label, &value]() -> const char* {
                            value = label->text();
                            return nullptr;
                        },
                        [label, &value] { label->setText(value); }, [&value] { return QVariant(value); }, label});
}

void FormBindings::check(int id, std::int32_t& value)
{
    auto* box = control<QCheckBox>(dialog, id);
    bindings.push_back({[box, &value]() -> const char* {
                            value = box->isChecked() ? 1 : 0;
                            return nullptr;
                        },
                        [box, &value] { box->setChecked(value != 0); }, [&value] { return QVariant(value); }, box});
}

void FormBindings::radio(int firstId, std::int32_t& index)
{
    auto* first = control<QRadioButton>(dialog, firstId);
    QButtonGroup* group = first->group();
    bindings.push_back({[group, &index]() -> const char* {
                            index = group->buttons().indexOf(group->checkedButton());
                            return nullptr;
                        },
                        [group, &index] {
                            const auto buttons = group->buttons();
                            group->setExclusive(false);
                            for (int i = 0; i < buttons.size(); ++i)
                                buttons[i]->setChecked(i == index);
                            group->setExclusive(true);
                        },
                        [&index] { return QVariant(index); }, first});
}

void FormBindings::date(int id, std::int32_t& yyyymmdd)
{
    auto* edit = control<QDateEdit>(dialog, id);
    bindings.push_back({[edit, &yyyymmdd]() -> const char* {
                            const QDate d = edit->date();
                            yyyymmdd = d.year() * 10000 + d.month() * 100 + d.day();
                            return nullptr;
                        },
                        [edit, &yyyymmdd] {
                            const QDate d(yyyymmdd / 10000, yyyymmdd / 100 % 100, yyyymmdd % 100);
                            if (d.isValid() && edit->date() != d)
                                edit->setDate(d);
                        },
                        [&yyyymmdd] { return QVariant(yyyymmdd); }, edit});
}

// The prompt of a control that does not parse, the value it held back in it, and the focus.
bool FormBindings::readAt(std::size_t i)
{
    const char* prompt = bindings[i].read();
    if (!prompt)
        return true;
    messages.show(prompt);
    bindings[i].write(); // the value it held before
    bindings[i].control->setFocus();
    if (auto* edit = qobject_cast<QLineEdit*>(bindings[i].control))
        edit->selectAll();
    return false;
}

bool FormBindings::read()
{
    for (std::size_t i = 0; i < bindings.size(); ++i) {
        if (!readAt(i)) {
            // The values after it stay as they stood (reading one control sets only its value).
            unreadFrom = i + 1;
            unreadValues.clear();
            for (std::size_t j = unreadFrom; j < bindings.size(); ++j)
                unreadValues.push_back(bindings[j].value());
            return false;
        }
    }
    unreadValues.clear();
    return true;
}

std::size_t FormBindings::indexOf(int id) const
{
    const QWidget* wanted = control<QWidget>(dialog, id);
    for (std::size_t i = 0; i < bindings.size(); ++i)
        if (bindings[i].control == wanted)
            return i;
    throw std::logic_error("no binding for control " + std::to_string(id));
}

bool FormBindings::read(int id) { return readAt(indexOf(id)); }

void FormBindings::write(int id) { bindings[indexOf(id)].write(); }

void FormBindings::write()
{
    for (std::size_t i = 0; i < bindings.size(); ++i) {
        const bool unread = !unreadValues.empty() && i >= unreadFrom;
        if (!unread || bindings[i].value() != unreadValues[i - unreadFrom])
            bindings[i].write();
    }
}

} // namespace kestrelan
