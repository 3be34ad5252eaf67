#pragma once
// The one place where CP949 texts meet Qt's Unicode strings.

#include <QString>
#include <optional>
#include <string>
#include <string_view>

namespace kestrelan {

/// CP949 bytes for display; bytes that do not convert show as U+FFFD.
QString cp949ToQString(std::string_view bytes);
/// CP949 bytes of a typed text; nullopt when a character has no CP949 code.
std::optional<std::string> qstringToCp949(const QString& text);

inline QString fromUtf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace kestrelan
