// SPDX-License-Identifier: GPL-3.0-or-later
#include "certificate/Certificate.h"

#include "common/TextConv.h"
#include "wrench/Verification.h"

#include <QBuffer>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

#include <algorithm>

namespace zelcor {

namespace {

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

// Sizes on the page, in millimetres.
constexpr double kPageWidth = 210;
constexpr double kPageHeight = 297;
constexpr double kMarginSide = 18;
constexpr double kMarginTop = 16;
constexpr double kBodyBottom = kPageHeight - 20; // the footer lies below
constexpr double kFooterLine = kPageHeight - 12;
constexpr double kBodyWidth = kPageWidth - 2 * kMarginSide;
constexpr int kResolution = 300; // dots per inch

const QColor kPassColour(0, 122, 51);
const QColor kFailColour(190, 0, 0);
const QColor kMutedColour(110, 110, 110);

// One cell of a table row.
struct Cell {
    QString text;
    QColor colour = Qt::black;
    bool bold = false;
};
struct Column {
    double width; // mm
    QString title;
    Qt::Alignment align = Qt::AlignLeft;
};

// The pages as a flow of blocks from top to bottom. Laid out twice: first without a painter,
// only to count the pages, then painted with "page n of N" known.
class Sheet {
public:
    Sheet(QPdfWriter& writer, QPainter* painter, QString footer, int pageCount)
        : m_writer(writer), m_painter(painter), m_footer(std::move(footer)), m_pageCount(pageCount),
          m_y(kMarginTop) {}

    QFont font(double points, bool bold = false) const {
        QFont f(QString::fromLatin1(kCertificateFont));
        f.setPointSizeF(points);
        f.setBold(bold);
        // No ligatures: a reader that copies "fi" or "ff" gets those letters, not the
        // ligature's one character.
        f.setStyleStrategy(QFont::PreferNoShaping);
        f.setKerning(false);
        return f;
    }

    // A line of text in `f`, wrapped to the body's width.
    void text(const QString& line, const QFont& f, const QColor& colour = Qt::black) {
        const double height = textHeight(line, f, kBodyWidth);
        fit(height);
        draw(QRectF(kMarginSide, m_y, kBodyWidth, height), line, f, colour,
             Qt::AlignLeft | Qt::TextWordWrap);
        m_y += height;
    }

    // A label and its value beside it, the value wrapped.
    void field(const QString& label, const QString& value, const QColor& colour = Qt::black,
               bool bold = false) {
        constexpr double kLabelWidth = 46;
        const QFont labelFont = font(9.5, true);
        const QFont valueFont = font(9.5, bold);
        const double height = std::max(textHeight(label, labelFont, kLabelWidth),
                                       textHeight(value, valueFont, kBodyWidth - kLabelWidth)) +
                              0.8;
        fit(height);
        draw(QRectF(kMarginSide, m_y, kLabelWidth, height), label, labelFont, Qt::black,
             Qt::AlignLeft | Qt::TextWordWrap);
        draw(QRectF(kMarginSide + kLabelWidth, m_y, kBodyWidth - kLabelWidth, height), value,
             valueFont, colour, Qt::AlignLeft | Qt::TextWordWrap);
        m_y += height;
    }

    // A table whose heading is repeated on a page it runs on to. A cell's text wraps within
    // its column; its row grows to hold it.
    void table(const std::vector<Column>& columns, const std::vector<std::vector<Cell>>& rows) {
        const QFont headFont = font(8, true);
        const double headHeight = lineHeight(headFont) * 1.3;
        const double padding = lineHeight(font(8)) * 0.3;
        const auto head = [&] {
            double x = kMarginSide;
            for (const Column& c : columns) {
                draw(QRectF(x + 1, m_y, c.width - 2, headHeight), c.title, headFont, Qt::black,
                     c.align | Qt::AlignVCenter | Qt::TextWordWrap);
                x += c.width;
            }
            m_y += headHeight;
            rule(0.3);
        };
        const auto heightOf = [&](const std::vector<Cell>& row) {
            double height = 0;
            for (std::size_t i = 0; i < columns.size() && i < row.size(); ++i) {
                height = std::max(
                    height, textHeight(row[i].text, font(8, row[i].bold), columns[i].width - 2));
            }
            return height + padding;
        };
        fit(headHeight + (rows.empty() ? 0 : heightOf(rows.front())));
        head();
        for (const std::vector<Cell>& row : rows) {
            const double height = heightOf(row);
            if (m_y + height > kBodyBottom) {
                newPage();
                head();
            }
            double x = kMarginSide;
            for (std::size_t i = 0; i < columns.size() && i < row.size(); ++i) {
                draw(QRectF(x + 1, m_y, columns[i].width - 2, height), row[i].text,
                     font(8, row[i].bold), row[i].colour,
                     columns[i].align | Qt::AlignVCenter | Qt::TextWordWrap);
                x += columns[i].width;
            }
            m_y += height;
        }
        rule(0.2);
    }

