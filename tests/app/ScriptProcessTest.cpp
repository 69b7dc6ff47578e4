// The whole program played by scripts: zelcor --script as a technician's session would run it
// headless, its standard output, and its exit code.
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <random>

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
    Finished play(const QByteArray& script) {
        const QString path = dir.filePath(QStringLiteral("session.zs"));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(script);
        file.close();
        return zelcor({QStringLiteral("--script"), path});
    }

    QTemporaryDir dir;
};

QStringList lines(const QString& text) {
    return text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

const QByteArray kSession = "# The main window at start, then the parameter editor.\n"
                            "expect frmRs232SetCmd Zelcor V1.3\n"
                            "expect cmdPortOpen &Port Open\n"
                            "expect-enabled cmdPortOpen true\n"
                            "expect-enabled cmdPortClose false\n"
                            "expect-enabled cmdRead false\n"
                            "set cmbComSelect /dev/null\n"
                            "expect cmbComSelect /dev/null\n"
                            "set txtAddr0Read 1F\n"
                            "choose cmbDir CCW\n"
                            "print cmbDir\n"
                            "expect-visible frmRs232WRPara false\n"
                            "click cmdRs232WRPara\n"
                            "expect-visible frmRs232WRPara true\n"
                            "expect frmRs232WRPara 扳手參數\n"
                            "wait 20\n"
                            "expect txtAddr0Read 1F\n";

TEST_F(ScriptProcess, ASessionThatHoldsExitsZeroAndTellsWhatHappened) {
    const Finished run = play(kSession);
    ASSERT_TRUE(run.exited);
    EXPECT_EQ(run.code, 0) << run.out.toStdString() << run.err.toStdString();
    const QStringList out = lines(run.out);
    ASSERT_EQ(out.size(), 18) << run.out.toStdString();
    EXPECT_EQ(out[0], "line 2: expect frmRs232SetCmd Zelcor V1.3");
    EXPECT_EQ(out[10], "cmbDir = CCW");
    EXPECT_EQ(out.last(), "script passed (16 lines)");
}

TEST_F(ScriptProcess, OneChangedExpectExitsOneNamingTheLine) {
    QByteArray script = kSession;
    script.replace("expect-enabled cmdRead false", "expect-enabled cmdRead true");
    const Finished run = play(script);
    ASSERT_TRUE(run.exited);
    EXPECT_EQ(run.code, 1);
    const QStringList out = lines(run.out);
    ASSERT_GE(out.size(), 2);
    EXPECT_EQ(out[out.size() - 2], "line 6: failed: cmdRead enabled: expected true, seen false");
    EXPECT_EQ(out.last(), "script failed at line 6");
    EXPECT_FALSE(run.out.contains("line 7:")) << "the script went on after the failure";
}

TEST_F(ScriptProcess, AScriptOnStandardInput) {
    const Finished run = zelcor({QStringLiteral("--script"), QStringLiteral("-")},
                                "set txtSendByte A5\r\nexpect txtSendByte A5\r\n");
    ASSERT_TRUE(run.exited);
    EXPECT_EQ(run.code, 0) << run.out.toStdString() << run.err.toStdString();
    EXPECT_TRUE(run.out.endsWith("script passed (2 lines)\n"));
}

TEST_F(ScriptProcess, ScriptsThatCannotBeUnderstoodExitTwoBeforeAnythingRuns) {
    std::mt19937 random(99); // fixed: the same bytes every run
    QByteArray garbage;
    for (int i = 0; i < 4000; ++i) {
        garbage.append(static_cast<char>(random() % 256));
    }
    const std::vector<std::pair<QByteArray, QString>> cases{
        {"idle\nclik cmdEnd\n", "session.zs: line 2: unknown command \"clik\""},
        {"idle\n\nclick cmdNothing\n", "session.zs: line 3: no control named cmdNothing"},
        {"click txtState\n", "session.zs: line 1: txtState is not a button"},
        {"# a text\nset txtSendByte\n", "session.zs: line 2: set txtSendByte needs a text"},
        {QByteArray("idle\n\x7f"
                    "ELF\x02\x01\0\0\xff\xfe\n",
                    15),
         "session.zs: line 2: the line is not UTF-8 text"},
        {garbage, "session.zs: line "},
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

TEST_F(ScriptProcess, EndEndsTheScriptAsItEndsTheProgram) {
    const Finished last = play("click cmdRs232WRCal\nclick cmdEnd\n");
    ASSERT_TRUE(last.exited);
    EXPECT_EQ(last.code, 0) << last.out.toStdString();
    EXPECT_EQ(lines(last.out).last(),
              "script passed (2 lines); the program was ended by its last line");

    const Finished early = play("click cmdEnd\nexpect txtState IDLE0\n");
    ASSERT_TRUE(early.exited);
    EXPECT_EQ(early.code, 1) << early.out.toStdString();
    EXPECT_EQ(lines(early.out).last(), "script ended at line 1: the program was ended, line 2 "
                                       "and after never ran");
}

} // namespace
