// Colours written as &HBBGGRR (blue in the high byte), as the program's
// layouts give them.
#pragma once

#include <QColor>

#include <cstdint>

namespace tarvic {

inline QColor fromBgr(uint32_t bgr)
{
    return QColor(static_cast<int>(bgr & 0xFFu), static_cast<int>((bgr >> 8) & 0xFFu),
                  static_cast<int>((bgr >> 16) & 0xFFu));
}

inline uint32_t toBgr(const QColor& color)
{
    return static_cast<uint32_t>(color.red()) | (static_cast<uint32_t>(color.green()) << 8) |
           (static_cast<uint32_t>(color.blue()) << 16);
}

}  // namespace tarvic
