// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/RecordColumns.h"

#include <QJsonArray>
#include <QLocale>
#include <QSqlQuery>
#include <QStringList>

#include <charconv>
#include <cstdio>
#include <limits>
#include <type_traits>

namespace zelcor::records {

const QLatin1String kRecordTable("service_record");
const QLatin1String kRunTable("verification_run");
const QLatin1String kReadingTable("verification_reading");

namespace {

// An empty text is NULL; NUL characters, which PostgreSQL's texts cannot hold, are dropped.
QVariant Text(const std::string& text) {
    if (text.empty()) {
        return QVariant(QMetaType::fromType<QString>());
    }
    QString t = QString::fromStdString(text);
    t.remove(QChar(0));
    return t;
}
// A column that is NOT NULL: an empty text is ''.
QVariant NotNullText(const std::string& text) {
    const QVariant t = Text(text);
    return t.isNull() ? QVariant(QStringLiteral("")) : t;
}
QVariant NoNumber() {
    return QVariant(QMetaType::fromType<int>());
}

// The three ways a text field is kept, by the field it is.
template <std::string ServiceRecord::*Field> QVariant StoreText(const ServiceRecord& r) {
    return Text(r.*Field);
}
template <std::string ServiceRecord::*Field> QVariant StoreNotNullText(const ServiceRecord& r) {
    return NotNullText(r.*Field);
}
template <std::string ServiceRecord::*Field> bool LoadText(const QVariant& v, ServiceRecord& r) {
    r.*Field = FromText(v);
    return true;
}

std::optional<long long> ParseInteger(const std::string& text, int base) {
    long long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty()) {
        return std::nullopt;
    }
    return value;
}

std::vector<std::string> Words(const std::string& text) {
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < text.size()) {
        const auto next = text.find(' ', i);
        const auto end = next == std::string::npos ? text.size() : next;
        if (end > i) {
            words.push_back(text.substr(i, end - i));
        }
        i = end + 1;
    }
    return words;
}

