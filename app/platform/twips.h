// Twips, the unit the program's layouts are measured in: 15 to a pixel at
// 96 dots per inch.
#pragma once

namespace tarvic {

constexpr int kTwipsPerPixel = 15;

// Whole pixels of a length in twips (a part pixel dropped).
constexpr int px(int twips)
{
    return twips / kTwipsPerPixel;
}

}  // namespace tarvic
