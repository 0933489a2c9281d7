// orv-cli show --pdf: the commissioning sheet of an opened configuration as a PDF file.
// sheet_pdf_qt.cpp draws it with Qt; sheet_pdf_none.cpp, for an orv-cli built without Qt
// (orv-cli.exe), says where to get one instead.
#pragma once

#include <string>

#include "cli.h"

namespace orv::cli {

enum class Paper { kLocale, kA4, kLetter };

// Writes the sheet of state (opened from inPath) to outPath; prints what it did, or why not.
bool WriteSheetPdfFile(const EditorState& state, const std::string& inPath,
                       const std::string& outPath, Paper paper);

}  // namespace orv::cli