// The columns of service_record, in the order they are selected.
const std::array<ColumnDef, kRecordColumnCount> kColumns = {{
    {"id", "id", nullptr, StoreNotNullText<&ServiceRecord::id>, LoadText<&ServiceRecord::id>,
     nullptr},
    {"time_utc", "time", "time", StoreNotNullText<&ServiceRecord::time>,
     LoadText<&ServiceRecord::time>, nullptr},
    {"duration_ms", "durationMs", "duration ms",
     [](const ServiceRecord& r) { return QVariant(qint64(r.durationMs)); },
     [](const QVariant& v, ServiceRecord& r) {
         r.durationMs = v.toLongLong();
         return true;
     },
     nullptr},
    {"station", "station", "station", StoreText<&ServiceRecord::station>,
     LoadText<&ServiceRecord::station>, nullptr},
    {"operator", "operator", "operator", StoreText<&ServiceRecord::operatorName>,
     LoadText<&ServiceRecord::operatorName>, nullptr},
    {"program", "program", "program", StoreText<&ServiceRecord::program>,
     LoadText<&ServiceRecord::program>, nullptr},
    {"port", "port", "port", StoreText<&ServiceRecord::port>, LoadText<&ServiceRecord::port>,
     nullptr},
    {"factory_code", "factoryCode", "factory code", StoreText<&ServiceRecord::factoryCode>,
     LoadText<&ServiceRecord::factoryCode>, nullptr},
    {"software_version", "softwareVersion", "software version",
     StoreText<&ServiceRecord::softwareVersion>, LoadText<&ServiceRecord::softwareVersion>,
     nullptr},
    {"wrench_code", "wrenchCode", "wrench code", StoreText<&ServiceRecord::wrenchCode>,
     LoadText<&ServiceRecord::wrenchCode>, nullptr},
    {"job", "job", "job", StoreNotNullText<&ServiceRecord::job>, LoadText<&ServiceRecord::job>,
     nullptr},
    {"direction", "direction", "direction", StoreText<&ServiceRecord::direction>,
     LoadText<&ServiceRecord::direction>, nullptr},
    {"digits", "digits", "digits",
     [](const ServiceRecord& r) { return r.digits ? QVariant(*r.digits) : NoNumber(); },
     [](const QVariant& v, ServiceRecord& r) {
         r.digits = v.isNull() ? std::nullopt : std::optional<int>(v.toInt());
         return true;
     },
     nullptr},
    {"bytes_read", "bytesRead", nullptr,
     [](const ServiceRecord& r) { return Text(BytesReadText(r.bytesRead)); },
     [](const QVariant& v, ServiceRecord& r) {
         const auto bytes = ParseBytesRead(FromText(v));
         r.bytesRead = bytes.value_or(std::vector<RecordedRead>());
         return bytes.has_value();
     },
     [](const ServiceRecord& r) -> QJsonValue {
         QJsonArray read;
         for (const RecordedRead& b : r.bytesRead) {
             read.append(QJsonObject{
                 {QStringLiteral("address"), QString::fromStdString(AddressText(b.address))},
                 {QStringLiteral("value"), QString::fromStdString(Hex(b.value, 2))}});
         }
         return read;
     }},
    {"request_code", "requestCode", "request code", StoreText<&ServiceRecord::requestCode>,
     LoadText<&ServiceRecord::requestCode>, nullptr},
    {"request_message", "requestMessage", nullptr, StoreText<&ServiceRecord::requestMessage>,
     LoadText<&ServiceRecord::requestMessage>, nullptr},
    {"new_set", "newSet", nullptr, StoreText<&ServiceRecord::newSet>,
     LoadText<&ServiceRecord::newSet>, nullptr},
    {"detail", "detail", nullptr, StoreText<&ServiceRecord::detail>,
     LoadText<&ServiceRecord::detail>, nullptr},
    {"run_summary", "run", nullptr,
     [](const ServiceRecord& r) { return Text(r.run ? RunSummaryText(*r.run) : ""); },
     [](const QVariant& v, ServiceRecord& r) {
         const std::string text = FromText(v);
         r.run = text.empty() ? std::nullopt : ParseRunSummary(text);
         return text.empty() || r.run.has_value();
     },
     [](const ServiceRecord& r) -> QJsonValue {
         if (!r.run) {
             return QJsonValue::Null;
         }
         return QJsonObject{{QStringLiteral("cycles"), r.run->cycles},
                            {QStringLiteral("firstMs"), qint64(r.run->firstMs)},
                            {QStringLiteral("lastMs"), qint64(r.run->lastMs)},
                            {QStringLiteral("lowest"), r.run->lowest},
                            {QStringLiteral("highest"), r.run->highest}};
     }},
    {"outcome", "outcome", "outcome",
     [](const ServiceRecord& r) { return NotNullText(OutcomeText(r.outcome)); },
     [](const QVariant& v, ServiceRecord& r) {
         const auto outcome = ParseOutcome(FromText(v));
         r.outcome = outcome.value_or(RecordOutcome::Failed);
         return outcome.has_value();
     },
     nullptr},
    {"failure_code", "failureCode", "failure code",
     [](const ServiceRecord& r) {
         return r.failureCode != 0 ? QVariant(r.failureCode) : NoNumber();
     },
     [](const QVariant& v, ServiceRecord& r) {
         r.failureCode = v.isNull() ? 0 : v.toInt();
         return true;
     },
     nullptr},
    {"message", "message", "message", StoreText<&ServiceRecord::message>,
     LoadText<&ServiceRecord::message>, nullptr},
}};

// The CSV's columns in its order; the bytes written follow them.
constexpr RecordColumn kCsvOrder[] = {
    kColTime,    kColWrenchCode, kColFactoryCode, kColSoftwareVersion, kColJob,     kColDirection,
    kColDigits,  kColOutcome,    kColFailureCode, kColMessage,         kColStation, kColOperator,
    kColProgram, kColPort,       kColDuration,    kColRequestCode};
const char* const kCsvWrittenBytes = "bytes written";

// The columns of written_byte.
const char* const kWrittenByteColumns[] = {"record_id", "seq", "address", "before", "after"};

// ---- the columns of a verification run and its readings ----

