#pragma once
// The glyph exporter's texts: its language list, the sections of its language files, and every text of
// its windows with the built-in English one and the members it is set into (common/Localisation.h).

#include "common/Localisation.h"

inline constexpr const char* kLetranaLanguageList = "Letrana_Languages.ini";
inline constexpr const char* kLetranaMainSection = "FrmMain";
inline constexpr const char* kLetranaInfoSection = "FrmInfo";

// The glyph exporter's main window, in the order its texts are set.
inline constexpr TLanguageText kLetranaMainTexts[] = {
    {"FrmMain", "m_aMenScShift", "Shift", {"m_aMenScShift"}},
    {"FrmMain", "m_aMenScCtrl", "Ctrl", {"m_aMenScCtrl"}},
    {"FrmMain", "m_aMenScAlt", "Alt", {"m_aMenScAlt"}},
    {"FrmMain", "m_aMenScDelete", "Del", {"m_aMenScDelete"}},
    {"FrmMain", "m_aMenScF", "F", {"m_aMenScF"}},
    {"FrmMain", "MenFile", "File", {"MenFile"}},
    {"FrmMain", "MenGenerateImages", "Generate images", {"MenGenerateImages"}},
    {"FrmMain", "MenExport", "Export font...", {"MenExport", "BtnExport"}},
    {"FrmMain", "MenExit", "Exit", {"MenExit"}},
    {"FrmMain", "MenEdit", "Edit", {"MenEdit"}},
    {"FrmMain", "MenSelectFont", "Select font", {"MenSelectFont", "BtnSelectFont"}},
    {"FrmMain", "MenSelectFontColor", "Select font color", {"MenSelectFontColor", "BtnSelectFontColor"}},
    {"FrmMain",
     "MenSelectBackgroundColor",
     "Select background color",
     {"MenSelectBackgroundColor", "BtnSelectBackgroundColor"}},
    {"FrmMain", "MenSelectAll", "Select all", {"MenSelectAll"}},
    {"FrmMain", "MenInvertSelection", "Invert selection", {"MenInvertSelection"}},
    {"FrmMain", "MenCopyCharacter", "Copy character", {"MenCopyCharacter", "PopCopyCharacter"}},
    {"FrmMain", "MenCopyImage", "Copy image", {"MenCopyImage", "PopCopyImage", "BtnCopyImage"}},
    {"FrmMain", "MenUsage", "Help", {"MenUsage"}},
    {"FrmMain", "MenInfo", "Info", {"MenInfo"}},
    {"FrmMain", "MenLicense", "License", {"MenLicense"}},
    {"FrmMain", "MenReadMe", "Changes", {"MenReadMe"}},
    {"FrmMain", "MenCheckUpdate", "Check for update", {"MenCheckUpdate"}},
    {"FrmMain", "LblPreview", "Preview:", {"LblPreview"}},
    {"FrmMain", "LblFontName", "Font name:", {"LblFontName"}},
    {"FrmMain", "LblFontSize", "Font size:", {"LblFontSize"}},
    {"FrmMain", "m_aMGeneratingPreview", "Generating preview...", {"m_aMGeneratingPreview"}},
    {"FrmMain", "m_aMSaving", "Saving...", {"m_aMSaving"}},
    {"FrmMain", "m_aMPngWithAlpha", "PNG with alpha", {"m_aMPngWithAlpha"}},
};

// The glyph exporter's about box: only its OK button takes a language text.
inline constexpr TLanguageText kLetranaInfoTexts[] = {
    {"FrmInfo", "BtnOK", "OK", {"BtnOK"}},
};

// The glyph exporter's menu items that show a shortcut text, in the order the texts are appended.
inline constexpr TMenuShortcutText kLetranaMenuShortcuts[] = {
    {"MenExport", {.Ctrl = true, .KeyText = "S"}},
    {"MenGenerateImages", {.Ctrl = true, .KeyText = "G"}},
    {"MenExit", {.Ctrl = true, .KeyText = "Q"}},
    {"MenSelectAll", {.Ctrl = true, .KeyText = "A"}},
    {"MenInvertSelection", {.Ctrl = true, .KeyText = "I"}},
    {"MenCopyCharacter", {.Ctrl = true, .Shift = true, .KeyText = "C"}},
    {"MenCopyImage", {.Ctrl = true, .KeyText = "C"}},
    {"MenUsage", {.Kind = TShortcutKeyKind::FunctionKey, .KeyText = "1"}},
};
