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

namespace kestrelan {

namespace {

void setTextIfDifferent(QLineEdit* edit, const QString& text)
{
    if (edit->text() != text)
        edit->setText(text);
}

template <class T, class Parse>
std::function<bool()> parsedRead(QLineEdit* edit, T& value, Parse parse, const char* prompt, IMessageSink& messages)
{
    return [edit, &value, parse, prompt, &messages] {
        const auto parsed = parse(edit->text().toStdString());
        if (!parsed) {
            messages.show(prompt);
            edit->setFocus();
            edit->selectAll();
            return false;
        }
        value = *parsed;
        return true;
    };
}

} // namespace

FormBindings::FormBindings(QWidget& dialog, IMessageSink& messages)
    : dialog(dialog)
    , messages(messages)
{
}

void FormBindings::unsignedNumber(int id, std::uint32_t& value)
{
    auto* edit = control<QLineEdit>(dialog, id);
    bindings.push_back({parsedRead(edit, value, parseUnsignedField, "양의 정수를 입력하십시오.", messages),
                        [edit, &value] { setTextIfDifferent(edit, QString::number(value)); }});
}

void FormBindings::integer(int id, std::int32_t& value)
{
    auto* edit = control<QLineEdit>(dialog, id);
    bindings.push_back({parsedRead(edit, value, parseIntField, "정수를 입력하십시오.", messages),
                        [edit, &value] { setTextIfDifferent(edit, QString::number(value)); }});
}

void FormBindings::number(int id, double& value)
{
    auto* edit = control<QLineEdit>(dialog, id);
    bindings.push_back({parsedRead(edit, value, parseDoubleField, "숫자를 입력하십시오.", messages),
                        [edit, &value] { setTextIfDifferent(edit, QString::fromStdString(format("%.15g", value))); }});
}

void FormBindings::text(int id, QString& value)
{
    if (auto* edit = control<QLineEdit>(dialog, id)) {
        bindings.push_back({[edit, &value] {
                                value = edit->text();
                                return true;
                            },
                            [edit, &value] { setTextIfDifferent(edit, value); }});
        return;
    }
    auto* label = control<QLabel>(dialog, id);
    bindings.push_back({[label, &value] {
                            value = label->text();
                            return true;
                        },
                        [label, &value] { label->setText(value); }});
}

void FormBindings::check(int id, std::int32_t& value)
{
    auto* box = control<QCheckBox>(dialog, id);
    bindings.push_back({[box, &value] {
                            value = box->isChecked() ? 1 : 0;
                            return true;
                        },
                        [box, &value] { box->setChecked(value != 0); }});
}

void FormBindings::radio(int firstId, std::int32_t& index)
{
    auto* first = control<QRadioButton>(dialog, firstId);
    QButtonGroup* group = first->group();
    bindings.push_back({[group, &index] {
                            index = group->buttons().indexOf(group->checkedButton());
                            return true;
                        },
                        [group, &index] {
                            const auto buttons = group->buttons();
                            group->setExclusive(false);
                            for (int i = 0; i < buttons.size(); ++i)
                                buttons[i]->setChecked(i == index);
                            group->setExclusive(true);
                        }});
}

void FormBindings::date(int id, std::int32_t& yyyymmdd)
{
    auto* edit = control<QDateEdit>(dialog, id);
    bindings.push_back({[edit, &yyyymmdd] {
                            const QDate d = edit->date();
                            yyyymmdd = d.year() * 10000 + d.month() * 100 + d.day();
                            return true;
                        },
                        [edit, &yyyymmdd] {
                            const QDate d(yyyymmdd / 10000, yyyymmdd / 100 % 100, yyyymmdd % 100);
                            if (d.isValid() && edit->date() != d)
                                edit->setDate(d);
                        }});
}

bool FormBindings::read()
{
    for (const auto& b : bindings)
        if (!b.read())
            return false;
    return true;
}

void FormBindings::write()
{
    for (const auto& b : bindings)
        b.write();
}

} // namespace kestrelan
