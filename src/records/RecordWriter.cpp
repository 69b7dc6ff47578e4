// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/RecordWriter.h"

#include "records/Spool.h"

#include <QSqlDatabase>
#include <QSqlQuery>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace zelcor::records {
namespace {

QString UniqueConnectionName(const char* what) {
    static std::atomic<unsigned> next{0};
    return QStringLiteral("zelcor-records-%1-%2").arg(QLatin1String(what)).arg(next++);
}

} // namespace

struct RecordWriter::Worker {
    using SteadyClock = std::chrono::steady_clock;

    RecordsTarget target;
    Options options;

    std::mutex mutex;
    std::condition_variable wake; // the writer's thread waits for work
    std::condition_variable idle; // flush() waits for a pass to end
    std::deque<ServiceRecord> queue;
    std::uint64_t requested = 0; // passes asked for by flush()
    std::uint64_t served = 0;    // the last of them a pass began after
    bool stopping = false;
    std::atomic<bool> reported{false};
    std::thread thread;

    // The writer's thread alone.
    QString dbConnection = UniqueConnectionName("writer");
    bool dbOpen = false;
    std::unique_ptr<Spool> spool;
    std::vector<ServiceRecord> held; // neither written nor spooled yet
    std::optional<SteadyClock::time_point> nextRetry;
    std::optional<std::size_t> lastWaiting;

    Worker(RecordsTarget t, Options o) : target(std::move(t)), options(std::move(o)) {
        if (options.spoolPath.empty()) {
            options.spoolPath = DefaultSpoolPath();
        }
    }

    void report(const QString& message) {
        if (!reported.exchange(true) && options.onFailure) {
            options.onFailure(message.toStdString());
        }
    }
    QString targetText() const { return QString::fromStdString(TargetText(target)); }

    void run() {
        spool = std::make_unique<Spool>(options.spoolPath, target, UniqueConnectionName("spool"));
        // Records an earlier run left in the spool are written at the start.
        bool passNow = spool->exists();
        std::unique_lock lock(mutex);
        for (;;) {
            if (!passNow) {
                const auto ready = [&] { return stopping || !queue.empty() || requested > served; };
                if (nextRetry) {
                    wake.wait_until(lock, *nextRetry, ready);
                } else {
                    wake.wait(lock, ready);
                }
            }
            passNow = false;
            const std::uint64_t ticket = requested;
            std::vector<ServiceRecord> batch(std::make_move_iterator(queue.begin()),
                                             std::make_move_iterator(queue.end()));
            queue.clear();
            lock.unlock();
            pass(std::move(batch));
            lock.lock();
            served = ticket;
            idle.notify_all();
            if (stopping && queue.empty()) {
                break;
            }
        }
        lock.unlock();
        closeDatabase();
        spool.reset();
        if (!held.empty()) {
            report(QStringLiteral("%1 service records could not be written to %2 nor kept in "
                                  "the spool %3, and are lost.")
                       .arg(held.size())
                       .arg(targetText(), QString::fromStdString(options.spoolPath)));
        }
    }

    bool openDatabase(QString& error) {
        if (!dbOpen) {
            dbOpen = OpenRecordsDatabase(target, dbConnection, error);
        }
        return dbOpen;
    }
    void closeDatabase() {
        if (dbOpen) {
            CloseRecordsDatabase(dbConnection);
            dbOpen = false;
        }
    }
    // Whether the connection still answers after a statement failed.
    bool answers() {
        QSqlDatabase db = QSqlDatabase::database(dbConnection, false);
        if (!db.isOpen()) {
            return false;
        }
        QSqlQuery q(db);
        return q.exec(QStringLiteral("SELECT 1"));
    }

    // One record to the database; false when it is not written. `reachable` turns false
    // when the database cannot be reached: nothing more is tried until the next pass.
    std::optional<InsertResult> write(const ServiceRecord& record, bool& reachable,
                                      QString& error) {
        if (!reachable) {
            return std::nullopt;
        }
        if (!openDatabase(error)) {
            reachable = false;
            return std::nullopt;
        }
        QSqlDatabase db = QSqlDatabase::database(dbConnection, false);
        const InsertResult result = InsertRecord(db, record, error);
        if (result != InsertResult::Failed) {
            return result;
        }
        if (!answers()) {
            db = QSqlDatabase();
            closeDatabase();
            reachable = false;
        }
        return std::nullopt;
    }

