#pragma once
// The main window's command ids (menu 128, accelerators 128 and the About
// button of tool bar 128). The survey commands 32771..32778 are in
// siteview/CommandTarget.h.

namespace quorl::command {

inline constexpr int kFileNew = 57600;
inline constexpr int kFileOpen = 57601;
inline constexpr int kFileSave = 57603;
inline constexpr int kFileSaveAs = 57604;
inline constexpr int kFilePrintSetup = 57606;
inline constexpr int kFilePrint = 57607;
inline constexpr int kFilePrintDirect = 57608;
inline constexpr int kFilePrintPreview = 57609;
inline constexpr int kEditCopy = 57634;
inline constexpr int kEditCut = 57635;
inline constexpr int kEditPaste = 57637;
inline constexpr int kEditUndo = 57643;
inline constexpr int kAppAbout = 57664;
inline constexpr int kAppExit = 57665;
inline constexpr int kHelpFinder = 57667;
inline constexpr int kContextHelp = 57669;
inline constexpr int kHelp = 57670;
inline constexpr int kNextPane = 57680;
inline constexpr int kPrevPane = 57681;
inline constexpr int kViewToolbar = 59392;
inline constexpr int kViewStatusBar = 59393;
// A building: File > Open Site, and the next floor up and down (View >
// Floor).
inline constexpr int kFileOpenSite = 32800;
inline constexpr int kFloorUp = 32801;
inline constexpr int kFloorDown = 32802;

}  // namespace quorl::command
