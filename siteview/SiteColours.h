#pragma once
// The site view's colours.

#include <QRgb>

namespace quorl::colour {

// The view's five brushes.
inline constexpr QRgb kBlack = qRgb(0, 0, 0);
inline constexpr QRgb kWhite = qRgb(255, 255, 255);
inline constexpr QRgb kRed = qRgb(192, 0, 0);
inline constexpr QRgb kGreen = qRgb(0, 192, 0);
inline constexpr QRgb kBlue = qRgb(0, 0, 192);

// Status panel fills by GPS lock.
inline constexpr QRgb kLock3d = qRgb(0, 128, 0);
inline constexpr QRgb kLock2d = qRgb(255, 255, 0);
inline constexpr QRgb kNoLock = qRgb(128, 0, 0);

// What the view shows where the plan does not reach.
inline constexpr QRgb kOffPlan = qRgb(128, 128, 128);

}  // namespace quorl::colour
