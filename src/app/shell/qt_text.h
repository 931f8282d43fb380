#pragma once
// Text between the engine and Qt. The engine speaks UTF-8 std::string; Qt widgets take
// QString. Every conversion in the window goes through these two, so no tab keeps a
// private copy.
#include <QString>
#include <string>
#include <string_view>

namespace morvex::app {

inline QString toQt(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }
inline std::string toStd(const QString& s) { return s.toStdString(); }

}  // namespace morvex::app