// A stored value as JSON: null, a number or a text.
QJsonValue StoredJson(const QVariant& stored) {
    if (stored.isNull()) {
        return QJsonValue::Null;
    }
    switch (stored.typeId()) {
    case QMetaType::LongLong:
        return stored.toLongLong();
    case QMetaType::Int:
        return stored.toInt();
    case QMetaType::Double:
        return stored.toDouble();
    default:
        return stored.toString();
    }
}

// One column of verification_run (T = VerificationRun) or verification_reading (T =
// VerificationReading), as ColumnDef is one of service_record.
template <typename T> struct PartColumn {
    const char* sql;
    const char* json;
    const char* csv; // nullptr: not in the CSV
    QVariant (*store)(const T&);
    bool (*load)(const QVariant&, T&);
    QJsonValue (*toJson)(const T&); // nullptr: the stored value
};

template <typename T, typename F, F T::*Field> QVariant StoreField(const T& t) {
    if constexpr (std::is_same_v<F, std::string>) {
        return Text(t.*Field);
    } else if constexpr (std::is_same_v<F, bool>) {
        return QVariant(int(t.*Field ? 1 : 0));
    } else {
        return QVariant(t.*Field);
    }
}
// A number column is NOT NULL, and holds a number; a flag holds 0 or 1.
template <typename T, typename F, F T::*Field> bool LoadField(const QVariant& v, T& t) {
    if constexpr (std::is_same_v<F, std::string>) {
        t.*Field = FromText(v);
        return true;
    } else {
        bool ok = false;
        if constexpr (std::is_same_v<F, double>) {
            t.*Field = v.toDouble(&ok);
        } else {
            const long long n = v.toLongLong(&ok);
            ok = ok && !v.isNull() && n >= std::numeric_limits<int>::min() &&
                 n <= std::numeric_limits<int>::max();
            if constexpr (std::is_same_v<F, bool>) {
                ok = ok && (n == 0 || n == 1);
                t.*Field = n == 1;
            } else {
                t.*Field = int(n);
            }
        }
        return ok && !v.isNull();
    }
}
template <typename T, typename F, F T::*Field> QJsonValue FlagJson(const T& t) {
    return bool(t.*Field);
}
#define ZELCOR_FIELD(T, field) T, decltype(T::field), &T::field

using Run = VerificationRun;
using Reading = VerificationReading;
template <typename S, typename F, F S::*Field> QVariant StoreSetting(const Run& r) {
    return StoreField<S, F, Field>(r.settings);
}
template <typename S, typename F, F S::*Field> bool LoadSetting(const QVariant& v, Run& r) {
    return LoadField<S, F, Field>(v, r.settings);
}
#define ZELCOR_SETTING(sql, json, field)                                                           \
    {                                                                                              \
        sql, json, nullptr, StoreSetting<ZELCOR_FIELD(VerificationSettings, field)>,               \
            LoadSetting<ZELCOR_FIELD(VerificationSettings, field)>, nullptr                        \
    }

