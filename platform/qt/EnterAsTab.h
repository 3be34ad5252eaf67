#pragma once
// Enter moves the focus on as Tab does, so it never presses a window's default button.

#include <QObject>

class QWidget;

namespace kestrelan {

class EnterAsTab : public QObject
{
    Q_OBJECT
public:
    /// Filters the keys of the window and of every control in it (created by then).
    static void install(QWidget& window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    using QObject::QObject;
};

} // namespace kestrelan
