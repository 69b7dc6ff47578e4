// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/RecordWriter.h"

#include "records/Spool.h"

#include <QSqlDatabase>
#include <QSqlQuery>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <list>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace zelcor::records {
namespace {

QString UniqueConnectionName(const char* what) {
    static std::atomic<unsigned> next{0};
    return QStringLiteral("zelcor-records-%1-%2").arg(QLatin1String(what)).arg(next++);
}

// The driver's words come on several lines, with tabs and a closing "?" or ".".
QString Reason(const QString& error) {
    QString reason = error.simplified();
    while (reason.endsWith(QLatin1Char('.')) || reason.endsWith(QLatin1Char('?'))) {
        reason.chop(1);
    }
    return reason;
}

QString Records(std::size_t n) {
    return n == 1 ? QStringLiteral("A service record")
                  : QStringLiteral("%1 service records").arg(n);
}

QString DidNotAnswerWithin(std::chrono::milliseconds timeout) {
    return QStringLiteral("it did not answer within %1 s")
        .arg(QString::number(double(timeout.count()) / 1000.0));
}

} // namespace

struct RecordWriter::Worker {
    using SteadyClock = std::chrono::steady_clock;

    // A record the writer's thread has taken: not yet written nor kept in the spool.
    struct InHand {
        ServiceRecord record;
        bool held = false; // told of as held in memory
    };

    RecordsTarget target;
    Options options;

    std::mutex mutex;
    std::condition_variable wake; // the writer's thread waits for work
    std::condition_variable idle; // flush() waits for a pass to end
    std::deque<ServiceRecord> queue;
    // Erased from on the writer's thread alone, always under the mutex; finish() copies it.
    std::list<InHand> inHand;
    std::uint64_t requested = 0; // passes asked for by flush()
    std::uint64_t served = 0;    // the last of them a pass began after
    bool stopping = false;
    std::atomic<bool> abandoned{false}; // finish() gave up waiting: the thread tells nothing
    std::atomic<bool> reported{false};
    std::atomic<std::size_t> lostCount{0};
    int ended[2] = {-1, -1}; // written to when the thread ends, for finish()'s poll
    std::thread thread;

    // The writer's thread alone.
    QString dbConnection = UniqueConnectionName("writer");
    bool dbOpen = false;
    std::unique_ptr<Spool> spool;
    std::optional<SteadyClock::time_point> nextRetry;
    bool unreachable = false; // the last pass could not reach the database
    QString dbError, spoolError;
    std::optional<std::size_t> lastWaiting;

    Worker(RecordsTarget t, Options o) : target(std::move(t)), options(std::move(o)) {
        if (options.spoolPath.empty()) {
            options.spoolPath = DefaultSpoolPath();
        }
        if (::pipe2(ended, O_CLOEXEC) != 0) {
            ended[0] = ended[1] = -1;
        }
    }
    ~Worker() {
        for (int fd : ended) {
            if (fd >= 0) {
                ::close(fd);
            }
        }
    }

    // The database's failure in plain words: a statement the server cancelled at its limit
    // (a table locked by another session) did not answer in time.
    QString plainDbError(const QString& error) const {
        if (error.contains(QLatin1String("canceling statement due to statement timeout"))) {
            return DidNotAnswerWithin(kStatementLimit);
        }
        return PlainError(error, target.sqlitePath);
    }
    QString targetText() const { return QString::fromStdString(TargetText(target)); }
    QString spoolText() const { return QString::fromStdString(options.spoolPath); }

