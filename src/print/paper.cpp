#include "print/paper.h"

#include <QtGlobal>
#include <algorithm>
#include <array>

namespace orv::print {

QPageSize::PageSizeId PaperForLocale(const QLocale& locale) {
    static constexpr std::array kLetter{
        QLocale::UnitedStates, QLocale::Canada,    QLocale::Mexico,   QLocale::PuertoRico,
        QLocale::Philippines,  QLocale::Chile,     QLocale::Colombia, QLocale::Venezuela,
        QLocale::CostaRica,    QLocale::Guatemala, QLocale::Panama,   QLocale::DominicanRepublic,
        QLocale::ElSalvador,   QLocale::Nicaragua, QLocale::Belize,
    };
    const auto territory = locale.territory();
    return std::find(kLetter.begin(), kLetter.end(), territory) != kLetter.end() ? QPageSize::Letter
                                                                                 : QPageSize::A4;
}

QLocale PaperLocale() {
#ifndef Q_OS_WIN
    for (const char* variable : {"LC_ALL", "LC_PAPER", "LANG"}) {
        const QString name = qEnvironmentVariable(variable);
        if (name.isEmpty()) continue;
        // "en_US.UTF-8" and "en_US@euro" name en_US; "C" and "POSIX" no territory.
        return QLocale(name.section('.', 0, 0).section('@', 0, 0));
    }
#endif
    return QLocale::system();
}

}  // namespace orv::print
