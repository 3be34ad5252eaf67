#include "platform/qt/DialogTemplate.h"

#include <QAbstractItemView>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <map>
#include <stdexcept>

namespace kestrelan {

namespace {

const std::map<QString, ControlKind>& kinds()
{
    static const std::map<QString, ControlKind> table = {
        {"group", ControlKind::Group},
        {"static", ControlKind::Static},
        {"edit", ControlKind::Edit},
        {"button", ControlKind::Button},
        {"defbutton", ControlKind::DefaultButton},
        {"check", ControlKind::Check},
        {"radio", ControlKind::Radio},
        {"combo", ControlKind::Combo},
        {"listbox", ControlKind::ListBox},
        {"date", ControlKind::Date},
        {"progress", ControlKind::Progress},
        {"listview", ControlKind::ListView},
        {"droplist", ControlKind::DropList},
        {"chart", ControlKind::Chart},
    };
    return table;
}

int number(const QString& field, int line)
{
    bool ok = false;
    const int v = field.toInt(&ok);
    if (!ok)
        throw std::runtime_error("dialog template line " + std::to_string(line) + ": \"" + field.toStdString()
                                 + "\" is not a number");
    return v;
}

QWidget* createControl(QDialog& dialog, const ControlSpec& c)
{
    switch (c.kind) {
    case ControlKind::Group: return new QGroupBox(c.caption, &dialog);
    case ControlKind::Static: return new QLabel(c.caption, &dialog);
    case ControlKind::Edit: {
        auto* edit = new QLineEdit(c.caption, &dialog);
        if (c.centered)
            edit->setAlignment(Qt::AlignCenter);
        return edit;
    }
    case ControlKind::Button:
    case ControlKind::DefaultButton: {
        auto* button = new QPushButton(c.caption, &dialog);
        button->setAutoDefault(false);
        button->setDefault(c.kind == ControlKind::DefaultButton);
        return button;
    }
    case ControlKind::Check: return new QCheckBox(c.caption, &dialog);
    case ControlKind::Radio: return new QRadioButton(c.caption, &dialog);
    case ControlKind::Combo: {
        auto* combo = new QComboBox(&dialog);
        combo->setEditable(true);
        combo->setInsertPolicy(QComboBox::NoInsert);
        return combo;
    }
    case ControlKind::DropList: return new QComboBox(&dialog);
    case ControlKind::Chart: return new QWidget(&dialog);
    case ControlKind::ListBox: {
        // A vertical scroll bar only, as the templates' list boxes have: a line too long for the
        // box ends in "…" (the windows show their lines without the blanks that pad a name).
        auto* list = new QListWidget(&dialog);
        list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        list->setTextElideMode(Qt::ElideRight);
        return list;
    }
    case ControlKind::Date: {
        auto* date = new QDateEdit(&dialog);
        date->setCalendarPopup(true);
        date->setDisplayFormat("yyyy-MM-dd");
        // The template's 50 units hold the short date of the original's narrower picker: keep
        // the text clear of the drop-down arrow.
        QFont narrower = dialog.font();
        narrower.setPointSizeF(narrower.pointSizeF() * 0.9);
        date->setFont(narrower);
        return date;
    }
    case ControlKind::Progress: {
        auto* bar = new QProgressBar(&dialog);
        bar->setRange(0, 100);
        bar->setValue(0);
        bar->setTextVisible(false);
        return bar;
    }
    case ControlKind::ListView: {
        auto* view = new QTreeWidget(&dialog);
        view->setRootIsDecorated(false);
        view->setSortingEnabled(false);
        view->setSelectionBehavior(QAbstractItemView::SelectRows);
        view->header()->setSectionsClickable(false);
        return view;
    }
    }
    return nullptr;
}

} // namespace

DialogSpec parseDialogSpec(const QString& text)
{
    DialogSpec spec;
    bool named = false;
    int lineNumber = 0;
    for (const QString& raw : text.split('\n')) {
        ++lineNumber;
        const QString line = raw.endsWith('\r') ? raw.chopped(1) : raw;
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const QStringList f = line.split('\t');
        if (f.size() < 8)
            throw std::runtime_error("dialog template line " + std::to_string(lineNumber) + ": 8 fields expected");
        const QRect units(number(f[2], lineNumber), number(f[3], lineNumber), number(f[4], lineNumber),
                          number(f[5], lineNumber));
        if (f[0] == "dialog") {
            spec.id = number(f[1], lineNumber);
            spec.units = units;
            spec.title = f[7];
            named = true;
            continue;
        }
        const auto kind = kinds().find(f[1]);
        if (kind == kinds().end())
            throw std::runtime_error("dialog template line " + std::to_string(lineNumber) + ": unknown kind \""
                                     + f[1].toStdString() + "\"");
        ControlSpec c;
        c.id = f[0] == "-" ? -1 : number(f[0], lineNumber);
        c.kind = kind->second;
        c.units = units;
        const QStringList styles = f[6].split('|');
        c.disabled = styles.contains("disabled");
        c.centered = styles.contains("center");
        c.groupStart = styles.contains("groupstart");
        c.hidden = styles.contains("hidden");
        c.caption = f.mid(7).join('\t');
        spec.controls.push_back(c);
    }
    if (!named)
        throw std::runtime_error("dialog template without its dialog line");
    return spec;
}

DialogSpec loadDialogSpec(int resourceId)
{
    QFile file(QString(":/dialogs/%1.dlg").arg(resourceId));
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("no dialog template " + std::to_string(resourceId));
    return parseDialogSpec(QString::fromUtf8(file.readAll()));
}

QFont dialogFont()
{
    const QStringList families = QFontDatabase::families();
    for (const char* name : {"굴림", "Gulim", "NanumGothic", "나눔고딕"}) {
        if (families.contains(QString::fromUtf8(name)))
            return QFont(QString::fromUtf8(name), 10);
    }
    QFont font;
    font.setPointSize(10);
    return font;
}

DialogUnits::DialogUnits(const QFont& font)
{
    const QFontMetricsF metrics(font);
    // The Windows base unit: the mean width of the 52 Latin letters, and the font's height.
    const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    unitX = metrics.horizontalAdvance(letters) / 52.0 / 4.0;
    unitY = metrics.height() / 8.0;
}

int DialogUnits::x(int units) const { return static_cast<int>(units * unitX + 0.5); }

int DialogUnits::y(int units) const { return static_cast<int>(units * unitY + 0.5); }

QRect DialogUnits::toPixels(const QRect& u) const { return QRect(x(u.x()), y(u.y()), x(u.width()), y(u.height())); }

void buildDialog(QDialog& dialog, const DialogSpec& spec)
{
    dialog.setFont(dialogFont());
    dialog.setWindowTitle(spec.title);
    const DialogUnits units(dialog.font());
    dialog.setFixedSize(units.x(spec.units.width()), units.y(spec.units.height()));
    QButtonGroup* radios = nullptr;
    for (const ControlSpec& c : spec.controls) {
        QWidget* w = createControl(dialog, c);
        if (c.id >= 0)
            w->setObjectName(QString::number(c.id));
        QRect r = units.toPixels(c.units);
        // A caption in this font may run longer than in the template's: radio buttons and check
        // boxes take the room their text needs (they draw no background over their neighbours).
        if (c.kind == ControlKind::Radio || c.kind == ControlKind::Check)
            r.setWidth(std::max(r.width(), w->sizeHint().width()));
        if (c.kind == ControlKind::Combo || c.kind == ControlKind::DropList || c.kind == ControlKind::Date)
            r.setHeight(std::max(r.height() > units.y(20) ? units.y(12) : r.height(), w->sizeHint().height()));
        w->setGeometry(r);
        w->setEnabled(!c.disabled);
        if (c.hidden)
            w->hide();
        if (c.kind == ControlKind::Radio) {
            if (c.groupStart || !radios) {
                radios = new QButtonGroup(&dialog);
                radios->setObjectName(QString("group%1").arg(c.id));
            }
            radios->addButton(static_cast<QRadioButton*>(w));
        } else {
            radios = nullptr;
        }
    }
}

} // namespace kestrelan
