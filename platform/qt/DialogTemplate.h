#pragma once
// Dialogs built from template tables (resources/dialogs/<id>.dlg): each control's ID, kind,
// position and size in dialog units, styles and caption. A horizontal dialog unit is a quarter
// of the dialog font's average character width, a vertical one an eighth of its height. Every
// control with an ID gets that ID as its objectName, so code and tests find it by ID.

#include <QDialog>
#include <QFont>
#include <QRect>
#include <QString>
#include <vector>

namespace kestrelan {

enum class ControlKind
{
    Group,
    Static,
    Edit,
    Button,
    DefaultButton,
    Check,
    Radio,
    Combo,    // editable drop-down
    DropList, // drop-down list, not editable
    ListBox,
    Date,
    Progress,
    ListView,
    Chart, // a placeholder the window puts its chart over
};

struct ControlSpec
{
    int id = -1; // -1: no ID (labels and frames)
    ControlKind kind = ControlKind::Static;
    QRect units; // x, y, width, height in dialog units
    bool disabled = false;
    bool centered = false;
    bool groupStart = false;
    bool hidden = false;
    QString caption;
};

struct DialogSpec
{
    int id = 0;
    QRect units;
    QString title;
    std::vector<ControlSpec> controls;
};

/// Parses a template table; throws std::runtime_error naming the line for a malformed one.
DialogSpec parseDialogSpec(const QString& text);
/// The template of a dialog resource, from the program's resources.
DialogSpec loadDialogSpec(int resourceId);

/// "굴림" at 10 points where it is installed, else a Korean font that is (NanumGothic).
QFont dialogFont();

/// Dialog units to pixels for a font.
class DialogUnits
{
public:
    explicit DialogUnits(const QFont& font);
    QRect toPixels(const QRect& units) const;
    int x(int units) const;
    int y(int units) const;

private:
    double unitX;
    double unitY;
};

/// Sizes the dialog and creates its controls (in template order, so frames lie below what they
/// frame); radio buttons from a group start to the next form one exclusive group.
void buildDialog(QDialog& dialog, const DialogSpec& spec);

/// The control with an ID, or nullptr.
template <class Widget>
Widget* control(const QWidget& dialog, int id)
{
    return dialog.findChild<Widget*>(QString::number(id));
}

} // namespace kestrelan