    // A line across the body.
    void rule(double widthMm) {
        if (m_painter != nullptr) {
            m_painter->save();
            m_painter->setPen(QPen(Qt::black, mm(widthMm)));
            m_painter->drawLine(QPointF(mm(kMarginSide), mm(m_y)),
                                QPointF(mm(kMarginSide + kBodyWidth), mm(m_y)));
            m_painter->restore();
        }
        m_y += 0.8;
    }

    // A line to sign on, with the words under it.
    void signature(const QString& left, const QString& right) {
        const QFont f = font(8.5);
        const double height = 16 + lineHeight(f);
        fit(height);
        m_y += 14;
        const double width = 70;
        if (m_painter != nullptr) {
            m_painter->save();
            m_painter->setPen(QPen(Qt::black, mm(0.25)));
            for (const double x : {kMarginSide, kMarginSide + kBodyWidth - width}) {
                m_painter->drawLine(QPointF(mm(x), mm(m_y)), QPointF(mm(x + width), mm(m_y)));
            }
            m_painter->restore();
        }
        m_y += 1;
        draw(QRectF(kMarginSide, m_y, width, lineHeight(f)), left, f, Qt::black, Qt::AlignLeft);
        draw(QRectF(kMarginSide + kBodyWidth - width, m_y, width, lineHeight(f)), right, f,
             Qt::black, Qt::AlignLeft);
        m_y += lineHeight(f);
    }

    void space(double mmHeight) { m_y += mmHeight; }
    // Begins a new page unless the rest of this one holds `mmHeight`.
    void keep(double mmHeight) { fit(mmHeight); }

    // Ends the last page; the number of pages written.
    int finish() {
        footer();
        return m_page;
    }

private:
    double mm(double millimetres) const { return millimetres * kResolution / 25.4; }
    double lineHeight(const QFont& f) const {
        return QFontMetricsF(f, &m_writer).lineSpacing() * 25.4 / kResolution;
    }
    double textHeight(const QString& line, const QFont& f, double widthMm) const {
        const QRectF box = QFontMetricsF(f, &m_writer)
                               .boundingRect(QRectF(0, 0, mm(widthMm), mm(kPageHeight)),
                                             Qt::AlignLeft | Qt::TextWordWrap, line);
        return std::max(box.height() * 25.4 / kResolution, lineHeight(f));
    }

    void draw(const QRectF& boxMm, const QString& line, const QFont& f, const QColor& colour,
              int flags) {
        if (m_painter == nullptr) {
            return;
        }
        m_painter->setFont(f);
        m_painter->setPen(colour);
        m_painter->drawText(
            QRectF(mm(boxMm.x()), mm(boxMm.y()), mm(boxMm.width()), mm(boxMm.height())), flags,
            line);
    }

    void fit(double height) {
        if (m_y + height > kBodyBottom && m_y > kMarginTop) {
            newPage();
        }
    }

    void footer() {
        const QFont f = font(7.5);
        const QString page = QStringLiteral("page %1 of %2").arg(m_page).arg(m_pageCount);
        const QRectF box(kMarginSide, kFooterLine, kBodyWidth, lineHeight(f));
        draw(box, m_footer, f, kMutedColour, Qt::AlignLeft);
        draw(box, page, f, kMutedColour, Qt::AlignRight);
    }

    void newPage() {
        footer();
        if (m_painter != nullptr) {
            m_writer.newPage();
        }
        ++m_page;
        m_y = kMarginTop;
    }

