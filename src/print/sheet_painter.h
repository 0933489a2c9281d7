// The commissioning sheet on pages: a running head (program, sheet title, file name) and foot
// (date printed, "page n of m") on every page; each section's heading and a table's column
// headings repeated where it continues on a new page; every text whole (a message too wide for its
// column is set smaller, not cut). One layout for the printer, its preview and PDF files.
#pragma once

#include <QPageSize>
#include <QString>
#include <string>

#include "print/sheet.h"

class QPagedPaintDevice;

namespace orv::print {

// Lays the sheet out for the device's page (its size, margins and resolution) and paints every
// page, or those of the device's page ranges (a print dialog's "Pages from ... to"), starting a
// new one with device.newPage() as it goes. Returns the number of pages of the sheet, or 0 when
// nothing could be painted on the device.
int PaintSheet(const SheetContent& sheet, QPagedPaintDevice& device);

// How many pages the sheet takes on a page of this size with the margins the PDF gets.
int CountSheetPages(const SheetContent& sheet, QPageSize::PageSizeId paper);

struct PdfResult {
    bool ok = false;
    int pages = 0;
    std::string error;  // why not, for "Cannot write 'x.pdf': <error>."
};

// The sheet as a PDF file at path (UTF-8), written whole or not at all: a full disk or a folder
// that cannot be written leaves any earlier file as it was.
PdfResult WriteSheetPdf(const SheetContent& sheet, const std::string& path,
                        QPageSize::PageSizeId paper);
// The PDF's bytes, for callers that keep them elsewhere.
QByteArray SheetPdfBytes(const SheetContent& sheet, QPageSize::PageSizeId paper, int* pages);

// The margins of the sheet's pages, in millimetres.
inline constexpr double kSheetMarginMm = 12.0;

// "2024-05-17 14:03": the local date and time, as the sheet shows when it was printed.
std::string PrintedNow();

}  // namespace orv::print
