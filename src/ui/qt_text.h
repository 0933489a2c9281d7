// Record texts are 8-bit bytes (Latin-1, as the unit and the files hold them); the window converts
// at its edge, here and nowhere else.
#pragma once

#include <QString>
#include <QStringDecoder>
#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "model/identity.h"

namespace orv::ui {

inline QString FromRecord(std::string_view bytes) {
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}
inline std::string ToRecord(const QString& text) {
    return text.toLatin1().toStdString();
}
// A sentence of the core for the user: UTF-8 where it names characters as the user wrote them,
// otherwise record bytes (Latin-1).
inline QString FromMessageText(std::string_view text) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString decoded = utf8(QByteArrayView(text.data(), static_cast<qsizetype>(text.size())));
    return utf8.hasError() ? FromRecord(text) : decoded;
}
// A heading with the first dozen items beneath it, one a line.
inline QString WithList(const QString& heading, const std::vector<std::string>& items) {
    QString text = heading;
    const std::size_t shown = std::min<std::size_t>(items.size(), 12);
    for (std::size_t k = 0; k < shown; ++k) text += "\n- " + FromMessageText(items[k]);
    if (items.size() > shown) text += QString("\n(and %1 more)").arg(items.size() - shown);
    return text;
}
// The program title, the caption of every message box the editor shows.
inline QString AppTitle() {
    return FromRecord(kProgramTitle);
}

}  // namespace orv::ui