const PartColumn<Run> kRunColumns[] = {
    ZELCOR_SETTING("maximum", "maximum", maximum),
    {"points", "points", nullptr,
     [](const Run& r) { return NotNullText(PointsText(r.settings.pointsPercent)); },
     [](const QVariant& v, Run& r) {
         const auto points = ParsePoints(FromText(v));
         r.settings.pointsPercent = points.value_or(std::vector<double>());
         return points.has_value();
     },
     [](const Run& r) -> QJsonValue {
         QJsonArray points;
         for (const double p : r.settings.pointsPercent) {
             points.append(p);
         }
         return points;
     }},
    ZELCOR_SETTING("readings_per_point", "readingsPerPoint", readingsPerPoint),
    ZELCOR_SETTING("tolerance", "tolerancePercent", tolerancePercent),
    ZELCOR_SETTING("preloads", "preloads", preloads),
    {"direction", "direction", nullptr,
     [](const Run& r) { return NotNullText(DirectionWord(r.settings.direction)); },
     [](const QVariant& v, Run& r) {
         const auto direction = ParseVerifyDirection(FromText(v));
         r.settings.direction = direction.value_or(VerifyDirection::Cw);
         return direction.has_value();
     },
     nullptr},
    {kRunAsLeft, "asLeft", nullptr, StoreSetting<ZELCOR_FIELD(VerificationSettings, asLeft)>,
     LoadSetting<ZELCOR_FIELD(VerificationSettings, asLeft)>,
     [](const Run& r) -> QJsonValue { return r.settings.asLeft; }},
    ZELCOR_SETTING("digits", "digits", digits),
    ZELCOR_SETTING("technician", "technician", technician),
    ZELCOR_SETTING("tester", "tester", tester),
    ZELCOR_SETTING("tester_due", "testerDue", testerDue),
    ZELCOR_SETTING("remark", "remark", remark),
    ZELCOR_SETTING("interval_months", "intervalMonths", intervalMonths),
    ZELCOR_SETTING("reference_timeout_s", "referenceTimeoutS", referenceTimeoutS),
    {kRunStopped, "stopped", nullptr, StoreField<ZELCOR_FIELD(Run, stopped)>,
     LoadField<ZELCOR_FIELD(Run, stopped)>, FlagJson<ZELCOR_FIELD(Run, stopped)>},
    {kRunVerdict, "verdict", "verdict",
     [](const Run& r) { return NotNullText(VerdictWord(r.verdict)); },
     [](const QVariant& v, Run& r) {
         const auto verdict = ParseVerdict(FromText(v));
         r.verdict = verdict.value_or(Verdict::None);
         return verdict.has_value();
     },
     nullptr},
    {kRunDueDate, "dueDate", "due date", StoreField<ZELCOR_FIELD(Run, dueDate)>,
     LoadField<ZELCOR_FIELD(Run, dueDate)>, nullptr},
};

const PartColumn<Reading> kReadingColumns[] = {
    {"direction", "direction", nullptr, [](const Reading& r) { return NotNullText(r.direction); },
     LoadField<ZELCOR_FIELD(Reading, direction)>, nullptr},
    {"point", "point", nullptr, StoreField<ZELCOR_FIELD(Reading, point)>,
     LoadField<ZELCOR_FIELD(Reading, point)>, nullptr},
    {"idx", "index", nullptr, StoreField<ZELCOR_FIELD(Reading, index)>,
     LoadField<ZELCOR_FIELD(Reading, index)>, nullptr},
    {"target", "target", nullptr, StoreField<ZELCOR_FIELD(Reading, target)>,
     LoadField<ZELCOR_FIELD(Reading, target)>, nullptr},
    {"wrench", "wrench", nullptr, StoreField<ZELCOR_FIELD(Reading, wrench)>,
     LoadField<ZELCOR_FIELD(Reading, wrench)>, nullptr},
    {"reference", "reference", nullptr, StoreField<ZELCOR_FIELD(Reading, reference)>,
     LoadField<ZELCOR_FIELD(Reading, reference)>, nullptr},
    {"reference_text", "referenceText", nullptr, StoreField<ZELCOR_FIELD(Reading, referenceText)>,
     LoadField<ZELCOR_FIELD(Reading, referenceText)>, nullptr},
    {"discarded", "discarded", nullptr, StoreField<ZELCOR_FIELD(Reading, discarded)>,
     LoadField<ZELCOR_FIELD(Reading, discarded)>, FlagJson<ZELCOR_FIELD(Reading, discarded)>},
    {"discard_reason", "discardReason", nullptr, StoreField<ZELCOR_FIELD(Reading, discardReason)>,
     LoadField<ZELCOR_FIELD(Reading, discardReason)>, nullptr},
};
#undef ZELCOR_SETTING
#undef ZELCOR_FIELD

template <typename T, std::size_t N>
QString PartInsertSql(QLatin1String table, const PartColumn<T> (&columns)[N], bool withSeq) {
    QStringList names{QStringLiteral("record_id")};
    if (withSeq) {
        names << QStringLiteral("seq");
    }
    for (const PartColumn<T>& c : columns) {
        names << QLatin1String(c.sql);
    }
    QStringList marks;
    for (qsizetype i = 0; i < names.size(); ++i) {
        marks << QStringLiteral("?");
    }
    return QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
        .arg(table, names.join(QStringLiteral(", ")), marks.join(QStringLiteral(", ")));
}

