// SPDX-License-Identifier: GPL-3.0-or-later
// The whole program played by scripts: zelcor --script as a technician's session would run it
// headless, its standard output, and its exit code.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct Finished {
    bool exited = false;
    int code = -1;
    QString out;
    QString err;
};

Finished zelcor(const QStringList& arguments, const QByteArray& input = {}) {
    QProcess process;
    process.start(QStringLiteral(ZELCOR_BINARY), arguments);
    process.write(input);
    process.closeWriteChannel();
    Finished result;
    // A generous guard against a process that never ends; not a measure of speed.
    result.exited = process.waitForFinished(60'000);
    if (!result.exited) {
        process.kill();
        process.waitForFinished();
    }
    result.code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

class ScriptProcess : public ::testing::Test {
protected:
    Finished play(const QByteArray& script, const QStringList& options = {}) {
        const QString path = dir.filePath(QStringLiteral("session.zs"));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(script);
        file.close();
        return zelcor(options + QStringList{QStringLiteral("--script"), path});
    }

    QTemporaryDir dir;
};

QStringList lines(const QString& text) {
    return text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QByteArray readScript(const QString& name) {
    QFile file(QStringLiteral(ZELCOR_E2E_DIR "/") + name);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
    return file.readAll();
}

// The repository's own sessions against the simulated wrench, through the real serial port.
TEST_F(ScriptProcess, SessionsAgainstTheSimulatedWrenchHold) {
    const QStringList scripts =
        QDir(QStringLiteral(ZELCOR_E2E_DIR)).entryList({QStringLiteral("*.zs")}, QDir::Files);
    ASSERT_FALSE(scripts.isEmpty());
    for (const QString& name : scripts) {
        const Finished run = play(readScript(name), {QStringLiteral("--simulator")});
        ASSERT_TRUE(run.exited) << name.toStdString();
        EXPECT_EQ(run.code, 0) << name.toStdString() << "\n"
                               << run.out.toStdString() << run.err.toStdString();
        EXPECT_TRUE(run.out.contains(QLatin1String("script passed"))) << name.toStdString();
    }
}

TEST_F(ScriptProcess, OneChangedExpectExitsOneNamingTheLine) {
    QByteArray script = readScript(QStringLiteral("port-open-close.zs"));
    script.replace("expect-enabled cmdRead true", "expect-enabled cmdRead false");
    const Finished run = play(script, {QStringLiteral("--simulator")});
    ASSERT_TRUE(run.exited);
    EXPECT_EQ(run.code, 1);
    const QStringList out = lines(run.out);
    ASSERT_GE(out.size(), 2);
    EXPECT_EQ(out[out.size() - 2], "line 9: failed: cmdRead enabled: expected false, seen true");
    EXPECT_EQ(out.last(), "script failed at line 9");
    EXPECT_FALSE(run.out.contains("line 10:")) << "the script went on after the failure";
}

TEST_F(ScriptProcess, AScriptOnStandardInput) {
    const Finished run = zelcor({QStringLiteral("--script"), QStringLiteral("-")},
                                "set txtSendByte A5\r\nexpect txtSendByte A5\r\n");
    ASSERT_TRUE(run.exited);
    EXPECT_EQ(run.code, 0) << run.out.toStdString() << run.err.toStdString();
    EXPECT_TRUE(run.out.endsWith("script passed (2 lines)\n"));
}

TEST_F(ScriptProcess, ScriptsThatCannotBeUnderstoodExitTwoBeforeAnythingRuns) {
    const std::vector<std::pair<QByteArray, QString>> cases{
        {"idle\n\nclick cmdNothing\n", "session.zs: line 3: no control named cmdNothing"},
        {QByteArray("idle\n\x7f"
                    "ELF\x02\x01\0\0\xff\xfe\n",
                    15),
         "session.zs: line 2: the line is not UTF-8 text"},
    };
    for (const auto& [script, message] : cases) {
        const Finished run = play(script);
        ASSERT_TRUE(run.exited) << message.toStdString();
        EXPECT_EQ(run.code, 2) << message.toStdString();
        EXPECT_TRUE(run.err.contains(message))
            << "expected " << message.toStdString() << " in " << run.err.toStdString();
        EXPECT_EQ(run.out, "") << "something ran: " << message.toStdString();
    }

    const Finished missing = zelcor({"--script", dir.filePath("no.zs")});
    EXPECT_EQ(missing.code, 2);
    EXPECT_TRUE(missing.err.contains("cannot read")) << missing.err.toStdString();
}

// The log is written as the session goes, so what is in the file when the program has ended
// is every byte, in order, with times that never go back.
TEST_F(ScriptProcess, TheLogOfAWriteAndAReadHoldsTheirFramesAndReplies) {
    const QString log = dir.filePath(QStringLiteral("session.csv"));
    const Finished run = play("click cmdPortOpen\n"
                              "set txtAddr0Write 10\n"
                              "set txtWriteData 7F\n"
                              "click cmdWrite\n"
                              "set txtAddr0Read 10\n"
                              "click cmdRead\n",
                              {QStringLiteral("--simulator"), QStringLiteral("--log"), log});
    ASSERT_TRUE(run.exited);
    ASSERT_EQ(run.code, 0) << run.out.toStdString() << run.err.toStdString();
    QFile file(log);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList rows = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    ASSERT_GE(rows.size(), 2);
    EXPECT_EQ(rows[0], "ms,direction,byte,marker,result");
    QStringList traffic; // direction and byte, or marker and result
    qint64 last = 0;
    for (qsizetype i = 2; i < rows.size(); ++i) {
        const QStringList f = rows[i].split(',');
        ASSERT_EQ(f.size(), 5) << rows[i].toStdString();
        EXPECT_GE(f[0].toLongLong(), last) << rows[i].toStdString();
        last = f[0].toLongLong();
        traffic << (f[1].isEmpty() ? f[3] + ' ' + f[4] : f[1] + ' ' + f[2]);
    }
    EXPECT_EQ(traffic, QStringList({"TX 0xE8", "TX 0x00", "TX 0x10", "TX 0x7F", "RX 0x00",
                                    "RX 0x10", "RX 0x7F", "exchange end 0", "TX 0xC8", "TX 0x00",
                                    "TX 0x10", "RX 0x00", "RX 0x10", "RX 0xAA", "RX 0x7F",
                                    "RX 0x7F", "exchange end 0", "port closed "}));
}

// The program ending early is a failed script, not the program's own clean exit.
TEST_F(ScriptProcess, EndBeforeTheLastLineExitsOne) {
    const Finished early = play("click cmdEnd\nexpect txtState IDLE0\n");
    ASSERT_TRUE(early.exited);
    EXPECT_EQ(early.code, 1) << early.out.toStdString();
    EXPECT_EQ(lines(early.out).last(), "script ended at line 1: the program was ended, line 2 "
                                       "and after never ran");
}

} // namespace
