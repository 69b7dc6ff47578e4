// SPDX-License-Identifier: GPL-3.0-or-later
// Whole programs writing records: several at once into one database. Each probe process has a
// home and data folder of its own. (A record cut off half-way is RecordStoreTest's.)
#include "records/RecordsFixture.h"

#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>

#include <array>
#include <memory>

namespace zelcor::test {
namespace {

constexpr int kGuardMs = 120'000;

class RecordsProcessTest : public DatabaseTest {
protected:
    // A probe writing 250 records PREFIX-0... to the test's database.
    std::unique_ptr<QProcess> startProbe(const QString& prefix) {
        auto home = std::make_unique<QTemporaryDir>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"}) {
            env.insert(QString::fromLatin1(name),
                       home->filePath(QString::fromLatin1(name).toLower()));
        }
        auto p = std::make_unique<QProcess>();
        p->setProcessEnvironment(env);
        p->start(QStringLiteral(ZELCOR_RECORDS_PROBE),
                 {QString::fromStdString(records::TargetText(*target)), "250", prefix});
        EXPECT_TRUE(p->waitForStarted(kGuardMs)) << p->errorString().toStdString();
        homes.push_back(std::move(home));
        return p;
    }
    std::vector<std::unique_ptr<QTemporaryDir>> homes;
};

TEST_P(RecordsProcessTest, FourProgramsWritingAtOnceGiveEveryRecordOnce) {
    std::array<std::unique_ptr<QProcess>, 4> probes;
    for (std::size_t i = 0; i < probes.size(); ++i) {
        probes[i] = startProbe(QStringLiteral("p%1").arg(i));
    }
    for (auto& p : probes) {
        ASSERT_TRUE(p->waitForFinished(kGuardMs));
        EXPECT_EQ(p->exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p->exitCode(), 0) << p->readAllStandardError().toStdString();
    }
    Connection c(*target);
    ASSERT_TRUE(c.open()) << c.error();
    EXPECT_EQ(c.counts(), "1000 records, 5000 bytes");
    // The database was brought to version 3 once, however many opened it at once.
    EXPECT_EQ(c.column("SELECT version FROM schema_version ORDER BY version"),
              (std::vector<std::string>{"1", "2", "3"}));
    // Nothing had to wait in any probe's spool.
    for (const auto& home : homes) {
        EXPECT_FALSE(
            QFileInfo::exists(home->filePath("xdg_data_home/Zelcor/records-spool.sqlite")));
    }
}

ZELCOR_ON_BOTH_DATABASES(RecordsProcessTest);

} // namespace
} // namespace zelcor::test
