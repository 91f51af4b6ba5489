#pragma once
// The capture tool's texts: its language list, the sections of its language files, and every text of
// its windows with the built-in English one and the members it is set into (common/Localisation.h).

#include "common/Localisation.h"

inline constexpr const char* kSnaporaLanguageList = "Snapora_Languages.ini";
inline constexpr const char* kSnaporaMainSection = "FrmSnap";
inline constexpr const char* kSnaporaViewerSection = "FrmFull";
inline constexpr const char* kSnaporaFileNameSection = "FrmSave";

// The capture tool's main window, in the order its texts are set.
inline constexpr TLanguageText kSnaporaMainTexts[] = {
    {"FrmSnap", "LblSelect", "Select window to be captured:", {"LblSelect"}},
    {"FrmSnap", "LblPreview", "Preview:", {"LblPreview"}},
    {"FrmSnap", "m_aMDesktop", "Desktop", {"DesktopLabel"}},
    {"FrmSnap", "m_aMScreen", "Screen", {"ScreenLabel"}},
    {"FrmSnap", "m_aMAllScreens", "All screens", {"AllScreensLabel"}},
    {"FrmSnap", "m_aMEnlarge", "Doubleclick to enlarge", {"EnlargeHint"}},
    {"FrmSnap", "m_aMNotAvailable", "No image available", {"NoImageHint"}},
    {"FrmSnap", "BtnRefresh", "Refresh", {"BtnRefresh"}},
    {"FrmSnap", "BtnCapture", "Capture", {"BtnCapture"}},
    {"FrmSnap", "ChbDefineRect", "Define rect to capture [pixel]", {"ChbDefineRect"}},
    {"FrmSnap", "LblLeft", "Left:", {"LblLeft"}},
    {"FrmSnap", "LblTop", "Top:", {"LblTop"}},
    {"FrmSnap", "LblWidth", "Width:", {"LblWidth"}},
    {"FrmSnap", "LblHeight", "Height:", {"LblHeight"}},
    {"FrmSnap", "ChbClient", "Capture client area only", {"ChbClient"}},
    {"FrmSnap", "ChbToFile", "Capture to file", {"ChbToFile"}},
    {"FrmSnap", "ChbAutoCapture", "Auto capture each [sec]", {"ChbAutoCapture"}},
    {"FrmSnap", "ChbKeyboard", "Use keyboard to capture", {"ChbKeyboard"}},
    {"FrmSnap", "ChbAskName", "Ask for filename before saving", {"ChbAskName"}},
    {"FrmSnap", "PopSaveAs", "Save as...", {"PopSaveAs"}},
    {"FrmSnap", "BtnOk", "OK", {"BtnOk"}},
    {"FrmSnap", "m_aMRegion", "Region...", {"RegionLabel"}},
    {"FrmSnap", "m_aMWindowOrArea", "Window or area...", {"WindowOrAreaLabel"}},
    {"FrmSnap",
     "m_aMWindowsNotListed",
     "(This desktop does not show other programs' windows)",
     {"WindowsNotListedLabel"}},
};

// The capture tool's viewer, at each show: MenFile, then MenSaveAs (whose caption PopSaveAs takes
// over), then the Ctrl word, after which MenSaveAs gets tab + Ctrl word + "+S".
inline constexpr TLanguageText kSnaporaViewerTexts[] = {
    {"FrmFull", "MenFile", "File", {"MenFile"}},
    {"FrmFull", "MenSaveAs", "Save as...", {"MenSaveAs", "PopSaveAs"}},
    {"FrmFull", "m_aMenScCtrl", "Ctrl", {"m_aMenScCtrl"}},
};

// The capture tool's file-name dialog, at each show.
inline constexpr TLanguageText kSnaporaFileNameTexts[] = {
    {"FrmSave", "BtnCancel", "Cancel", {"BtnCancel"}},
    {"FrmSave", "BtnOk", "OK", {"BtnOk"}},
    {"FrmSave", "LblFileName", "Select a filename", {"LblFileName"}},
};
