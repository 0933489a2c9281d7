// The paper the sheet is set on: Letter where the user's locale uses it (the Americas' Letter
// countries and the Philippines), A4 everywhere else.
#pragma once

#include <QLocale>
#include <QPageSize>

namespace orv::print {

QPageSize::PageSizeId PaperForLocale(const QLocale& locale);

// The locale that decides the paper: on Unix the first of LC_ALL, LC_PAPER and LANG that is set
// (as the C library decides it), elsewhere the system's.
QLocale PaperLocale();

}  // namespace orv::print
