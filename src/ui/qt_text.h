// Record texts are 8-bit bytes (Latin-1, as the unit and the files hold them); the window converts
// at its edge, here and nowhere else.
#pragma once

#include <QString>
#include <string>
#include <string_view>

#include "model/identity.h"

namespace orv::ui {

inline QString FromRecord(std::string_view bytes) {
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}
inline std::string ToRecord(const QString& text) {
    return text.toLatin1().toStdString();
}
// The program title, the caption of every message box the editor shows.
inline QString AppTitle() {
    return FromRecord(kProgramTitle);
}

}  // namespace orv::ui
