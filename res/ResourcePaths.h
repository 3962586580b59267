#pragma once
// Where the collector's pictures live in the Qt resource system. Each file
// also exists as name@2x.png and name@4x.png for high-density screens.

namespace quorl::res {

// Icon 128 (main window) and icon 129 (document), as icons/main-<size>.png
// and icons/document-<size>.png for these sizes.
inline constexpr const char* kMainIconPattern = ":/quorl/icons/main-%1.png";
inline constexpr const char* kDocumentIconPattern = ":/quorl/icons/document-%1.png";
inline constexpr int kIconSizes[] = {16, 32, 48, 64, 128, 256};

// Tool bar 128, in button order (commands 32771..32778, About, then the
// coverage layer, 32779, walking survey mode, 32780, and survey gaps, 32782).
inline constexpr const char* kToolBarImages[] = {
    ":/quorl/toolbar/open-projection",   ":/quorl/toolbar/collection-file",
    ":/quorl/toolbar/start-scanning",    ":/quorl/toolbar/stop-scanning",
    ":/quorl/toolbar/channel-list",      ":/quorl/toolbar/zoom-in",
    ":/quorl/toolbar/zoom-out",          ":/quorl/toolbar/point-information",
    ":/quorl/toolbar/about",             ":/quorl/toolbar/coverage",
    ":/quorl/toolbar/walking-survey",    ":/quorl/toolbar/survey-gaps",
};
inline constexpr int kToolBarImageSize = 16;

// Bitmap 133: the centre mark, 32 x 32 at 1x.
inline constexpr const char* kCentreMark = ":/quorl/bitmaps/centre-mark";
inline constexpr int kCentreMarkSize = 32;
// Bitmap 136: the splash picture, 240 x 320 at 1x.
inline constexpr const char* kSplashPicture = ":/quorl/bitmaps/splash";
inline constexpr int kSplashWidth = 240;
inline constexpr int kSplashHeight = 320;

// The scales every picture above is stored at ("" for 1x, "@2x", "@4x").
inline constexpr int kStoredScales[] = {1, 2, 4};

}  // namespace quorl::res