template <typename T, std::size_t N>
QString PartSelectSql(QLatin1String table, const PartColumn<T> (&columns)[N], bool withSeq,
                      const QString& ids) {
    QStringList names{QStringLiteral("record_id")};
    for (const PartColumn<T>& c : columns) {
        names << QLatin1String(c.sql);
    }
    return QStringLiteral("SELECT %1 FROM %2 WHERE record_id IN (%3) ORDER BY record_id%4")
        .arg(names.join(QStringLiteral(", ")), table, ids,
             withSeq ? QStringLiteral(", seq") : QString());
}

template <typename T, std::size_t N>
bool PartFromRow(const QSqlQuery& row, const PartColumn<T> (&columns)[N], QLatin1String table, T& t,
                 QString& reason) {
    for (std::size_t i = 0; i < N; ++i) {
        if (!columns[i].load(row.value(int(i) + 1), t)) {
            reason = QStringLiteral("cannot read %1.%2").arg(table, QLatin1String(columns[i].sql));
            return false;
        }
    }
    return true;
}

template <typename T, std::size_t N>
void AddPartJson(QJsonObject& object, const PartColumn<T> (&columns)[N], const T& t) {
    for (const PartColumn<T>& c : columns) {
        object.insert(QLatin1String(c.json),
                      c.toJson != nullptr ? c.toJson(t) : StoredJson(c.store(t)));
    }
}

} // namespace

const ColumnDef& Column(RecordColumn column) {
    return kColumns[std::size_t(column)];
}

QString SqlName(RecordColumn column) {
    return QLatin1String(Column(column).sql);
}

QString ColumnList() {
    QStringList names;
    for (const ColumnDef& c : kColumns) {
        names << QLatin1String(c.sql);
    }
    return names.join(QStringLiteral(", "));
}

std::array<QVariant, kRecordColumnCount> StoredValues(const ServiceRecord& record) {
    std::array<QVariant, kRecordColumnCount> values;
    for (std::size_t i = 0; i < kColumns.size(); ++i) {
        values[i] = kColumns[i].store(record);
    }
    return values;
}

std::string StoredText(const ServiceRecord& record, RecordColumn column) {
    return FromText(Column(column).store(record));
}

bool RowToRecord(const RecordRow& row, ServiceRecord& record, QString& reason) {
    const char* bad = nullptr;
    for (std::size_t i = 0; i < kColumns.size(); ++i) {
        if (!kColumns[i].load(row[i], record) && bad == nullptr) {
            bad = kColumns[i].sql;
        }
    }
    if (bad != nullptr) {
        reason = QStringLiteral("cannot read %1").arg(QLatin1String(bad));
        return false;
    }
    return true;
}

QJsonObject RecordJson(const ServiceRecord& record) {
    QJsonObject object;
    for (const ColumnDef& c : kColumns) {
        object.insert(QLatin1String(c.json),
                      c.toJson != nullptr ? c.toJson(record) : StoredJson(c.store(record)));
    }
    object.insert(QStringLiteral("verification"),
                  record.verification ? QJsonValue(VerificationJson(*record.verification))
                                      : QJsonValue(QJsonValue::Null));
    return object;
}

QString VerificationRunInsertSql() {
    return PartInsertSql(kRunTable, kRunColumns, false);
}

QString VerificationReadingInsertSql() {
    return PartInsertSql(kReadingTable, kReadingColumns, true);
}

QVariantList VerificationRunValues(const ServiceRecord& record) {
    QVariantList values{NotNullText(record.id)};
    for (const PartColumn<Run>& c : kRunColumns) {
        values << c.store(*record.verification);
    }
    return values;
}

QVariantList VerificationReadingValues(const ServiceRecord& record, std::size_t seq) {
    QVariantList values{NotNullText(record.id), int(seq)};
    for (const PartColumn<Reading>& c : kReadingColumns) {
        values << c.store(record.verification->readings[seq]);
    }
    return values;
}