    QPdfWriter& m_writer;
    QPainter* m_painter;
    QString m_footer;
    int m_pageCount;
    int m_page = 1;
    double m_y; // mm from the page's top
};

// "20 %, 60 % and 100 %".
QString PercentList(const std::vector<double>& points) {
    QStringList words;
    for (const double p : points) {
        words << QString::number(p) + QStringLiteral(" %");
    }
    if (words.size() < 2) {
        return words.join(QString());
    }
    const QString last = words.takeLast();
    return words.join(QStringLiteral(", ")) + QStringLiteral(" and ") + last;
}

QString Plural(int count, const char* one, const char* many) {
    return QString::number(count) + QLatin1Char(' ') + QLatin1String(count == 1 ? one : many);
}

// "3 points at 20 %, 60 % and 100 % of 100.0 N·m, 5 readings each, 3 pre-loads at 100 %,
// permissible deviation ±4 % of the reading", a line for each part.
QString MethodText(const VerificationSettings& s) {
    const QString preloads =
        s.preloads == 0 ? QStringLiteral("no pre-loads")
                        : Plural(s.preloads, "pre-load", "pre-loads") + QStringLiteral(" at 100 %");
    return Plural(static_cast<int>(s.pointsPercent.size()), "point", "points") +
           QStringLiteral(" at ") + PercentList(s.pointsPercent) + QStringLiteral(" of ") +
           qs(TorqueWithDigits(s.maximum, s.digits)) + QStringLiteral(" N·m,\n") +
           Plural(s.readingsPerPoint, "reading", "readings") + QStringLiteral(" each,\n") +
           preloads + QStringLiteral(",\npermissible deviation ±") +
           QString::number(s.tolerancePercent) + QStringLiteral(" % of the reading");
}

// "20 %", or "CW 20 %" in a run of both directions.
QString PointName(const VerificationSettings& s, const std::string& direction, int point) {
    const bool known = point >= 0 && point < static_cast<int>(s.pointsPercent.size());
    const QString percent =
        known ? QString::number(s.pointsPercent[static_cast<std::size_t>(point)]) +
                    QStringLiteral(" %")
              : QStringLiteral("?");
    return s.direction == VerifyDirection::Both ? qs(direction) + QLatin1Char(' ') + percent
                                                : percent;
}

Cell VerdictCell(bool passed) {
    return {passed ? QStringLiteral("PASS") : QStringLiteral("FAIL"),
            passed ? kPassColour : kFailColour, true};
}

// The readings in the order taken, then per point the sums, then the run's verdict.
void RunTables(Sheet& sheet, const VerificationRun& run) {
    const VerificationSettings& s = run.settings;
    // The reference and the sums show at least two decimals, as testers give them.
    const int fine = std::max(2, s.digits);
    std::vector<std::vector<Cell>> rows;
    for (const VerificationReading& r : run.readings) {
        const double d = Deviation(r.wrench, r.reference);
        const bool within = WithinTolerance(d, s.tolerancePercent);
        const QColor colour = r.discarded ? kMutedColour : Qt::black;
        rows.push_back(
            {{PointName(s, r.direction, r.point), colour},
             {QString::number(r.index), colour},
             {qs(TorqueWithDigits(r.target, s.digits)), colour},
             {qs(TorqueWithDigits(r.wrench, s.digits)), colour},
             {qs(TorqueWithDigits(r.reference, fine)), colour},
             {qs(DeviationText(d)), r.discarded ? kMutedColour
                                    : within    ? Qt::black
                                                : kFailColour},
             {r.discarded ? QStringLiteral("repeated: ") + qs(r.discardReason) : QString(),
              colour}});
    }
    const auto right = Qt::AlignRight;
    sheet.text(QStringLiteral("Torques in N·m; deviation = (wrench − reference) / reference"),
               sheet.font(8), kMutedColour);
    // The point's column holds "CCW 100 %" on one line.
    sheet.table({{22, QStringLiteral("Point")},
                 {16, QStringLiteral("Reading"), right},
                 {20, QStringLiteral("Target"), right},
                 {20, QStringLiteral("Wrench"), right},
                 {22, QStringLiteral("Reference"), right},
                 {22, QStringLiteral("Deviation"), right},
                 {52, QStringLiteral("")}},
                rows);
    if (rows.empty()) {
        sheet.text(QStringLiteral("No reading was taken."), sheet.font(8));
    }
    sheet.space(2);

    rows.clear();
    for (const PointSummary& p : Summaries(run)) {
        rows.push_back({{PointName(s, p.direction, p.point)},
                        {QString::number(p.count)},
                        {qs(TorqueWithDigits(p.meanWrench, fine))},
                        {qs(TorqueWithDigits(p.meanReference, fine))},
                        {qs(DeviationText(p.largestDeviation))},
                        {qs(TorqueWithDigits(p.spread, fine)) + QStringLiteral(" N·m (") +
                         QString::number(p.spreadPercent, 'f', 2) + QStringLiteral(" %)")},
                        VerdictCell(p.passed)});
    }
    // The sums stay together on one page.
    sheet.keep(6 + 4.5 * static_cast<double>(rows.size()));
    sheet.table({{22, QStringLiteral("Point")},
                 {18, QStringLiteral("Readings"), right},
                 {24, QStringLiteral("Mean wrench"), right},
                 {28, QStringLiteral("Mean reference"), right},
                 {32, QStringLiteral("Largest deviation"), right},
                 {32, QStringLiteral("Spread"), right},
                 {18, QStringLiteral("Verdict"), right}},
                rows);
    sheet.space(1.5);
    const bool passed = run.verdict == Verdict::Passed;
    const Cell verdict = VerdictCell(passed);
    sheet.field(QStringLiteral("Verdict of the run"),
                verdict.text +
                    (passed ? QStringLiteral(": every point within ±")
                            : QStringLiteral(": not every point within ±")) +
                    QString::number(s.tolerancePercent) + QStringLiteral(" %"),
                verdict.colour, true);
}

// The UTC date of a record's time, "YYYY-MM-DD"; empty when the time cannot be read.
QString RecordDate(const ServiceRecord& record) {
    const QDateTime time = QDateTime::fromString(qs(record.time), Qt::ISODateWithMs);
    return time.isValid() ? time.toUTC().date().toString(Qt::ISODate) : QString();
}

QString RecordClock(const ServiceRecord& record) {
    const QDateTime time = QDateTime::fromString(qs(record.time), Qt::ISODateWithMs);
    return time.isValid() ? time.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm 'UTC'"))
                          : qs(record.time);
}

QString OrUnknown(const std::string& text, const char* otherwise = "unknown") {
    return text.empty() ? QLatin1String(otherwise) : qs(text);
}

// What makes a record no run to certify; empty when it is one.
QString Unfit(const ServiceRecord& record, const char* which) {
    const QString name = QLatin1String(which) + QStringLiteral(" record ") + qs(record.id);
    if (!record.verification) {
        return name + QStringLiteral(" is no verification run");
    }
    if (record.verification->stopped || record.verification->verdict == Verdict::None) {
        return name + QStringLiteral(" is a run that was stopped or did not end with a "
                                     "verdict: it gets no certificate");
    }
    if (RecordDate(record).isEmpty()) {
        return name + QStringLiteral(" has a time that cannot be read: \"") + qs(record.time) +
               QLatin1Char('"');
    }
    return {};
}

void Paint(Sheet& sheet, const CertificateInput& input) {
    const ServiceRecord& record = input.record;
    const VerificationRun& run = *record.verification;
    const VerificationSettings& s = run.settings;
    const QString date = RecordDate(record);

    sheet.text(QStringLiteral("Certificate of verification"), sheet.font(18, true));
    sheet.text(QStringLiteral("Torque wrench, ") + qs(StateWord(s.asLeft)), sheet.font(11));
    sheet.space(3);
    sheet.field(QStringLiteral("Certificate number"), qs(RecordCertificateNumber(record)),
                Qt::black, true);
    sheet.field(QStringLiteral("Date of the run"), date);
    sheet.field(QStringLiteral("Bench"), OrUnknown(record.station));
    sheet.field(QStringLiteral("Technician"), OrUnknown(s.technician));
    sheet.space(2);
    sheet.field(QStringLiteral("Wrench code"), OrUnknown(record.wrenchCode));
    sheet.field(QStringLiteral("Direction"), qs(DirectionWord(s.direction)));
    sheet.field(QStringLiteral("Digits after the point"), QString::number(s.digits));
    sheet.field(QStringLiteral("Maximum"),
                qs(TorqueWithDigits(s.maximum, s.digits)) + QStringLiteral(" N·m"));
    sheet.field(QStringLiteral("State"), qs(StateWord(s.asLeft)));
    sheet.field(QStringLiteral("Reference tester"), OrUnknown(s.tester, "not named") +
                                                        QStringLiteral(", its own due date ") +
                                                        OrUnknown(s.testerDue, "not given"));
    sheet.field(QStringLiteral("Method"), MethodText(s));
    sheet.space(3);

    sheet.text(QStringLiteral("Readings"), sheet.font(11, true));
    RunTables(sheet, run);
    sheet.field(QStringLiteral("Next due date"),
                run.verdict == Verdict::Passed && !run.dueDate.empty() ? qs(run.dueDate)
                                                                       : QStringLiteral("none"),
                Qt::black, true);
    sheet.field(QStringLiteral("Remark"), OrUnknown(s.remark, "none"));

    if (input.asFound) {
        const ServiceRecord& found = *input.asFound;
        const VerificationRun& foundRun = *found.verification;
        sheet.space(4);
        sheet.keep(40);
        sheet.text(QStringLiteral("As found, earlier the same day"), sheet.font(11, true));
        sheet.field(QStringLiteral("Certificate number"), qs(RecordCertificateNumber(found)));
        sheet.field(QStringLiteral("Time of the run"), RecordClock(found));
        sheet.field(QStringLiteral("Technician"), OrUnknown(foundRun.settings.technician));
        sheet.field(QStringLiteral("Method"), MethodText(foundRun.settings));
        RunTables(sheet, foundRun);

        sheet.space(4);
        sheet.keep(20);
        sheet.text(QStringLiteral("Writes to the wrench between the two runs"),
                   sheet.font(11, true));
        std::vector<std::vector<Cell>> rows;
        for (const ServiceRecord& between : input.writesBetween) {
            QStringList cells;
            for (const RecordedWrite& w : between.bytesWritten) {
                cells << qs(ByteToHexStr(static_cast<std::uint8_t>(w.address))) +
                             QStringLiteral("H ") +
                             (w.before ? qs(ByteToHexStr(*w.before)) : QStringLiteral("??")) +
                             QStringLiteral("→") + qs(ByteToHexStr(w.after));
            }
            rows.push_back({{RecordClock(between)}, {OrUnknown(between.job)}, {cells.join("  ")}});
        }
        if (rows.empty()) {
            sheet.text(QStringLiteral("None."), sheet.font(9.5));
        } else {
            sheet.table({{34, QStringLiteral("Time")},
                         {40, QStringLiteral("Job")},
                         {kBodyWidth - 74, QStringLiteral("Cells written, before→after")}},
                        rows);
        }
    }

    sheet.signature(QStringLiteral("Technician: ") + OrUnknown(s.technician, ""),
                    QStringLiteral("Date"));
}

// The PDF writer dates the document with the time of writing, which no reader shows: the
// print date takes its place, so that the same input gives the same bytes. The new date is
// no longer than the old (UTC, "Z"), and blanks after it keep every offset of the file.
void StampCreationDate(QByteArray& pdf, const QDateTime& printed) {
    const QByteArray key = "/CreationDate (D:";
    const qsizetype start = pdf.indexOf(key);
    const qsizetype end = start < 0 ? -1 : pdf.indexOf(')', start);
    if (end < 0 || pdf.indexOf(key, end) >= 0) {
        return;
    }
    QByteArray stamp =
        key + printed.toUTC().toString(QStringLiteral("yyyyMMddHHmmss")).toLatin1() + "Z)";
    const qsizetype length = end + 1 - start;
    if (stamp.size() <= length) {
        pdf.replace(start, length, stamp.leftJustified(length, ' '));
    }
}

} // namespace

std::string RecordCertificateNumber(const ServiceRecord& record) {
    return CertificateNumber(record.id, RecordDate(record).toStdString());
}

bool WriteCertificate(const CertificateInput& input, const QString& pdfPath, QString& error) {
    error.clear();
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) {
        error = QStringLiteral("a certificate needs a QGuiApplication for its fonts");
        return false;
    }
    error = Unfit(input.record, "the");
    if (error.isEmpty() && input.asFound) {
        error = Unfit(*input.asFound, "the as-found");
    }
    if (!error.isEmpty()) {
        return false;
    }
    const QFont font(QString::fromLatin1(kCertificateFont));
    if (QFontInfo(font).family() != QLatin1String(kCertificateFont)) {
        error = QStringLiteral("the font %1, which certificates are written in, is not "
                               "installed (Debian: fonts-dejavu-core)")
                    .arg(QLatin1String(kCertificateFont));
        return false;
    }

