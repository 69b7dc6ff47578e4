// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/RecordColumns.h"

#include <QJsonArray>
#include <QLocale>
#include <QStringList>

#include <charconv>
#include <cstdio>
#include <limits>

namespace zelcor::records {

const QLatin1String kRecordTable("service_record");

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
        QJsonValue value;
        if (c.toJson != nullptr) {
            value = c.toJson(record);
        } else {
            const QVariant stored = c.store(record);
            if (stored.isNull()) {
                value = QJsonValue::Null;
            } else if (stored.typeId() == QMetaType::LongLong) {
                value = stored.toLongLong();
            } else if (stored.typeId() == QMetaType::Int) {
                value = stored.toInt();
            } else {
                value = stored.toString();
            }
        }
        object.insert(QLatin1String(c.json), value);
    }
    return object;
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
    return line + kCsvWrittenBytes + "\r\n";
}

std::string CsvRow(const ServiceRecord& record) {
    std::string line;
    for (const RecordColumn c : kCsvOrder) {
        line += CsvField(StoredText(record, c)) + ',';
    }
    return line + CsvField(WrittenBytesText(record.bytesWritten)) + "\r\n";
}

} // namespace zelcor::records