    // Told on the writer's thread: nothing once finish() has given up on it.
    void tell(const std::function<void(const std::string&)>& to, const QString& message) {
        if (to && !abandoned) {
            to(message.toStdString());
        }
    }
    // Records kept in the spool: told once in the writer's life. `fromThread`: told by the
    // writer's thread, which tells nothing once finish() has given up on it.
    void toldKept(const QString& reason, bool fromThread) {
        if ((fromThread && abandoned) || reported.exchange(true) || !options.onFailure) {
            return;
        }
        options.onFailure(QStringLiteral("Service records cannot be written to %1 (%2). They "
                                         "are kept in %3 and written when the database answers "
                                         "again.")
                              .arg(targetText(), reason, spoolText())
                              .toStdString());
    }
    QString lostMessage(std::size_t n, const QString& reason, const QString& spoolReason) const {
        return QStringLiteral("%1 cannot be written to %2 (%3) nor kept in the spool %4 (%5): "
                              "%6 lost.")
            .arg(Records(n), targetText(), reason, spoolText(), spoolReason,
                 n == 1 ? QStringLiteral("it is") : QStringLiteral("they are"));
    }

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
            if (abandoned) {
                break;
            }
            const std::uint64_t ticket = requested;
            const bool fresh = !queue.empty();
            for (ServiceRecord& r : queue) {
                inHand.push_back({std::move(r)});
            }
            queue.clear();
            lock.unlock();
            pass(fresh);
            lock.lock();
            served = ticket;
            idle.notify_all();
            if (abandoned || (stopping && queue.empty())) {
                break;
            }
        }
        // What neither the database nor the spool took is lost now, unless finish() has
        // taken it into the spool itself.
        const std::size_t lost = abandoned ? 0 : inHand.size();
        inHand.clear();
        lock.unlock();
        closeDatabase();
        spool.reset();
        if (lost > 0) {
            lostCount += lost;
            tell(options.onFailure, lostMessage(lost, Reason(dbError), Reason(spoolError)));
        }
        if (ended[1] >= 0) {
            const char byte = 1;
            [[maybe_unused]] const ssize_t n = ::write(ended[1], &byte, 1);
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

    // One record to the database; none when it is not written. `reachable` turns false
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

    // Writes the records in hand, then what waits in the spool. A database the last pass
    // could not reach is tried again only for new records or once the retry time has come.
    void pass(bool fresh) {
        bool reachable = fresh || !unreachable || (nextRetry && SteadyClock::now() >= *nextRetry);
        const bool tried = reachable;
        std::vector<std::list<InHand>::iterator> records;
        {
            const std::lock_guard lock(mutex);
            for (auto it = inHand.begin(); it != inHand.end(); ++it) {
                records.push_back(it);
            }
        }
        std::size_t kept = 0;
        std::size_t newlyHeld = 0;
        for (const auto& it : records) {
            if (abandoned) {
                return;
            }
            QString error;
            bool done = bool(write(it->record, reachable, error));
            if (!done) {
                if (!error.isEmpty()) {
                    dbError = plainDbError(error);
                }
                QString spoolFailure;
                done = spool->add(it->record, spoolFailure);
                if (done) {
                    ++kept;
                } else {
                    spoolError = PlainError(spoolFailure, options.spoolPath);
                    if (!it->held) {
                        it->held = true;
                        ++newlyHeld;
                    }
                }
            }
            if (done) {
                const std::lock_guard lock(mutex);
                inHand.erase(it);
            }
        }
        if (kept > 0) {
            toldKept(Reason(dbError), true);
        }
        if (newlyHeld > 0) {
            tell(options.onHeld,
                 QStringLiteral("%1 cannot be written to %2 (%3) nor kept in the spool %4 (%5). "
                                "%6 kept in memory and tried again, and lost if the program "
                                "ends first.")
                     .arg(Records(newlyHeld), targetText(), Reason(dbError), spoolText(),
                          Reason(spoolError),
                          newlyHeld == 1 ? QStringLiteral("It is") : QStringLiteral("They are")));
        }
        std::optional<std::size_t> waiting = waitingInSpool();
        if (reachable && waiting.value_or(0) > 0) {
            drain(reachable);
            waiting = waitingInSpool();
        }
        if (tried) {
            unreachable = !reachable;
        }
        if (waiting && waiting != lastWaiting) {
            lastWaiting = waiting;
            if (options.onSpoolChanged && !abandoned) {
                options.onSpoolChanged(*waiting);
            }
        }
        bool holding = false;
        {
            const std::lock_guard lock(mutex);
            holding = !inHand.empty();
        }
        if (!tried) {
            // The retry time stays as the pass that tried set it.
        } else if (waiting.value_or(1) > 0 || holding) {
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
            if (abandoned) {
                return;
            }
            const auto record = spool->read(id, error);
            if (!record) {
                continue;
            }
            if (!write(*record, reachable, error)) {
                if (!error.isEmpty()) {
                    toldKept(Reason(plainDbError(error)), true);
                }
                if (!reachable) {
                    return;
                }
                continue;
            }
            spool->remove(id, error);
        }
    }

    // Puts records into the spool on the calling thread: those still queued when a flush
    // gives up, and in finish() those the writer's thread had not written either. How many
    // could not be kept is added to the lost ones, and told of.
    void spoolHere(const std::vector<ServiceRecord>& records, const QString& reason) {
        if (records.empty()) {
            return;
        }
        Spool here(options.spoolPath, target, UniqueConnectionName("here"));
        std::size_t lost = 0;
        QString failure;
        for (const ServiceRecord& r : records) {
            QString error;
            if (!here.add(r, error)) {
                failure = PlainError(error, options.spoolPath);
                ++lost;
            }
        }
        if (lost < records.size()) {
            toldKept(reason, false);
        }
        if (lost > 0) {
            lostCount += lost;
            if (options.onFailure) {
                options.onFailure(lostMessage(lost, reason, Reason(failure)).toStdString());
            }
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
        if (m->stopping) {
            return;
        }
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
    m->spoolHere(rest, DidNotAnswerWithin(timeout));
    return false;
}

RecordWriter::End RecordWriter::finish(std::chrono::milliseconds timeout, int interruptFd) {
    if (!m->thread.joinable() || m->abandoned) {
        return End::Done;
    }
    {
        const std::lock_guard lock(m->mutex);
        m->stopping = true;
    }
    m->wake.notify_one();
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    End end = End::TimedOut;
    for (;;) {
        pollfd fds[2] = {{m->ended[0], POLLIN, 0}, {interruptFd, POLLIN, 0}};
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        const int n =
            ::poll(fds, interruptFd >= 0 ? 2 : 1, int(std::max<long long>(left.count(), 0)));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n > 0 && fds[0].revents != 0) {
            m->thread.join();
            return End::Done;
        }
        if (n > 0 && fds[1].revents != 0) {
            end = End::Interrupted;
        }
        break;
    }
    // The thread may be waiting for the database: what it holds goes to the spool from here,
    // and it tells nothing more. A record it still writes is kept once all the same, by id.
    std::vector<ServiceRecord> rest;
    {
        const std::lock_guard lock(m->mutex);
        m->abandoned = true;
        for (const Worker::InHand& h : m->inHand) {
            rest.push_back(h.record);
        }
        for (ServiceRecord& r : m->queue) {
            rest.push_back(std::move(r));
        }
        m->queue.clear();
    }
    m->wake.notify_one();
    const QString reason = end == End::Interrupted
                               ? QStringLiteral("the program was stopped before it answered")
                               : DidNotAnswerWithin(timeout);
    m->spoolHere(rest, reason);
    return end;
}

std::size_t RecordWriter::lost() const {
    return m->lostCount;
}

} // namespace zelcor::records
