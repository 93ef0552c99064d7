#pragma once
// Sizes of the window are kept in twips (1/1440 inch); the screen has 15 twips a pixel.
#include <cmath>

constexpr int kTwipsPerPixel = 15;
inline int Px(double twips) { return int(std::lround(twips / kTwipsPerPixel)); }
inline int Twips(int pixels) { return pixels * kTwipsPerPixel; }