    void failed(const QString& error) {
        // The driver's words come on several lines, with tabs and a closing "?" or ".".
        QString reason = error.simplified();
        while (reason.endsWith(QLatin1Char('.')) || reason.endsWith(QLatin1Char('?'))) {
            reason.chop(1);
        }
        report(QStringLiteral("Service records cannot be written to %1 (%2). They are kept in "
                              "%3 and written when the database answers again.")
                   .arg(targetText(), reason, QString::fromStdString(options.spoolPath)));
    }

    // Writes the new records, then what waits in the spool.
    void pass(std::vector<ServiceRecord> batch) {
        bool reachable = true;
        std::vector<ServiceRecord> records = std::move(held);
        held.clear();
        for (ServiceRecord& r : batch) {
            records.push_back(std::move(r));
        }
        for (ServiceRecord& r : records) {
            QString error;
            if (write(r, reachable, error)) {
                continue;
            }
            if (!error.isEmpty()) {
                failed(error);
            }
            QString spoolError;
            if (!spool->add(r, spoolError)) {
                report(QStringLiteral("Service records cannot be written to %1 nor kept in "
                                      "the spool: %2. They are lost when the program ends.")
                           .arg(targetText(), spoolError));
                held.push_back(std::move(r));
            }
        }
        std::optional<std::size_t> waiting = waitingInSpool();
        if (reachable && waiting.value_or(0) > 0) {
            drain(reachable);
            waiting = waitingInSpool();
        }
        if (waiting && waiting != lastWaiting) {
            lastWaiting = waiting;
            if (options.onSpoolChanged) {
                options.onSpoolChanged(*waiting);
            }
        }
        if (waiting.value_or(1) > 0 || !held.empty()) {
            nextRetry = SteadyClock::now() + options.retryInterval;
        } else {
            nextRetry.reset();
        }
    }

    // How many records of this target wait; none when the spool cannot be read.
    std::optional<std::size_t> waitingInSpool() {
        if (!spool->exists()) {
            return 0;
        }
        QString error;
        const auto count = spool->count(error);
        return count ? std::optional<std::size_t>(std::size_t(*count)) : std::nullopt;
    }

    // The spool's records to the database, oldest first, each deleted from the spool once
    // the database has it. One the database refuses while it answers stays for later.
    void drain(bool& reachable) {
        QString error;
        const auto ids = spool->ids(error);
        if (!ids) {
            return;
        }
        for (const std::string& id : *ids) {
            const auto record = spool->read(id, error);
            if (!record) {
                continue;
            }
            if (!write(*record, reachable, error)) {
                if (!error.isEmpty()) {
                    failed(error);
                }
                if (!reachable) {
                    return;
                }
                continue;
            }
            spool->remove(id, error);
        }
    }
};

RecordWriter::RecordWriter(RecordsTarget target, Options options)
    : m(std::make_unique<Worker>(std::move(target), std::move(options))) {
    if (m->target.kind != RecordsTarget::Kind::Off) {
        m->thread = std::thread([this] { m->run(); });
    }
}

RecordWriter::~RecordWriter() {
    if (m->thread.joinable()) {
        {
            const std::lock_guard lock(m->mutex);
            m->stopping = true;
        }
        m->wake.notify_one();
        m->thread.join();
    }
}

const RecordsTarget& RecordWriter::target() const {
    return m->target;
}

void RecordWriter::submit(ServiceRecord record) {
    if (!m->thread.joinable()) {
        return;
    }
    {
        const std::lock_guard lock(m->mutex);
        m->queue.push_back(std::move(record));
    }
    m->wake.notify_one();
}

bool RecordWriter::flush(std::chrono::milliseconds timeout) {
    if (!m->thread.joinable()) {
        return true;
    }
    std::unique_lock lock(m->mutex);
    const std::uint64_t ticket = ++m->requested;
    m->wake.notify_one();
    if (m->idle.wait_for(lock, timeout, [&] { return m->served >= ticket && m->queue.empty(); })) {
        return true;
    }
    std::vector<ServiceRecord> rest(std::make_move_iterator(m->queue.begin()),
                                    std::make_move_iterator(m->queue.end()));
    m->queue.clear();
    lock.unlock();
    if (!rest.empty()) {
        Spool spool(m->options.spoolPath, m->target, UniqueConnectionName("flush"));
        for (const ServiceRecord& r : rest) {
            QString error;
            if (!spool.add(r, error)) {
                m->report(QStringLiteral("Service records could not be kept in the spool: %1. "
                                         "They are lost.")
                              .arg(error));
            }
        }
    }
    return false;
}

} // namespace zelcor::records
