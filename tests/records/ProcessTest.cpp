// SPDX-License-Identifier: GPL-3.0-or-later
// Whole programs writing records: several at once into one database, and one killed while it
// writes. Each probe process has a home and data folder of its own.
#include "records/RecordsFixture.h"

#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>

#include <array>
#include <memory>

namespace zelcor::test {
namespace {

using records::RecordsTarget;

constexpr int kGuardMs = 120'000;

class RecordsProcessTest : public DatabaseTest {
protected:
    // A probe writing `count` records PREFIX-0...; `direct` tells each on a line.
    std::unique_ptr<QProcess> startProbe(const RecordsTarget& target, int count,
                                         const QString& prefix, bool direct = false) {
        auto home = std::make_unique<QTemporaryDir>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"}) {
            env.insert(QString::fromLatin1(name),
                       home->filePath(QString::fromLatin1(name).toLower()));
        }
        auto p = std::make_unique<QProcess>();
        p->setProcessEnvironment(env);
        p->setProcessChannelMode(QProcess::SeparateChannels);
        QStringList arguments{QString::fromStdString(records::TargetText(target)),
                              QString::number(count), prefix};
        if (direct) {
            arguments << QStringLiteral("direct");
        }
        p->start(QStringLiteral(ZELCOR_RECORDS_PROBE), arguments);
        EXPECT_TRUE(p->waitForStarted(kGuardMs)) << p->errorString().toStdString();
        homes.push_back(std::move(home));
        return p;
    }
    // Every record has all its written bytes (the foreign key keeps bytes from being
    // without their record).
    static std::string partRecords(Connection& c) {
        return c.text("SELECT count(*) FROM service_record s WHERE (SELECT count(*) FROM "
                      "written_byte w WHERE w.record_id = s.id) <> 5");
    }

    std::vector<std::unique_ptr<QTemporaryDir>> homes;
};

TEST_P(RecordsProcessTest, FourProgramsWritingAtOnceGiveEveryRecordOnce) {
    std::array<std::unique_ptr<QProcess>, 4> probes;
    for (std::size_t i = 0; i < probes.size(); ++i) {
        probes[i] = startProbe(*target, 250, QStringLiteral("p%1").arg(i));
    }
    for (auto& p : probes) {
        ASSERT_TRUE(p->waitForFinished(kGuardMs));
        EXPECT_EQ(p->exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p->exitCode(), 0) << p->readAllStandardError().toStdString();
    }
    Connection c(*target);
    ASSERT_TRUE(c.open()) << c.error();
    EXPECT_EQ(c.counts(), "1000 records, 5000 bytes");
    EXPECT_EQ(partRecords(c), "0");
    // The database was brought to version 2 once, however many opened it at once.
    EXPECT_EQ(c.column("SELECT version FROM schema_version ORDER BY version"),
              (std::vector<std::string>{"1", "2"}));
    // Nothing had to wait in any probe's spool.
    for (const auto& home : homes) {
        EXPECT_FALSE(
            QFileInfo::exists(home->filePath("xdg_data_home/Zelcor/records-spool.sqlite")));
    }
}

TEST_P(RecordsProcessTest, AProgramKilledWhileItWritesLeavesNoPartOfARecord) {
    long long told = 0;
    for (int round = 0; round < 3; ++round) {
        auto p = startProbe(*target, 1'000'000, QStringLiteral("k%1").arg(round), true);
        // Killed once it has told of some records: it is in the middle of the next.
        const int after = 20 + 7 * round;
        QByteArray lines;
        while (lines.count('\n') < after) {
            ASSERT_TRUE(p->waitForReadyRead(kGuardMs)) << p->readAllStandardError().toStdString();
            lines += p->readAllStandardOutput();
        }
        p->kill();
        ASSERT_TRUE(p->waitForFinished(kGuardMs));
        EXPECT_EQ(p->exitStatus(), QProcess::CrashExit);
        lines += p->readAllStandardOutput();
        told += lines.count('\n');
    }
    Connection c(*target);
    ASSERT_TRUE(c.open()) << c.error();
    const long long records = std::stoll(c.text("SELECT count(*) FROM service_record"));
    // Every record told of is there; at most the one each was writing when killed besides.
    EXPECT_GE(records, told);
    EXPECT_LE(records, told + 3);
    EXPECT_EQ(partRecords(c), "0");
}

ZELCOR_ON_BOTH_DATABASES(RecordsProcessTest);

} // namespace
} // namespace zelcor::test
