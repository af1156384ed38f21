#pragma once

// Column captions of the main window's list views. The views get their headers from models built
// in code, so the texts live here rather than in frmMain.ui. Qt-free on purpose.
namespace tavrino {

inline constexpr const char* kPreviewColumn =
    "Images Selected To Display: (Click to preview, double click to set as wallpaper now)";
inline constexpr const char* kDisplayFilesColumn =
    "Images Selected To Display: (Double Click To Remove)";
inline constexpr const char* kDirFilesColumn = "Images In This Folder";

}  // namespace tavrino
