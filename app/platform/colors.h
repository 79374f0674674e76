// Colours written as &HBBGGRR (blue in the high byte), as the program's
// layouts give them.
#pragma once

#include <QColor>

#include <cstdint>

namespace tarvic {

// The colours the program's windows share.
constexpr uint32_t kStatusRed = 0x0000C0;    // &HC0: a run under way or failed
constexpr uint32_t kStatusGreen = 0x00C000;  // &HC000: a run done
constexpr uint32_t kLightYellow = 0xC0FFFF;  // red 255, green 255, blue 192
constexpr uint32_t kBlack = 0x000000;

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
