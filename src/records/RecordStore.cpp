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
#include <charconv>
#include <cstdio>
#include <cstring>
#include <limits>

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

QString LastError(const QSqlQuery& q) {
    const QSqlError e = q.lastError();
    QString text = e.databaseText().trimmed();
    if (text.isEmpty()) {
        text = e.driverText().trimmed();
    }
    return text.isEmpty() ? QStringLiteral("unknown error") : text;
}

// One statement; false with `error` set when it fails.
bool Exec(QSqlDatabase& db, const QString& statement, QString& error) {
    QSqlQuery q(db);
    if (!q.exec(statement)) {
        error = LastError(q);
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
        error = LastError(q);
        return -1;
    }
    if (q.value(0).toInt() == 0) {
        return 0;
    }
    if (!q.exec(QStringLiteral("SELECT max(version) FROM schema_version")) || !q.next()) {
        error = LastError(q);
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
                failure = LastError(q);
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

// ---- columns ---------------------------------------------------------------------------------

// An empty text is NULL; NUL characters, which PostgreSQL's texts cannot hold, are dropped.
QVariant Text(const std::string& text) {
    if (text.empty()) {
        return QVariant(QMetaType::fromType<QString>());
    }
    QString t = QString::fromStdString(text);
    t.remove(QChar(0));
    return t;
}
QVariant NotNullText(const std::string& text) {
    const QVariant t = Text(text);
    return t.isNull() ? QVariant(QStringLiteral("")) : t;
}
std::string FromText(const QVariant& v) {
    return v.isNull() ? std::string() : v.toString().toStdString();
}

std::string Hex(int value, int digits) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%0*X", digits, unsigned(value));
    return buffer;
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
                error = LastError(q);
            } else if (q.value(0).toString().compare(QLatin1String("wal"), Qt::CaseInsensitive)) {
                error = QStringLiteral("the file cannot use a write-ahead log (journal mode %1)")
                            .arg(q.value(0).toString());
            } else if (!q.exec(QStringLiteral("PRAGMA foreign_keys=ON")) ||
                       !q.exec(QStringLiteral("PRAGMA synchronous=NORMAL"))) {
                error = LastError(q);
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
        error = LastError(q);
        Rollback(db);
        return InsertResult::Failed;
    };
    const QVariant noNumber(QMetaType::fromType<int>());
    const std::pair<const char*, QVariant> columns[] = {
        {"id", NotNullText(r.id)},
        {"time_utc", NotNullText(r.time)},
        {"duration_ms", qint64(r.durationMs)},
        {"station", Text(r.station)},
        {"operator", Text(r.operatorName)},
        {"program", Text(r.program)},
        {"port", Text(r.port)},
        {"factory_code", Text(r.factoryCode)},
        {"software_version", Text(r.softwareVersion)},
        {"wrench_code", Text(r.wrenchCode)},
        {"job", NotNullText(r.job)},
        {"direction", Text(r.direction)},
        {"digits", r.digits ? QVariant(*r.digits) : noNumber},
        {"bytes_read", Text(BytesReadText(r.bytesRead))},
        {"request_code", Text(r.requestCode)},
        {"request_message", Text(r.requestMessage)},
        {"new_set", Text(r.newSet)},
        {"detail", Text(r.detail)},
        {"run_summary", Text(r.run ? RunSummaryText(*r.run) : "")},
        {"outcome", NotNullText(OutcomeText(r.outcome))},
        {"failure_code", r.failureCode != 0 ? QVariant(r.failureCode) : noNumber},
        {"message", Text(r.message)},
    };
    QStringList names;
    QStringList placeholders;
    for (const auto& [name, value] : columns) {
        names << QLatin1String(name);
        placeholders << QLatin1Char(':') + QLatin1String(name);
    }
    QSqlQuery q(db);
    // PostgreSQL prepares on the server, which takes the table's lock: a prepare can fail (a
    // lock held past the statement limit), and the statement must not run without it.
    if (!q.prepare(
            QStringLiteral("INSERT INTO service_record (%1) VALUES (%2) ON CONFLICT (id) DO "
                           "NOTHING")
                .arg(names.join(QStringLiteral(", ")), placeholders.join(QStringLiteral(", "))))) {
        return fail(q);
    }
    for (const auto& [name, value] : columns) {
        q.bindValue(QLatin1Char(':') + QLatin1String(name), value);
    }
    if (!q.exec()) {
        return fail(q);
    }
    if (q.numRowsAffected() == 0) {
        Rollback(db);
        return InsertResult::AlreadyThere;
    }
    QSqlQuery b(db);
    if (!b.prepare(QStringLiteral("INSERT INTO written_byte (record_id, seq, address, before, "
                                  "after) VALUES (:record_id, :seq, :address, :before, :after)"))) {
        return fail(b);
    }
    for (std::size_t i = 0; i < r.bytesWritten.size(); ++i) {
        const RecordedWrite& w = r.bytesWritten[i];
        b.bindValue(QStringLiteral(":record_id"), NotNullText(r.id));
        b.bindValue(QStringLiteral(":seq"), int(i));
        b.bindValue(QStringLiteral(":address"), w.address);
        b.bindValue(QStringLiteral(":before"),
                    w.before ? QVariant(int(*w.before)) : QVariant(QMetaType::fromType<int>()));
        b.bindValue(QStringLiteral(":after"), int(w.after));
        if (!b.exec()) {
            return fail(b);
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
    QSqlQuery q(db);
    const bool prepared = q.prepare(QStringLiteral(
        "SELECT id, time_utc, duration_ms, station, operator, program, port, factory_code, "
        "software_version, wrench_code, job, direction, digits, bytes_read, request_code, "
        "request_message, new_set, detail, run_summary, outcome, failure_code, message "
        "FROM service_record WHERE id = :id"));
    q.bindValue(QStringLiteral(":id"), QString::fromStdString(id));
    if (!prepared || !q.exec()) {
        error = LastError(q);
        return std::nullopt;
    }
    if (!q.next()) {
        return std::nullopt;
    }
    ServiceRecord r;
    r.id = FromText(q.value(0));
    r.time = FromText(q.value(1));
    r.durationMs = q.value(2).toLongLong();
    r.station = FromText(q.value(3));
    r.operatorName = FromText(q.value(4));
    r.program = FromText(q.value(5));
    r.port = FromText(q.value(6));
    r.factoryCode = FromText(q.value(7));
    r.softwareVersion = FromText(q.value(8));
    r.wrenchCode = FromText(q.value(9));
    r.job = FromText(q.value(10));
    r.direction = FromText(q.value(11));
    if (!q.value(12).isNull()) {
        r.digits = q.value(12).toInt();
    }
    const auto bytesRead = ParseBytesRead(FromText(q.value(13)));
    r.requestCode = FromText(q.value(14));
    r.requestMessage = FromText(q.value(15));
    r.newSet = FromText(q.value(16));
    r.detail = FromText(q.value(17));
    const std::string runText = FromText(q.value(18));
    const auto outcome = ParseOutcome(FromText(q.value(19)));
    r.failureCode = q.value(20).isNull() ? 0 : q.value(20).toInt();
    r.message = FromText(q.value(21));
    if (!bytesRead) {
        error = QStringLiteral("record %1: cannot read bytes_read").arg(QString::fromStdString(id));
        return std::nullopt;
    }
    r.bytesRead = *bytesRead;
    if (!runText.empty()) {
        r.run = ParseRunSummary(runText);
        if (!r.run) {
            error = QStringLiteral("record %1: cannot read run_summary")
                        .arg(QString::fromStdString(id));
            return std::nullopt;
        }
    }
    if (!outcome) {
        error = QStringLiteral("record %1: unknown outcome").arg(QString::fromStdString(id));
        return std::nullopt;
    }
    r.outcome = *outcome;

    QSqlQuery b(db);
    const bool preparedBytes =
        b.prepare(QStringLiteral("SELECT seq, address, before, after FROM written_byte "
                                 "WHERE record_id = :id ORDER BY seq"));
    b.bindValue(QStringLiteral(":id"), QString::fromStdString(id));
    if (!preparedBytes || !b.exec()) {
        error = LastError(b);
        return std::nullopt;
    }
    while (b.next()) {
        RecordedWrite w{};
        w.address = b.value(1).toInt();
        if (!b.value(2).isNull()) {
            w.before = std::uint8_t(b.value(2).toInt());
        }
        w.after = std::uint8_t(b.value(3).toInt());
        r.bytesWritten.push_back(w);
    }
    return r;
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

} // namespace zelcor::records
