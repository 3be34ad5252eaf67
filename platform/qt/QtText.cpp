#include "platform/qt/QtText.h"

#include "platform/core/Cp949.h"

namespace kestrelan {

QString cp949ToQString(std::string_view bytes) { return fromUtf8(fromCp949Lossy(bytes)); }

std::optional<std::string> qstringToCp949(const QString& text)
{
    try {
        const QByteArray utf8 = text.toUtf8();
        return kestrelan::toCp949(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
    } catch (const Cp949Error&) {
        return std::nullopt;
    }
}

} // namespace kestrelan
