#include "sheet_pdf.h"

namespace orv::cli {

bool WriteSheetPdfFile(const EditorState&, const std::string& inPath, const std::string&, Paper) {
    PrintError(
        "This orv-cli cannot write PDF files (it is built without Qt, which draws them). "
        "Open '" +
        inPath +
        "' in orv-config and choose File > Export PDF, or run 'orv-cli show --pdf' on "
        "Linux.");
    return false;
}

}  // namespace orv::cli
