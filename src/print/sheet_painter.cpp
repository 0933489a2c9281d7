#include "print/sheet_painter.h"

#include <QBuffer>
#include <QDateTime>
#include <QFont>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageRanges>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <algorithm>
#include <vector>

#include "files/profile.h"

namespace orv::print {
namespace {

// Sizes in points; the page is laid out in the device's own units.
constexpr qreal kBodyPt = 8.0;
constexpr qreal kMessagePt = 7.5;
constexpr qreal kSmallestPt = 4.5;  // a long message is set down to this before it wraps
constexpr qreal kHeadingPt = 10.5;
constexpr qreal kTitlePt = 17.0;
constexpr qreal kRunningPt = 7.0;

enum class Role { kBody, kBold, kMono, kHeading, kTitle, kRunning };

QFont FontFor(Role role, qreal pointSize = 0) {
    QFont f;
    switch (role) {
        case Role::kMono:
            f = QFont("DejaVu Sans Mono");
            f.setStyleHint(QFont::TypeWriter);
            f.setFixedPitch(true);
            f.setPointSizeF(kMessagePt);
            break;
        case Role::kTitle:
        case Role::kHeading:
        case Role::kBold:
        case Role::kBody:
        case Role::kRunning:
            f = QFont("DejaVu Sans");
            f.setStyleHint(QFont::SansSerif);
            f.setPointSizeF(role == Role::kTitle     ? kTitlePt
                            : role == Role::kHeading ? kHeadingPt
                            : role == Role::kRunning ? kRunningPt
                                                     : kBodyPt);
            f.setBold(role == Role::kTitle || role == Role::kHeading || role == Role::kBold);
            break;
    }
    if (pointSize > 0) f.setPointSizeF(pointSize);
    // Kerning would move the letters of a RIC or message about, and ligatures ("fi" as one
    // glyph) would keep a message from being found or copied out of the PDF as it was typed.
    f.setKerning(false);
    f.setStyleStrategy(QFont::PreferNoShaping);
    return f;
}

// One thing drawn on a page.
struct Op {
    enum class Kind { kText, kFill, kLine };
    Kind kind = Kind::kText;
    QRectF rect;  // a line runs from its top left to its bottom right
    QString text;
    Role role = Role::kBody;
    qreal pointSize = 0;  // 0: the role's size
    int flags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine;
    QColor color = Qt::black;
};
using Page = std::vector<Op>;

const QColor kHeaderFill(0xD9, 0xD9, 0xD9);
const QColor kStripeFill(0xF1, 0xF1, 0xF1);
const QColor kRuleColour(0x60, 0x60, 0x60);

QString Q(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

class Layout {
  public:
    Layout(const SheetContent& sheet, QPaintDevice& device)
        : sheet_(sheet), device_(device), width_(device.width()), height_(device.height()) {
        runningHeight_ = Line(Role::kRunning) + Mm(2.5);
        top_ = runningHeight_ + Mm(2);
        bottom_ = height_ - runningHeight_ - Mm(2);
        pad_ = Mm(1.2);
        rowHeight_ = Line(Role::kBody) + Mm(1.0);
    }

    std::vector<Page> Run() {
        NewPage();
        Text(QRectF(0, y_, width_, Line(Role::kTitle)), Q(sheet_.title), Role::kTitle);
        y_ += Line(Role::kTitle);
        Text(QRectF(0, y_, width_, Line(Role::kBody)), Q(sheet_.program), Role::kBody);
        y_ += Line(Role::kBody);
        for (const SheetSection& section : sheet_.sections) Section(section);
        SignOff();
        return std::move(pages_);
    }

  private:
    qreal Mm(qreal mm) const { return mm * device_.logicalDpiY() / 25.4; }
    QFontMetricsF Metrics(Role role, qreal pointSize = 0) const {
        return QFontMetricsF(FontFor(role, pointSize), &device_);
    }
    qreal Line(Role role, qreal pointSize = 0) const { return Metrics(role, pointSize).height(); }
    qreal Width(const QString& text, Role role, qreal pointSize = 0) const {
        return Metrics(role, pointSize).horizontalAdvance(text);
    }

    void Text(const QRectF& rect, const QString& text, Role role, qreal pointSize = 0,
              int flags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine) {
        pages_.back().push_back({Op::Kind::kText, rect, text, role, pointSize, flags, Qt::black});
    }
    void Fill(const QRectF& rect, const QColor& colour) {
        pages_.back().push_back({Op::Kind::kFill, rect, {}, Role::kBody, 0, 0, colour});
    }
    void Rule(qreal y, qreal from, qreal to) {
        pages_.back().push_back({Op::Kind::kLine,
                                 QRectF(QPointF(from, y), QPointF(to, y)),
                                 {},
                                 Role::kBody,
                                 0,
                                 0,
                                 kRuleColour});
    }

    void NewPage() {
        pages_.emplace_back();
        y_ = top_;
    }
    bool Fits(qreal height) const { return y_ + height <= bottom_ + 0.01; }

    void Heading(const QString& text) {
        const qreal h = Line(Role::kHeading);
        Text(QRectF(0, y_, width_, h), text, Role::kHeading);
        y_ += h;
        Rule(y_, 0, width_);
        y_ += Mm(1.2);
    }
    qreal HeadingHeight() const { return Line(Role::kHeading) + Mm(1.2); }

    // ---- Label and value pairs

    qreal LabelWidth(const SheetSection& section) const {
        qreal w = 0;
        for (const auto& f : section.fields) w = std::max(w, Width(Q(f.label), Role::kBold));
        return w + Mm(4);
    }
    qreal FieldHeight(const SheetField& field, qreal labelWidth) const {
        const QRectF room(0, 0, std::max(width_ - labelWidth, Mm(20)), height_);
        const qreal h =
            Metrics(Role::kBody).boundingRect(room, Qt::TextWordWrap, Q(field.value)).height();
        return std::max(h, Line(Role::kBody)) + Mm(0.8);
    }

    // ---- Tables

    struct Columns {
        std::vector<qreal> x, w;
    };
    Columns TableColumns(const SheetTable& t) const {
        Columns c;
        const auto n = t.columns.size();
        c.w.assign(n, 0);
        for (std::size_t k = 0; k < n; ++k) {
            if (static_cast<int>(k) == t.stretch) continue;
            qreal w = Width(Q(t.columns[k]), Role::kBold);
            for (const auto& row : t.rows) w = std::max(w, Width(Q(row[k]), Role::kBody));
            c.w[k] = w + 2 * pad_;
        }
        qreal fixed = 0;
        for (qreal w : c.w) fixed += w;
        if (t.stretch >= 0 && static_cast<std::size_t>(t.stretch) < n) {
            c.w[static_cast<std::size_t>(t.stretch)] = std::max(width_ - fixed, Mm(25));
        } else if (n > 0 && fixed < width_) {
            c.w.back() += width_ - fixed;
        }
        qreal x = 0;
        for (qreal w : c.w) {
            c.x.push_back(x);
            x += w;
        }
        return c;
    }

    // How a cell of the stretched column is set: its size, and whether it must wrap.
    struct CellSetting {
        qreal pointSize = 0;
        bool wraps = false;
        qreal height = 0;
    };
    CellSetting StretchCell(const QString& text, qreal columnWidth) const {
        const qreal room = columnWidth - 2 * pad_;
        CellSetting s{kMessagePt, false, Line(Role::kMono)};
        const qreal natural = Width(text, Role::kMono);
        if (natural <= room) return s;
        // Smaller, in steps, until it fits on the line or reaches the smallest size.
        for (qreal size = kMessagePt - 0.25; size >= kSmallestPt - 0.001; size -= 0.25) {
            s.pointSize = size;
            if (Width(text, Role::kMono, size) <= room) {
                s.height = Line(Role::kMono, size);
                return s;
            }
        }
        s.pointSize = kSmallestPt;
        s.wraps = true;
        s.height = Metrics(Role::kMono, kSmallestPt)
                       .boundingRect(QRectF(0, 0, room, height_), Qt::TextWrapAnywhere, text)
                       .height();
        return s;
    }

    qreal RowHeight(const SheetTable& t, const std::vector<std::string>& row,
                    const Columns& c) const {
        qreal h = rowHeight_;
        if (t.stretch >= 0) {
            const auto k = static_cast<std::size_t>(t.stretch);
            h = std::max(h, StretchCell(Q(row[k]), c.w[k]).height + Mm(1.0));
        }
        return h;
    }

    void HeaderRow(const SheetTable& t, const Columns& c) {
        Fill(QRectF(0, y_, width_, rowHeight_), kHeaderFill);
        for (std::size_t k = 0; k < t.columns.size(); ++k)
            Text(QRectF(c.x[k] + pad_, y_, c.w[k] - 2 * pad_, rowHeight_), Q(t.columns[k]),
                 Role::kBold);
        y_ += rowHeight_;
    }

    void BodyRow(const SheetTable& t, const std::vector<std::string>& row, const Columns& c,
                 bool stripe, qreal h) {
        if (stripe) Fill(QRectF(0, y_, width_, h), kStripeFill);
        for (std::size_t k = 0; k < row.size(); ++k) {
            const QRectF cell(c.x[k] + pad_, y_, c.w[k] - 2 * pad_, h);
            if (static_cast<int>(k) == t.stretch) {
                const CellSetting s = StretchCell(Q(row[k]), c.w[k]);
                Text(cell, Q(row[k]), Role::kMono, s.pointSize,
                     Qt::AlignLeft | Qt::AlignVCenter |
                         (s.wraps ? Qt::TextWrapAnywhere : Qt::TextSingleLine));
            } else {
                Text(cell, Q(row[k]), Role::kBody);
            }
        }
        y_ += h;
    }

    void Section(const SheetSection& section) {
        const QString heading = Q(section.heading);
        const QString continued = heading + " (continued)";
        const qreal labelWidth = LabelWidth(section);
        const bool hasTable = !section.table.columns.empty();
        const Columns columns = hasTable ? TableColumns(section.table) : Columns{};

        // The heading stays with the start of what it heads.
        qreal start = Mm(4) + HeadingHeight();
        for (std::size_t k = 0; k < std::min<std::size_t>(section.fields.size(), 2); ++k)
            start += FieldHeight(section.fields[k], labelWidth);
        if (hasTable) {
            start += rowHeight_;
            for (std::size_t k = 0; k < std::min<std::size_t>(section.table.rows.size(), 3); ++k)
                start += RowHeight(section.table, section.table.rows[k], columns);
        }
        if (!Fits(start)) NewPage();
        if (y_ > top_) y_ += Mm(4);
        Heading(heading);

        for (const SheetField& field : section.fields) {
            const qreal h = FieldHeight(field, labelWidth);
            if (!Fits(h)) {
                NewPage();
                Heading(continued);
            }
            Text(QRectF(0, y_, labelWidth, h), Q(field.label), Role::kBold, 0,
                 Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine);
            Text(QRectF(labelWidth, y_, width_ - labelWidth, h), Q(field.value), Role::kBody, 0,
                 Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap);
            y_ += h;
        }
        if (!hasTable) return;
        if (!section.fields.empty()) y_ += Mm(1.5);
        HeaderRow(section.table, columns);
        bool stripe = false;
        for (const auto& row : section.table.rows) {
            const qreal h = RowHeight(section.table, row, columns);
            if (!Fits(h)) {
                NewPage();
                Heading(continued);
                HeaderRow(section.table, columns);
                stripe = false;
            }
            BodyRow(section.table, row, columns, stripe, h);
            stripe = !stripe;
        }
    }

    void SignOff() {
        if (sheet_.signOff.empty()) return;
        const qreal line = Mm(9);
        const qreal needed = Mm(8) + line * static_cast<qreal>(sheet_.signOff.size());
        if (!Fits(needed)) NewPage();
        y_ += Mm(8);
        qreal labelWidth = 0;
        for (const auto& label : sheet_.signOff)
            labelWidth = std::max(labelWidth, Width(Q(label), Role::kBold));
        labelWidth += Mm(4);
        for (const auto& label : sheet_.signOff) {
            Text(QRectF(0, y_, labelWidth, line), Q(label), Role::kBold, 0,
                 Qt::AlignLeft | Qt::AlignBottom | Qt::TextSingleLine);
            Rule(y_ + line - Mm(1), labelWidth, width_ * 0.75);
            y_ += line;
        }
    }

    const SheetContent& sheet_;
    QPaintDevice& device_;
    qreal width_, height_;
    qreal runningHeight_ = 0, top_ = 0, bottom_ = 0, pad_ = 0, rowHeight_ = 0;
    qreal y_ = 0;
    std::vector<Page> pages_;
};

// Rules a fifth of a millimetre wide, whatever the device's resolution.
QPen RulePen(const QPaintDevice& device) {
    return QPen(kRuleColour, 0.2 * device.logicalDpiY() / 25.4);
}

void Draw(QPainter& painter, const QPaintDevice& device, const Op& op) {
    switch (op.kind) {
        case Op::Kind::kFill:
            painter.fillRect(op.rect, op.color);
            break;
        case Op::Kind::kLine:
            painter.setPen(RulePen(device));
            painter.drawLine(op.rect.topLeft(), op.rect.bottomRight());
            break;
        case Op::Kind::kText:
            painter.setPen(op.color);
            painter.setFont(FontFor(op.role, op.pointSize));
            painter.drawText(op.rect, op.flags, op.text);
            break;
    }
}

// The running head and foot of page n (from 1) of m.
void DrawRunning(QPainter& painter, const SheetContent& sheet, QPaintDevice& device, int n, int m) {
    const qreal mm = device.logicalDpiY() / 25.4;
    const QFont font = FontFor(Role::kRunning);
    const qreal line = QFontMetricsF(font, &device).height();
    const qreal w = device.width(), h = device.height();
    painter.setFont(font);
    painter.setPen(Qt::black);
    const QString head = Q(sheet.program) + " \u2013 " + Q(sheet.title);
    const qreal headWidth = QFontMetricsF(font, &device).horizontalAdvance(head);
    painter.drawText(QRectF(0, 0, w, line), Qt::AlignLeft | Qt::AlignVCenter, head);
    const QString file = QFontMetricsF(font, &device)
                             .elidedText(Q(sheet.fileName), Qt::ElideMiddle,
                                         std::max<qreal>(w - headWidth - 6 * mm, 10 * mm));
    painter.drawText(QRectF(0, 0, w, line), Qt::AlignRight | Qt::AlignVCenter, file);
    painter.setPen(RulePen(device));
    painter.drawLine(QPointF(0, line + mm), QPointF(w, line + mm));

    painter.drawLine(QPointF(0, h - line - mm), QPointF(w, h - line - mm));
    painter.setPen(Qt::black);
    painter.drawText(QRectF(0, h - line, w, line), Qt::AlignLeft | Qt::AlignVCenter,
                     "Printed " + Q(sheet.printed));
    painter.drawText(QRectF(0, h - line, w, line), Qt::AlignRight | Qt::AlignVCenter,
                     QString("page %1 of %2").arg(n).arg(m));
}

void SetUpPdf(QPdfWriter& writer, const SheetContent& sheet, QPageSize::PageSizeId paper) {
    writer.setPageLayout(
        QPageLayout(QPageSize(paper), QPageLayout::Portrait,
                    QMarginsF(kSheetMarginMm, kSheetMarginMm, kSheetMarginMm, kSheetMarginMm),
                    QPageLayout::Millimeter));
    writer.setResolution(600);
    writer.setTitle(Q(sheet.title + " " + sheet.fileName));
    writer.setCreator(Q(sheet.program));
}

}  // namespace

int PaintSheet(const SheetContent& sheet, QPagedPaintDevice& device) {
    const std::vector<Page> pages = Layout(sheet, device).Run();
    QPainter painter;
    if (!painter.begin(&device)) return 0;
    const int count = static_cast<int>(pages.size());
    // The pages the print dialog asked for (all when it named none); each keeps its own number.
    const QPageRanges wanted = device.pageRanges();
    bool first = true;
    for (int n = 1; n <= count; ++n) {
        if (!wanted.isEmpty() && !wanted.contains(n)) continue;
        if (!first && !device.newPage()) return 0;
        first = false;
        DrawRunning(painter, sheet, device, n, count);
        for (const Op& op : pages[static_cast<std::size_t>(n - 1)]) Draw(painter, device, op);
    }
    return painter.end() ? count : 0;
}

int CountSheetPages(const SheetContent& sheet, QPageSize::PageSizeId paper) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    SetUpPdf(writer, sheet, paper);
    return static_cast<int>(Layout(sheet, writer).Run().size());
}

QByteArray SheetPdfBytes(const SheetContent& sheet, QPageSize::PageSizeId paper, int* pages) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    int count = 0;
    {
        QPdfWriter writer(&buffer);
        SetUpPdf(writer, sheet, paper);
        count = PaintSheet(sheet, writer);
    }
    if (pages) *pages = count;
    return count > 0 ? buffer.data() : QByteArray();
}

PdfResult WriteSheetPdf(const SheetContent& sheet, const std::string& path,
                        QPageSize::PageSizeId paper) {
    PdfResult result;
    const QByteArray bytes = SheetPdfBytes(sheet, paper, &result.pages);
    if (bytes.isEmpty()) {
        result.error = "the PDF could not be drawn";
        return result;
    }
    const FileIoResult w =
        WriteFileAtomically(path, std::string_view(bytes.constData(), bytes.size()));
    result.ok = w.ok;
    result.error = w.error;
    return result;
}

std::string PrintedNow() {
    return QDateTime::currentDateTime().toString("yyyy-MM-dd HH:mm").toStdString();
}

}  // namespace orv::print