QString VerificationRunSelectSql(const QString& ids) {
    return PartSelectSql(kRunTable, kRunColumns, false, ids);
}

QString VerificationReadingSelectSql(const QString& ids) {
    return PartSelectSql(kReadingTable, kReadingColumns, true, ids);
}

bool RowToVerificationRun(const QSqlQuery& row, VerificationRun& run, QString& reason) {
    return PartFromRow(row, kRunColumns, kRunTable, run, reason);
}

bool RowToVerificationReading(const QSqlQuery& row, VerificationReading& reading, QString& reason) {
    return PartFromRow(row, kReadingColumns, kReadingTable, reading, reason);
}

QJsonObject VerificationJson(const VerificationRun& run) {
    QJsonObject object;
    AddPartJson(object, kRunColumns, run);
    QJsonArray readings;
    for (const VerificationReading& reading : run.readings) {
        QJsonObject r;
        AddPartJson(r, kReadingColumns, reading);
        readings.append(r);
    }
    object.insert(QStringLiteral("readings"), readings);
    return object;
}

std::string PointsText(const std::vector<double>& points) {
    std::string text;
    for (const double p : points) {
        text += (text.empty() ? "" : ",") +
                QString::number(p, 'g', QLocale::FloatingPointShortest).toStdString();
    }
    return text;
}

std::optional<std::vector<double>> ParsePoints(const std::string& text) {
    std::vector<double> points;
    for (const QString& word : QString::fromStdString(text).split(QLatin1Char(','))) {
        bool ok = false;
        // QString::toDouble reads the C locale's form, a period whatever the user's locale.
        points.push_back(word.toDouble(&ok));
        if (!ok) {
            return std::nullopt;
        }
    }
    return points;
}

QString WrittenByteInsertSql() {
    QStringList names;
    QStringList marks;
    for (const char* name : kWrittenByteColumns) {
        names << QLatin1String(name);
        marks << QStringLiteral("?");
    }
    return QStringLiteral("INSERT INTO written_byte (%1) VALUES (%2)")
        .arg(names.join(QStringLiteral(", ")), marks.join(QStringLiteral(", ")));
}

QString WrittenByteSelectSql(const QString& ids) {
    const auto name = [](int i) { return QLatin1String(kWrittenByteColumns[i]); };
    return QStringLiteral(
               "SELECT %1, %3, %4, %5 FROM written_byte WHERE %1 IN (%6) ORDER BY %1, %2")
        .arg(name(0), name(1), name(2), name(3), name(4), ids);
}

QVariantList WrittenByteValues(const ServiceRecord& record, std::size_t seq) {
    const RecordedWrite& w = record.bytesWritten[seq];
    return {NotNullText(record.id), int(seq), w.address,
            w.before ? QVariant(int(*w.before)) : NoNumber(), int(w.after)};
}

RecordedWrite WrittenByteFromRow(const QVariant& address, const QVariant& before,
                                 const QVariant& after) {
    RecordedWrite w{};
    w.address = address.toInt();
    if (!before.isNull()) {
        w.before = std::uint8_t(before.toInt());
    }
    w.after = std::uint8_t(after.toInt());
    return w;
}

std::string BytesReadText(const std::vector<RecordedRead>& bytes) {
    std::string text;
    for (const RecordedRead& b : bytes) {
        if (!text.empty()) {
            text += ' ';
        }
        text += Hex(b.address, 2) + '=' + Hex(b.value, 2);
    }
    return text;
}

std::optional<std::vector<RecordedRead>> ParseBytesRead(const std::string& text) {
    std::vector<RecordedRead> bytes;
    for (const std::string& word : Words(text)) {
        const auto equals = word.find('=');
        if (equals == std::string::npos) {
            return std::nullopt;
        }
        const auto address = ParseInteger(word.substr(0, equals), 16);
        const auto value = ParseInteger(word.substr(equals + 1), 16);
        if (!address || !value || *address < 0 || *address > std::numeric_limits<int>::max() ||
            *value < 0 || *value > 0xFF) {
            return std::nullopt;
        }
        bytes.push_back({int(*address), std::uint8_t(*value)});
    }
    return bytes;
}

