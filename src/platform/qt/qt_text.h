#pragma once
// The program's texts are UTF-8 std::strings; Qt wants QString.
#include <QString>

#include <string_view>

namespace varnoke {

inline QString toQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace varnoke