    QSaveFile file(pdfPath);
    if (!file.open(QIODevice::WriteOnly)) {
        error = QStringLiteral("%1 cannot be written: %2").arg(pdfPath, file.errorString());
        return false;
    }
    const QString number = qs(RecordCertificateNumber(input.record));
    QByteArray pdf;
    {
        QBuffer buffer(&pdf);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                         QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter));
        writer.setResolution(kResolution);
        writer.setTitle(QStringLiteral("Certificate of verification ") + number);
        writer.setCreator(QStringLiteral("Zelcor"));
        const QString footer =
            QStringLiteral("Certificate %1 · printed %2")
                .arg(number, input.printed.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm "
                                                                           "'UTC'")));
        Sheet counting(writer, nullptr, footer, 0);
        Paint(counting, input);
        const int pages = counting.finish();

        QPainter painter;
        if (!painter.begin(&writer)) {
            error = QStringLiteral("%1 cannot be written").arg(pdfPath);
            return false;
        }
        Sheet sheet(writer, &painter, footer, pages);
        Paint(sheet, input);
        sheet.finish();
        painter.end();
    }
    StampCreationDate(pdf, input.printed);
    if (file.write(pdf) != pdf.size() || !file.commit()) {
        error = QStringLiteral("%1 cannot be written: %2").arg(pdfPath, file.errorString());
        return false;
    }
    return true;
}

} // namespace zelcor
