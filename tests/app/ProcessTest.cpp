// SPDX-License-Identifier: GPL-3.0-or-later
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct Finished {
    bool exited = false;
    QProcess::ExitStatus status = QProcess::CrashExit;
    int code = -1;
    QString output;
};

// Each process gets a home and settings folder of its own, never the user's.
Finished run(const QString& program, const QStringList& arguments) {
    const QTemporaryDir home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("HOME", home.path());
    environment.insert("XDG_CONFIG_HOME", home.path() + "/.config");
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    Finished result;
    // A generous guard against a process that never ends; not a measure of speed.
    result.exited = process.waitForFinished(60'000);
    if (!result.exited) {
        process.kill();
        process.waitForFinished();
    }
    result.status = process.exitStatus();
    result.code = process.exitCode();
    result.output = QString::fromLocal8Bit(process.readAll());
    return result;
}

TEST(Process, NoProcessStaysAliveAfterEndOrClosingTheMainWindow) {
    for (const char* mode : {"end", "close", "end-while-waiting", "end-during-test-run"}) {
        const Finished f = run(QStringLiteral(ZELCOR_EXIT_PROBE), {QString::fromLatin1(mode)});
        EXPECT_TRUE(f.exited) << mode << " left the process running";
        EXPECT_EQ(f.status, QProcess::NormalExit) << mode << ": " << f.output.toStdString();
        EXPECT_EQ(f.code, 0) << mode << ": " << f.output.toStdString();
    }
}

TEST(Process, HelpListsTheOptionsWithoutAWindowSystem) {
    const Finished f = run(QStringLiteral(ZELCOR_BINARY), {QStringLiteral("--help")});
    ASSERT_TRUE(f.exited);
    EXPECT_EQ(f.code, 0);
    EXPECT_TRUE(f.output.contains(QLatin1String("--port"))) << f.output.toStdString();
    EXPECT_TRUE(f.output.contains(QLatin1String("--help")));

    const Finished version = run(QStringLiteral(ZELCOR_BINARY), {QStringLiteral("--version")});
    EXPECT_EQ(version.code, 0);
    EXPECT_TRUE(QRegularExpression("^zelcor [0-9]+\\.[0-9]+(\\.[0-9]+)?\n$")
                    .match(version.output)
                    .hasMatch())
        << version.output.toStdString();

    const Finished bad = run(QStringLiteral(ZELCOR_BINARY), {QStringLiteral("--bogus")});
    EXPECT_EQ(bad.code, 2);
    EXPECT_TRUE(bad.output.contains(QLatin1String("unknown option: --bogus")));
}

} // namespace