std::string RunSummaryText(const RecordedRun& run) {
    const auto number = [](double v) {
        return QString::number(v, 'g', QLocale::FloatingPointShortest).toStdString();
    };
    return "cycles=" + std::to_string(run.cycles) + " first_ms=" + std::to_string(run.firstMs) +
           " last_ms=" + std::to_string(run.lastMs) + " lowest=" + number(run.lowest) +
           " highest=" + number(run.highest);
}

std::optional<RecordedRun> ParseRunSummary(const std::string& text) {
    RecordedRun run;
    const std::vector<std::string> words = Words(text);
    const char* const keys[] = {"cycles=", "first_ms=", "last_ms=", "lowest=", "highest="};
    if (words.size() != std::size(keys)) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string key = keys[i];
        if (words[i].rfind(key, 0) != 0) {
            return std::nullopt;
        }
        const std::string value = words[i].substr(key.size());
        if (i < 3) {
            const auto n = ParseInteger(value, 10);
            if (!n || (i == 0 && (*n < 0 || *n > std::numeric_limits<int>::max()))) {
                return std::nullopt;
            }
            if (i == 0) {
                run.cycles = int(*n);
            } else if (i == 1) {
                run.firstMs = *n;
            } else {
                run.lastMs = *n;
            }
        } else {
            bool ok = false;
            const double d = QString::fromStdString(value).toDouble(&ok);
            if (!ok) {
                return std::nullopt;
            }
            (i == 3 ? run.lowest : run.highest) = d;
        }
    }
    return run;
}

std::string OutcomeText(RecordOutcome outcome) {
    switch (outcome) {
    case RecordOutcome::Done:
        return "done";
    case RecordOutcome::Failed:
        return "failed";
    case RecordOutcome::Refused:
        return "refused";
    case RecordOutcome::Stopped:
        return "stopped";
    }
    return "failed";
}

std::optional<RecordOutcome> ParseOutcome(const std::string& text) {
    for (RecordOutcome o : {RecordOutcome::Done, RecordOutcome::Failed, RecordOutcome::Refused,
                            RecordOutcome::Stopped}) {
        if (OutcomeText(o) == text) {
            return o;
        }
    }
    return std::nullopt;
}

std::string WrittenBytesText(const std::vector<RecordedWrite>& bytes) {
    std::string text;
    for (const RecordedWrite& b : bytes) {
        if (!text.empty()) {
            text += ' ';
        }
        text += AddressText(b.address) + ':' + (b.before ? Hex(*b.before, 2) : std::string("XX")) +
                '>' + Hex(b.after, 2);
    }
    return text;
}

std::string AddressText(int address) {
    return Hex(address, address > 0xFF ? 4 : 2);
}

std::string Hex(int value, int digits) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%0*X", digits, unsigned(value));
    return buffer;
}

std::string FromText(const QVariant& value) {
    return value.isNull() ? std::string() : value.toString().toStdString();
}

std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        return text;
    }
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"') {
            quoted += '"';
        }
        quoted += c;
    }
    return quoted + '"';
}

std::string CsvHeader() {
    std::string line;
    for (const RecordColumn c : kCsvOrder) {
        line += std::string(Column(c).csv) + ',';
    }
    line += kCsvWrittenBytes;
    for (const PartColumn<Run>& c : kRunColumns) {
        if (c.csv != nullptr) {
            line += std::string(",") + c.csv;
        }
    }
    return line + "\r\n";
}

std::string CsvRow(const ServiceRecord& record) {
    std::string line;
    for (const RecordColumn c : kCsvOrder) {
        line += CsvField(StoredText(record, c)) + ',';
    }
    line += CsvField(WrittenBytesText(record.bytesWritten));
    for (const PartColumn<Run>& c : kRunColumns) {
        if (c.csv != nullptr) {
            line += ',' + (record.verification ? CsvField(FromText(c.store(*record.verification)))
                                               : std::string());
        }
    }
    return line + "\r\n";
}

} // namespace zelcor::records
