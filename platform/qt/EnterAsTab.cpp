#include "platform/qt/EnterAsTab.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

namespace kestrelan {

void EnterAsTab::install(QWidget& window)
{
    auto* filter = new EnterAsTab(&window);
    window.installEventFilter(filter);
    for (QWidget* child : window.findChildren<QWidget*>())
        child->installEventFilter(filter);
}

bool EnterAsTab::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease)
        return false;
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
        return false;
    if (event->type() == QEvent::KeyPress) {
        QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
        QCoreApplication::sendEvent(watched, &tab);
    }
    return true;
}

} // namespace kestrelan
