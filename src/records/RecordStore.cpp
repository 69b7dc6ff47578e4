// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/RecordStore.h"

#include "common/TextConv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QStringList>
#include <QUrl>
#include <QUrlQuery>
#include <QVariant>

#include <cerrno>
#include <cstring>
#include <map>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace zelcor::records {
namespace {

std::string Quoted(const std::string& text) {
    return '"' + QuotedInput(text) + '"';
}

const char* const kTargetForms =
    "off, sqlite:PATH or postgresql://user@host[:port]/dbname[?PARAMETERS]";

// Where the user part of an address ends: the last "@" that a "/" follows (the database's
// name comes after the host), or failing that the last "@"; npos when there is none. A
// password may hold "/", "?" and "@" of its own.
std::size_t UserEnd(const std::string& text, std::size_t start) {
    const std::size_t lastSlash = text.rfind('/');
    std::size_t at = lastSlash == std::string::npos || lastSlash <= start
                         ? std::string::npos
                         : text.rfind('@', lastSlash);
    if (at == std::string::npos || at < start) {
        at = text.rfind('@');
    }
    return at != std::string::npos && at >= start ? at : std::string::npos;
}

// The connection parameters an address may give, and what each takes.
const char* const kSslModes[] = {"disable", "allow",     "prefer",
                                 "require", "verify-ca", "verify-full"};
const char* const kParameterUsage =
    "the records address takes sslmode, sslrootcert, connect_timeout and application_name";

// A parameter's text as the connect options carry it: plain text, no ";" (the driver makes
// every ";" a separator) and no control character.
bool PlainValue(const QString& value, int maxLength, bool asciiOnly) {
    if (value.isEmpty() || value.size() > maxLength) {
        return false;
    }
    for (const QChar c : value) {
        if (c == QLatin1Char(';') || c.category() == QChar::Other_Control ||
            (asciiOnly && (c.unicode() < 0x20 || c.unicode() > 0x7E))) {
            return false;
        }
    }
    return true;
}

// Takes one parameter of the address into `target`; false with `error` set when it is not
// one the address may give or its value is bad.
bool TakeParameter(RecordsTarget& target, const QString& key, const QString& value,
                   std::string& error) {
    const std::string shownValue = Quoted(value.toStdString());
    if (key == QLatin1String("sslmode")) {
        for (const char* mode : kSslModes) {
            if (value == QLatin1String(mode)) {
                target.sslMode = mode;
                return true;
            }
        }
        error = "sslmode " + shownValue +
                " is none of disable, allow, prefer, require, verify-ca and verify-full";
        return false;
    }
    if (key == QLatin1String("sslrootcert")) {
        if (!PlainValue(value, 4096, false)) {
            error = "sslrootcert " + shownValue + " is not the name of a file";
            return false;
        }
        target.sslRootCert = value.toStdString();
        return true;
    }
    if (key == QLatin1String("connect_timeout")) {
        static const QRegularExpression digits(QStringLiteral("^[0-9]{1,4}$"));
        const int seconds = digits.match(value).hasMatch() ? value.toInt() : 0;
        if (seconds < 1 || seconds > 3600) {
            error = "connect_timeout " + shownValue + " is not a number of seconds, 1 to 3600";
            return false;
        }
        target.connectTimeout = seconds;
        return true;
    }
    if (key == QLatin1String("application_name")) {
        if (!PlainValue(value, 63, true)) {
            error = "application_name " + shownValue +
                    " is not up to 63 printable ASCII characters without \";\"";
            return false;
        }
        target.applicationName = value.toStdString();
        return true;
    }
    error = "unknown parameter " + Quoted(key.toStdString()) + ": " + kParameterUsage;
    return false;
}

// A value as libpq's connection string quotes it: 'text', with \ and ' escaped.
QString ConninfoQuoted(const std::string& value) {
    QString quoted = QString::fromStdString(value);
    quoted.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    quoted.replace(QLatin1Char('\''), QStringLiteral("\\'"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

// The QPSQL driver's connect options for a PostgreSQL target: libpq's connection parameters,
// "key=value" separated by ";". Every connection parameter is set here and nowhere else.
//
// The time limits: connecting gives up after kConnectLimit (unless the address gives
// another) for each address of the host; the server cancels a statement that takes longer
// than kStatementLimit (a table locked by another session); and a connection whose server
// stops answering (a network cut) is dropped by TCP keepalives after 5 s of silence and 2
// unanswered probes 2 s apart, or when what was sent is not acknowledged within 9 s.
QString PostgresConnectOptions(const RecordsTarget& target) {
    QStringList options;
    options << QStringLiteral("connect_timeout=%1")
                   .arg(target.connectTimeout > 0 ? target.connectTimeout
                                                  : int(kConnectLimit.count()))
            << QStringLiteral("keepalives=1;keepalives_idle=5;keepalives_interval=2;"
                              "keepalives_count=2;tcp_user_timeout=9000")
            << QStringLiteral("options='-c statement_timeout=%1'")
                   .arg(std::chrono::milliseconds(kStatementLimit).count());
    if (!target.sslMode.empty()) {
        options << QStringLiteral("sslmode=") + QString::fromStdString(target.sslMode);
    }
    if (!target.sslRootCert.empty()) {
        options << QStringLiteral("sslrootcert=") + ConninfoQuoted(target.sslRootCert);
    }
    if (!target.applicationName.empty()) {
        options << QStringLiteral("application_name=") + ConninfoQuoted(target.applicationName);
    }
    return options.join(QLatin1Char(';'));
}

std::optional<RecordsTarget> ParsePostgresql(const std::string& text, std::string& error) {
    const std::string usage = "; use postgresql://user@host[:port]/dbname[?PARAMETERS]";
    const std::string shown = Quoted(WithoutPassword(text));
    // A password is refused before anything else is looked at, whatever else is wrong.
    const std::string passwordWhere = "a password does not belong in the records address " + shown +
                                      ": put it in ~/.pgpass or PGPASSWORD, where libpq reads it";
    const std::size_t start = text.find("://") + 3;
    const std::size_t userEnd = UserEnd(text, start);
    if (userEnd != std::string::npos &&
        text.substr(start, userEnd - start).find(':') != std::string::npos) {
        error = passwordWhere;
        return std::nullopt;
    }
    const QUrl url(QString::fromStdString(text), QUrl::StrictMode);
    if (!url.isValid()) {
        error = "cannot read the records address " + shown + usage;
        return std::nullopt;
    }
    const QList<std::pair<QString, QString>> parameters =
        QUrlQuery(url).queryItems(QUrl::FullyDecoded);
    for (const auto& [key, value] : parameters) {
        if (key == QLatin1String("password")) {
            error = passwordWhere;
            return std::nullopt;
        }
    }
    if (url.hasFragment()) {
        error = "the records address " + shown + " takes no \"#\"" + usage;
        return std::nullopt;
    }
    RecordsTarget target;
    target.kind = RecordsTarget::Kind::Postgresql;
    QStringList keys;
    for (const auto& [key, value] : parameters) {
        if (keys.contains(key)) {
            error =
                "the records address " + shown + " gives " + Quoted(key.toStdString()) + " twice";
            return std::nullopt;
        }
        keys << key;
        if (!TakeParameter(target, key, value, error)) {
            error = "the records address " + shown + ": " + error;
            return std::nullopt;
        }
    }
    target.user = url.userName().toStdString();
    target.host = url.host().toStdString();
    QString path = url.path();
    if (path.startsWith(QLatin1Char('/'))) {
        path.remove(0, 1);
    }
    target.database = path.toStdString();
    if (target.user.empty()) {
        error = "the records address " + shown + " names no user" + usage;
        return std::nullopt;
    }
    if (target.host.empty()) {
        error = "the records address " + shown + " names no host" + usage;
        return std::nullopt;
    }
    if (target.database.empty() || path.contains(QLatin1Char('/'))) {
        error = "the records address " + shown + " names no database" + usage;
        return std::nullopt;
    }
    const int port = url.port(5432);
    if (port <= 0 || port > 65535) {
        error = "the port of the records address " + shown + " is out of range";
        return std::nullopt;
    }
    target.port = port;
    return target;
}

// ---- migrations --------------------------------------------------------------------------------

bool IsSqlite(const QSqlDatabase& db) {
    return db.driverName() == QLatin1String("QSQLITE");
}

// One statement; false with `error` set when it fails.
bool Exec(QSqlDatabase& db, const QString& statement, QString& error) {
    QSqlQuery q(db);
    if (!q.exec(statement)) {
        error = QueryError(q);
        return false;
    }
    return true;
}

// SQLite takes the write lock at once, so two programs never both read and then both wait
// to write; PostgreSQL locks row by row anyway.
bool Begin(QSqlDatabase& db, QString& error) {
    return Exec(db, IsSqlite(db) ? QStringLiteral("BEGIN IMMEDIATE") : QStringLiteral("BEGIN"),
                error);
}
void Rollback(QSqlDatabase& db) {
    QString ignored;
    Exec(db, QStringLiteral("ROLLBACK"), ignored);
}
bool Commit(QSqlDatabase& db, QString& error) {
    if (Exec(db, QStringLiteral("COMMIT"), error)) {
        return true;
    }
    Rollback(db);
    return false;
}

// The migrations are the schema's history: each keeps the SQL text it was written with,
// column names and all, so that a database made by any version of the program is brought
// forward the same way. The columns as the program writes and reads them are those of
// RecordColumns.cpp; a column added later comes as a migration of its own and a row there.
struct Migration {
    int version;
    QStringList statements; // %1 stands for the type of duration_ms
};

const QList<Migration>& Migrations() {
    static const QList<Migration> migrations = {
        {1,
         {QStringLiteral(
              "CREATE TABLE service_record (id TEXT PRIMARY KEY, time_utc TEXT NOT NULL, "
              "duration_ms %1 NOT NULL, station TEXT, operator TEXT, program TEXT, port TEXT, "
              "factory_code TEXT, software_version TEXT, wrench_code TEXT, job TEXT NOT NULL, "
              "direction TEXT, digits INTEGER NULL, bytes_read TEXT, request_code TEXT, "
              "request_message TEXT, new_set TEXT, detail TEXT, run_summary TEXT, "
              "outcome TEXT NOT NULL CHECK (outcome IN ('done', 'failed', 'refused', "
              "'stopped')), failure_code INTEGER, message TEXT)"),
          QStringLiteral("CREATE TABLE written_byte (record_id TEXT NOT NULL REFERENCES "
                         "service_record(id) ON DELETE CASCADE, seq INTEGER NOT NULL, "
                         "address INTEGER NOT NULL, before INTEGER NULL, after INTEGER NOT "
                         "NULL, PRIMARY KEY (record_id, seq))"),
          QStringLiteral("CREATE TABLE schema_version (version INTEGER NOT NULL)")}},
        {2,
         {QStringLiteral("CREATE INDEX service_record_wrench_time ON service_record "
                         "(wrench_code, time_utc)"),
          QStringLiteral("CREATE INDEX service_record_time ON service_record (time_utc)"),
          QStringLiteral("CREATE INDEX service_record_job_time ON service_record "
                         "(job, time_utc)")}},
        {3,
         {QStringLiteral(
              "CREATE TABLE verification_run (record_id TEXT PRIMARY KEY REFERENCES "
              "service_record(id) ON DELETE CASCADE, maximum DOUBLE PRECISION NOT NULL, "
              "points TEXT NOT NULL, readings_per_point INTEGER NOT NULL, "
              "tolerance DOUBLE PRECISION NOT NULL, preloads INTEGER NOT NULL, "
              "direction TEXT NOT NULL, as_left INTEGER NOT NULL, digits INTEGER NOT NULL, "
              "technician TEXT, tester TEXT, tester_due TEXT, remark TEXT, "
              "interval_months INTEGER NOT NULL, reference_timeout_s INTEGER NOT NULL, "
              "stopped INTEGER NOT NULL, verdict TEXT NOT NULL CHECK (verdict IN ('passed', "
              "'failed', 'none')), due_date TEXT)"),
          QStringLiteral(
              "CREATE TABLE verification_reading (record_id TEXT NOT NULL REFERENCES "
              "verification_run(record_id) ON DELETE CASCADE, seq INTEGER NOT NULL, "
              "direction TEXT NOT NULL, point INTEGER NOT NULL, idx INTEGER NOT NULL, "
              "target DOUBLE PRECISION NOT NULL, wrench DOUBLE PRECISION NOT NULL, "
              "reference DOUBLE PRECISION NOT NULL, reference_text TEXT, "
              "discarded INTEGER NOT NULL, discard_reason TEXT, PRIMARY KEY (record_id, seq))"),
          QStringLiteral("CREATE INDEX verification_run_verdict ON verification_run "
                         "(verdict, record_id)"),
          QStringLiteral("CREATE INDEX verification_run_as_left ON verification_run "
                         "(as_left, record_id)")}},
    };
    return migrations;
}

// The version the database has, 0 for an empty one; -1 with `error` set on failure.
int CurrentVersion(QSqlDatabase& db, QString& error) {
    QSqlQuery q(db);
    const QString exists =
        IsSqlite(db) ? QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'table' "
                                      "AND name = 'schema_version'")
                     : QStringLiteral("SELECT count(*) FROM pg_catalog.pg_tables WHERE "
                                      "schemaname = current_schema() AND "
                                      "tablename = 'schema_version'");
    if (!q.exec(exists) || !q.next()) {
        error = QueryError(q);
        return -1;
    }
    if (q.value(0).toInt() == 0) {
        return 0;
    }
    if (!q.exec(QStringLiteral("SELECT max(version) FROM schema_version")) || !q.next()) {
        error = QueryError(q);
        return -1;
    }
    if (q.value(0).isNull()) {
        error = QStringLiteral("the table schema_version is empty");
        return -1;
    }
    return q.value(0).toInt();
}

// Applies each migration the database does not have, in a transaction of its own. Two
// programs opening a new database at once: the second waits for the first's transaction and
// then finds the migration done.
bool Migrate(QSqlDatabase& db, QString& error) {
    const QString durationType =
        IsSqlite(db) ? QStringLiteral("INTEGER") : QStringLiteral("BIGINT");
    for (const Migration& m : Migrations()) {
        if (!Begin(db, error)) {
            return false;
        }
        if (!IsSqlite(db) &&
            !Exec(db, QStringLiteral("SELECT pg_advisory_xact_lock(748201356)"), error)) {
            Rollback(db);
            return false;
        }
        const int current = CurrentVersion(db, error);
        if (current < 0) {
            Rollback(db);
            return false;
        }
        if (current >= m.version) {
            if (!Commit(db, error)) {
                return false;
            }
            continue;
        }
        for (const QString& statement : m.statements) {
            if (!Exec(db, QString(statement).replace(QStringLiteral("%1"), durationType), error)) {
                error = QStringLiteral("migration %1: %2").arg(m.version).arg(error);
                Rollback(db);
                return false;
            }
        }
        if (!Exec(db,
                  QStringLiteral("INSERT INTO schema_version (version) VALUES (%1)").arg(m.version),
                  error) ||
            !Commit(db, error)) {
            error = QStringLiteral("migration %1: %2").arg(m.version).arg(error);
            Rollback(db);
            return false;
        }
    }
    return true;
}

// ---- a file of someone else's -------------------------------------------------------------

// Whether the SQLite file at `path` may be taken for the records: missing, empty, a SQLite
// file without any table yet (another program making it this moment), or one that holds
// the records' tables. Anything else (someone's own database, a file that is not SQLite)
// is refused with `error` saying so. Looked at through a read-only connection that leaves
// the file, its journal and its neighbours as they were.
bool MayTakeSqliteFile(const QString& path, QString& error) {
    QFile file(path);
    if (!file.exists() || file.size() == 0) {
        return true;
    }
    const QString refused =
        QStringLiteral("%1 is not a Zelcor records file (%2); it is left as it is: name "
                       "another file");
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("%1 cannot be read: %2").arg(path, file.errorString());
        return false;
    }
    const QByteArray header = file.read(100);
    file.close();
    if (!header.startsWith(QByteArray("SQLite format 3\0", 16))) {
        error = refused.arg(path, QStringLiteral("not a SQLite database"));
        return false;
    }
    // A file in write-ahead-log mode that no program has open (no log beside it) is read as
    // it stands: a read-only connection would otherwise leave a log and its index behind.
    const bool walMode = header.size() > 19 && header[18] == 2 && header[19] == 2;
    const bool idle = walMode && !QFile::exists(path + QStringLiteral("-wal"));
    const QString connection = QStringLiteral("zelcor-inspect-%1").arg(quintptr(&file), 0, 16);
    QStringList tables;
    QString failure;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setConnectOptions(
            QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=5000"));
        db.setDatabaseName(
            QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded) +
            (idle ? QStringLiteral("?mode=ro&immutable=1") : QStringLiteral("?mode=ro")));
        if (!db.open()) {
            failure = db.lastError().text();
        } else {
            QSqlQuery q(db);
            if (!q.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'"))) {
                failure = QueryError(q);
            }
            while (q.next()) {
                tables << q.value(0).toString();
            }
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
    if (!failure.isEmpty()) {
        error = QStringLiteral("%1 cannot be read: %2").arg(path, failure);
        return false;
    }
    if (tables.isEmpty() || (tables.contains(QLatin1String("schema_version")) &&
                             tables.contains(QLatin1String("service_record")))) {
        return true;
    }
    tables.sort();
    error = refused.arg(path, QStringLiteral("its tables: %1")
                                  .arg(QString::fromStdString(QuotedInput(
                                      tables.join(QStringLiteral(", ")).toStdString()))));
    return false;
}

// Makes `folder` and the folders above it that are missing, each for its owner alone.
bool MakePrivateFolders(const QString& folder, QString& error) {
    if (QFileInfo(folder).isDir()) {
        return true;
    }
    const QString parent = QFileInfo(folder).path();
    if (parent != folder && !MakePrivateFolders(parent, error)) {
        return false;
    }
    const QByteArray name = QFile::encodeName(folder);
    if (::mkdir(name.constData(), 0700) != 0) {
        if (errno == EEXIST && QFileInfo(folder).isDir()) {
            return true; // another program made it meanwhile
        }
        error = QStringLiteral("the folder %1 cannot be made (%2)")
                    .arg(folder, PlainError(QString::fromLocal8Bit(std::strerror(errno)),
                                            parent.toStdString()));
        return false;
    }
    // The umask may have taken more away, never less: 0700 whatever it is.
    ::chmod(name.constData(), 0700);
    return true;
}

} // namespace

std::optional<RecordsTarget> ParseRecordsTarget(const std::string& raw, std::string& error) {
    error.clear();
    const std::string text = QString::fromStdString(raw).trimmed().toStdString();
    if (text.empty()) {
        RecordsTarget target;
        target.kind = RecordsTarget::Kind::Sqlite;
        target.sqlitePath = DefaultSqlitePath();
        return target;
    }
    if (text == "off") {
        RecordsTarget target;
        target.kind = RecordsTarget::Kind::Off;
        return target;
    }
    if (text.rfind("sqlite:", 0) == 0) {
        const std::string path = text.substr(7);
        if (path.empty()) {
            error = "sqlite: needs the path of a file, as in sqlite:/var/lib/zelcor/records.sqlite";
            return std::nullopt;
        }
        RecordsTarget target;
        target.kind = RecordsTarget::Kind::Sqlite;
        target.sqlitePath =
            QDir::cleanPath(QFileInfo(QString::fromStdString(path)).absoluteFilePath())
                .toStdString();
        return target;
    }
    if (text.rfind("postgresql://", 0) == 0 || text.rfind("postgres://", 0) == 0) {
        return ParsePostgresql(text, error);
    }
    error = "unknown records target " + Quoted(WithoutPassword(text)) + ": use " + kTargetForms;
    return std::nullopt;
}

std::string TargetText(const RecordsTarget& target) {
    switch (target.kind) {
    case RecordsTarget::Kind::Off:
        return "off";
    case RecordsTarget::Kind::Sqlite:
        return "sqlite:" + target.sqlitePath;
    case RecordsTarget::Kind::Postgresql:
        break;
    }
    const bool ipv6 = target.host.find(':') != std::string::npos;
    std::string text = "postgresql://" + target.user + '@' +
                       (ipv6 ? '[' + target.host + ']' : target.host) + ':' +
                       std::to_string(target.port) + '/' + target.database;
    char separator = '?';
    const auto parameter = [&](const char* key, const std::string& value) {
        if (!value.empty()) {
            text += separator + std::string(key) + '=' +
                    QUrl::toPercentEncoding(QString::fromStdString(value), "/").toStdString();
            separator = '&';
        }
    };
    parameter("sslmode", target.sslMode);
    parameter("sslrootcert", target.sslRootCert);
    parameter("connect_timeout",
              target.connectTimeout > 0 ? std::to_string(target.connectTimeout) : "");
    parameter("application_name", target.applicationName);
    return text;
}

std::string WithoutPassword(const std::string& raw) {
    const std::size_t scheme = raw.find("://");
    if (scheme == std::string::npos) {
        return raw;
    }
    std::string text = raw;
    const std::size_t start = scheme + 3;
    const std::size_t userEnd = UserEnd(text, start);
    const std::size_t colon = text.find(':', start);
    if (userEnd != std::string::npos && colon < userEnd) {
        text.replace(colon + 1, userEnd - colon - 1, "***");
    }
    // password=... among the parameters, its name written plainly or percent-encoded.
    std::size_t item = text.find('?', start);
    while (item != std::string::npos) {
        const std::size_t begin = item + 1;
        const std::size_t end = std::min(text.find('&', begin), text.find('#', begin));
        const std::size_t equals = text.find('=', begin);
        if (equals != std::string::npos && equals < end &&
            QUrl::fromPercentEncoding(QByteArray::fromStdString(text.substr(begin, equals - begin)))
                    .trimmed() == QLatin1String("password")) {
            const std::size_t valueEnd = end == std::string::npos ? text.size() : end;
            text.replace(equals + 1, valueEnd - equals - 1, "***");
        }
        item = text.find('&', begin);
    }
    return text;
}

std::string DefaultSqlitePath() {
    return (QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
            QStringLiteral("/Zelcor/records.sqlite"))
        .toStdString();
}

std::string DefaultSpoolPath() {
    return (QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
            QStringLiteral("/Zelcor/records-spool.sqlite"))
        .toStdString();
}

QString QueryError(const QSqlQuery& q) {
    const QSqlError e = q.lastError();
    QString text = e.databaseText().trimmed();
    if (text.isEmpty()) {
        text = e.driverText().trimmed();
    }
    return text.isEmpty() ? QStringLiteral("unknown error") : text;
}

QString PlainError(const QString& error, const std::string& path) {
    const bool ioError = error.contains(QLatin1String("disk I/O error")) ||
                         error.contains(QLatin1String("database or disk is full")) ||
                         error.contains(QString::fromLocal8Bit(std::strerror(ENOSPC)));
    if (!ioError || path.empty()) {
        return error;
    }
    // The file's own folder, or the nearest one above it that exists.
    QString folder = QFileInfo(QString::fromStdString(path)).absolutePath();
    while (!QFileInfo(folder).isDir() && QFileInfo(folder).path() != folder) {
        folder = QFileInfo(folder).path();
    }
    struct statvfs fs {};
    if (::statvfs(QFile::encodeName(folder).constData(), &fs) == 0 &&
        std::uint64_t(fs.f_bavail) * fs.f_frsize < kDiskFullBelow) {
        return QStringLiteral("the disk is full");
    }
    return error;
}

bool MakePrivateFile(const std::string& path, QString& error) {
    error.clear();
    const QString file =
        QDir::cleanPath(QFileInfo(QString::fromStdString(path)).absoluteFilePath());
    if (!MakePrivateFolders(QFileInfo(file).path(), error)) {
        return false;
    }
    const int fd = ::open(QFile::encodeName(file).constData(),
                          O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        if (errno == EEXIST) {
            return true;
        }
        error = QStringLiteral("%1 cannot be made (%2)")
                    .arg(file, PlainError(QString::fromLocal8Bit(std::strerror(errno)), path));
        return false;
    }
    ::fchmod(fd, 0600);
    ::close(fd);
    return true;
}

bool OpenRecordsDatabase(const RecordsTarget& target, const QString& connectionName,
                         QString& error) {
    error.clear();
    if (target.kind == RecordsTarget::Kind::Off) {
        error = QStringLiteral("recording is off");
        return false;
    }
    const bool sqlite = target.kind == RecordsTarget::Kind::Sqlite;
    const QString driver = sqlite ? QStringLiteral("QSQLITE") : QStringLiteral("QPSQL");
    if (!QSqlDatabase::isDriverAvailable(driver)) {
        error = QStringLiteral("the Qt SQL driver %1 is not installed (package %2)")
                    .arg(driver, sqlite ? QStringLiteral("libqt6sql6-sqlite")
                                        : QStringLiteral("libqt6sql6-psql"));
        return false;
    }
    bool opened = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(driver, connectionName);
        if (sqlite) {
            const QString path = QString::fromStdString(target.sqlitePath);
            const QString folder = QFileInfo(path).absolutePath();
            if (path == QString::fromStdString(DefaultSqlitePath())) {
                MakePrivateFile(target.sqlitePath, error);
            }
            if (!error.isEmpty()) {
                // The default file or its folder could not be made: said already.
            } else if (!QFileInfo(folder).isDir()) {
                error = QStringLiteral("the folder %1 does not exist").arg(folder);
            } else {
                MayTakeSqliteFile(path, error);
            }
            db.setDatabaseName(path);
            db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
        } else {
            db.setHostName(QString::fromStdString(target.host));
            db.setPort(target.port);
            db.setUserName(QString::fromStdString(target.user));
            db.setDatabaseName(QString::fromStdString(target.database));
            db.setConnectOptions(PostgresConnectOptions(target));
        }
        if (error.isEmpty() && !db.open()) {
            const QSqlError e = db.lastError();
            error = (e.databaseText().isEmpty() ? e.driverText() : e.databaseText()).trimmed();
        }
        if (error.isEmpty() && sqlite) {
            QSqlQuery q(db);
            if (!q.exec(QStringLiteral("PRAGMA journal_mode=WAL")) || !q.next()) {
                error = QueryError(q);
            } else if (q.value(0).toString().compare(QLatin1String("wal"), Qt::CaseInsensitive)) {
                error = QStringLiteral("the file cannot use a write-ahead log (journal mode %1)")
                            .arg(q.value(0).toString());
            } else if (!q.exec(QStringLiteral("PRAGMA foreign_keys=ON")) ||
                       !q.exec(QStringLiteral("PRAGMA synchronous=NORMAL"))) {
                error = QueryError(q);
            }
        }
        if (error.isEmpty()) {
            opened = Migrate(db, error);
        }
        if (!opened) {
            db.close();
        }
    }
    if (!opened) {
        QSqlDatabase::removeDatabase(connectionName);
    }
    return opened;
}

void CloseRecordsDatabase(const QString& connectionName) {
    {
        QSqlDatabase db = QSqlDatabase::database(connectionName, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(connectionName);
}

InsertResult InsertRecord(QSqlDatabase& db, const ServiceRecord& r, QString& error,
                          const std::function<bool(QSqlDatabase&, QString&)>& alongside) {
    error.clear();
    if (!Begin(db, error)) {
        return InsertResult::Failed;
    }
    const auto fail = [&](const QSqlQuery& q) {
        error = QueryError(q);
        Rollback(db);
        return InsertResult::Failed;
    };
    QSqlQuery q(db);
    // PostgreSQL prepares on the server, which takes the table's lock: a prepare can fail (a
    // lock held past the statement limit), and the statement must not run without it.
    QStringList marks;
    for (int c = 0; c < kRecordColumnCount; ++c) {
        marks << QStringLiteral("?");
    }
    if (!q.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3) ON CONFLICT (%4) DO NOTHING")
                       .arg(kRecordTable, ColumnList(), marks.join(QStringLiteral(", ")),
                            SqlName(kColId)))) {
        return fail(q);
    }
    const auto values = StoredValues(r);
    for (std::size_t c = 0; c < values.size(); ++c) {
        q.bindValue(int(c), values[c]);
    }
    if (!q.exec()) {
        return fail(q);
    }
    if (q.numRowsAffected() == 0) {
        Rollback(db);
        return InsertResult::AlreadyThere;
    }
    QSqlQuery b(db);
    if (!b.prepare(WrittenByteInsertSql())) {
        return fail(b);
    }
    for (std::size_t i = 0; i < r.bytesWritten.size(); ++i) {
        const QVariantList byteValues = WrittenByteValues(r, i);
        for (int v = 0; v < byteValues.size(); ++v) {
            b.bindValue(v, byteValues[v]);
        }
        if (!b.exec()) {
            return fail(b);
        }
    }
    if (r.verification) {
        QSqlQuery v(db);
        if (!v.prepare(VerificationRunInsertSql())) {
            return fail(v);
        }
        const QVariantList runValues = VerificationRunValues(r);
        for (int i = 0; i < runValues.size(); ++i) {
            v.bindValue(i, runValues[i]);
        }
        if (!v.exec()) {
            return fail(v);
        }
        QSqlQuery reading(db);
        if (!reading.prepare(VerificationReadingInsertSql())) {
            return fail(reading);
        }
        for (std::size_t i = 0; i < r.verification->readings.size(); ++i) {
            const QVariantList readingValues = VerificationReadingValues(r, i);
            for (int k = 0; k < readingValues.size(); ++k) {
                reading.bindValue(k, readingValues[k]);
            }
            if (!reading.exec()) {
                return fail(reading);
            }
        }
    }
    if (alongside && !alongside(db, error)) {
        Rollback(db);
        return InsertResult::Failed;
    }
    return Commit(db, error) ? InsertResult::Written : InsertResult::Failed;
}

std::optional<ServiceRecord> ReadRecord(QSqlDatabase& db, const std::string& id, QString& error) {
    error.clear();
    const QString shownId = QString::fromStdString(id);
    QSqlQuery q(db);
    const bool prepared = q.prepare(QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?")
                                        .arg(ColumnList(), kRecordTable, SqlName(kColId)));
    q.bindValue(0, shownId);
    if (!prepared || !q.exec()) {
        error = QueryError(q);
        return std::nullopt;
    }
    if (!q.next()) {
        return std::nullopt;
    }
    RecordRow row;
    for (int c = 0; c < kRecordColumnCount; ++c) {
        row[std::size_t(c)] = q.value(c);
    }
    ServiceRecord r;
    QString reason;
    if (!RowToRecord(row, r, reason)) {
        error = QStringLiteral("record %1: %2").arg(shownId, reason);
        return std::nullopt;
    }

    QSqlQuery b(db);
    const bool preparedBytes = b.prepare(WrittenByteSelectSql(QStringLiteral("?")));
    b.bindValue(0, shownId);
    if (!preparedBytes || !b.exec()) {
        error = QueryError(b);
        return std::nullopt;
    }
    while (b.next()) {
        r.bytesWritten.push_back(WrittenByteFromRow(b.value(1), b.value(2), b.value(3)));
    }
    std::map<std::string, QString> unreadable;
    if (!ReadVerifications(db, {&r}, unreadable, error)) {
        return std::nullopt;
    }
    if (!unreadable.empty()) {
        error = QStringLiteral("record %1: %2").arg(shownId, unreadable.begin()->second);
        return std::nullopt;
    }
    return r;
}

bool ReadVerifications(QSqlDatabase& db, const std::vector<ServiceRecord*>& records,
                       std::map<std::string, QString>& unreadable, QString& error) {
    if (records.empty()) {
        return true;
    }
    std::map<std::string, ServiceRecord*> byId;
    QStringList marks;
    for (ServiceRecord* r : records) {
        byId.emplace(r->id, r);
        marks << QStringLiteral("?");
    }
    const QString ids = marks.join(QLatin1Char(','));
    const auto run = [&](QSqlQuery& q, const QString& text) {
        q.setForwardOnly(true);
        if (!q.prepare(text)) {
            error = QueryError(q);
            return false;
        }
        for (const ServiceRecord* r : records) {
            q.addBindValue(QString::fromStdString(r->id));
        }
        if (!q.exec()) {
            error = QueryError(q);
            return false;
        }
        return true;
    };
    QSqlQuery q(db);
    if (!run(q, VerificationRunSelectSql(ids))) {
        return false;
    }
    while (q.next()) {
        const auto found = byId.find(q.value(0).toString().toStdString());
        if (found == byId.end()) {
            continue;
        }
        VerificationRun v;
        QString reason;
        if (RowToVerificationRun(q, v, reason)) {
            found->second->verification = std::move(v);
        } else {
            unreadable.emplace(found->first, reason);
        }
    }
    if (q.lastError().isValid()) {
        error = QueryError(q);
        return false;
    }
    QSqlQuery readings(db);
    if (!run(readings, VerificationReadingSelectSql(ids))) {
        return false;
    }
    while (readings.next()) {
        const auto found = byId.find(readings.value(0).toString().toStdString());
        if (found == byId.end() || !found->second->verification) {
            continue;
        }
        VerificationReading reading;
        QString reason;
        if (RowToVerificationReading(readings, reading, reason)) {
            found->second->verification->readings.push_back(std::move(reading));
        } else {
            unreadable.emplace(found->first, reason);
        }
    }
    if (readings.lastError().isValid()) {
        error = QueryError(readings);
        return false;
    }
    return true;
}

} // namespace zelcor::records
