#include "platform/qt/Application.h"

#include "platform/core/Sinks.h"
#include "platform/core/TextFile.h"

#include <QLocale>
#include <clocale>
#include <new>
#include <string>

namespace kestrelan {

Application::Application(int& argc, char** argv)
    : QApplication(argc, argv)
{
    std::setlocale(LC_NUMERIC, "C"); // Qt has set the whole locale from the environment
    QLocale::setDefault(QLocale(QLocale::Korean, QLocale::SouthKorea));
}

std::string Application::messageFor(const std::exception& e)
{
    if (dynamic_cast<const FileTooLarge*>(&e))
        return e.what(); // its own Korean message, which names the file
    if (dynamic_cast<const std::bad_alloc*>(&e))
        return "메모리가 부족하여 작업을 중단했습니다.";
    return std::string("작업 중 오류가 발생하여 중단했습니다: ") + e.what();
}

bool Application::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        if (messages && !showing) {
            showing = true;
            messages->show(messageFor(e));
            showing = false;
        }
    } catch (...) {
        if (messages && !showing) {
            showing = true;
            messages->show("작업 중 알 수 없는 오류가 발생하여 중단했습니다.");
            showing = false;
        }
    }
    return false;
}

} // namespace kestrelan
