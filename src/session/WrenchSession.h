// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Clock.h"
#include "platform/MessageBoxes.h"
#include "serial/CommandProtocol.h"
#include "serial/WrenchLink.h"
#include "session/JobRecorder.h"
#include "session/JobResult.h"
#include "session/ParameterMemory.h"
#include "session/TesterLink.h"
#include "wrench/BackupFile.h"
#include "wrench/NewParaCheck.h"
#include "wrench/ParaRecord.h"
#include "wrench/ServiceRecord.h"
#include "wrench/TorqueCalc.h"
#include "wrench/TorqueLog.h"
#include "wrench/Verification.h"

#include <QObject>

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace zelcor {

class ExchangeLog;
class SerialPort;
struct SerialSettings;

// The jobs that go over the cells of the parameter memory.
enum class CellJob { Read, Write, WriteAllFF };

// Where a cell job is: the cell it is at (every cell from 07H on is passed, the unselected
// ones too), and how many of the cells it acts on it has begun, out of how many.
struct CellProgress {
    CellJob job;
    int address;
    bool selected;
    int index; // 1-based among the cells it acts on; 0 for a cell it passes over
    int count;
};

// What a restore did with one cell of the backup.
enum class CellRestore {
    Unchanged, // the wrench held the backup's byte already
    Written,   // written, and read back as the backup's byte
    Refused,   // an identity cell, never written
    Failed,    // its write or read-back failed, or it read back another byte
};

// One cell a restore has acted on. `write` is how its write ended; `readBack` what its
// read-back answered (none when the write failed or the read-back got no answer), and
// `read` how that read-back ended.
struct RestoredCell {
    int address = -1;
    std::uint8_t before = 0; // what the wrench held before
    std::uint8_t after = 0;  // the backup's byte
    CellRestore outcome = CellRestore::Unchanged;
    JobResult write;
    JobResult read;
    std::optional<std::uint8_t> readBack;
};

// How a restore went: `end` how the job ended (failed reading the wrench, refused as another
// wrench's backup, stopped or failed at the cell `end.address`), the wrench's memory before,
// and the cells to be written in their order (those that differ, never an identity cell),
// each with its outcome as far as the restore came.
struct RestoreResult {
    JobResult end;
    bool readDone = false; // the wrench's cells were all read, so `before` holds them
    std::map<int, std::uint8_t> before;
    bool otherWrench = false; // the backup names another wrench than the one read
    std::vector<RestoredCell> changes;
    // How many cells held the backup's byte already, identity cells not counted.
    std::size_t unchanged = 0;
    // Every cell 07H to 2DH the restore has come to, with what became of it: all refused
    // when the backup was refused; none when the wrench could not be read.
    std::map<int, CellRestore> outcomes;
};

// A restore's callers: `afterRead` is told what was read, and whether the backup is another
// wrench's, before anything is written; `beforeCell` is told each cell to be written (1-based of
// `count`) before anything of it is sent, `afterCell` what became of it; `stop`, asked before each
// cell, ends the restore there.
struct RestoreHooks {
    std::function<void(const RestoreResult& read)> afterRead;
    std::function<void(int index, int count, int address)> beforeCell;
    std::function<void(const RestoredCell& cell)> afterCell;
    std::function<bool()> stop;
};

// The jobs of the main window's parameter set, and the steps of each that it shows.
enum class ParameterJob { Get, Write, MaxTorque, ClearEr0 };
enum class ParameterStage { Reading, ReadDone, Writing, Finished };

// Where a verification run is: clearing the wrench's maximum, waiting for the pull, reading the
// maximum (and waiting for the reference, if it has not come with the pull), or ended.
enum class VerifyPhase { Idle, Clearing, Pulling, Reading, Ended };

// A verification run as the session holds it.
struct VerificationState {
    VerificationRun run;          // settings, readings so far, stopped, verdict, dueDate
    std::optional<PullStep> step; // the pull asked for now
    std::string prompt;           // PromptText(step), or what is awaited now
    VerifyPhase phase = VerifyPhase::Idle;
    bool awaitingReference = false; // the maximum is read; the reference has not come yet
    int pull = 0;                   // pulls asked for so far; one asked for again counts anew
    bool askedAgain = false;        // this pull is asked for again: no reading came in time
    bool linkFailed = false;        // the run ended because the wrench or the tester was lost
};

// The values the torque computation reads, by name: the live raw value and status (from
// entering calibration mode), the constants' bytes and the stored status (from reading the
// constants), or what the technician typed into their boxes.
enum class CalField {
    AdL,
    AdH,
    Status,
    CwiL,
    CwiH,
    CcwiL,
    CcwiH,
    CwgL,
    CwgH,
    CcwgL,
    CcwgH,
    StatusEp
};
TorqueValue TorqueInputs::*CalFieldMember(CalField field);

// The divisor of a torque shown with `digits` digits after the point: 1, 10, 100, 1000;
// nothing for any other number of digits.
std::optional<std::int16_t> DivisorForDigits(int digits);

// The connected wrench: the one link to it and everything known about it, and the jobs a
// technician runs on it. The windows show what it holds and turn typing into it; the jobs
// report their boxes through the session's message boxes, their progress and changes through
// the signals below, and return how they ended.
//
// One job at a time: every job holds the link from its first exchange to its end. Another
// job asked for meanwhile (by a timer, a click or a signal handled while the holder waits
// for a reply, a pause or a box) is refused with the "Link Busy" box and sends nothing; a
// job the holder itself runs (Reading On runs Get, a command of zelcor-cli its steps) is
// part of it.
class WrenchSession : public QObject {
    Q_OBJECT
public:
    WrenchSession(Clock& clock, SerialPort& port, MessageBoxes& boxes,
                  std::function<std::string()> nextRequestCode);
    ~WrenchSession() override;

    // The boxes of the session; a box shown through them during a job is one of its waits.
    MessageBoxes& boxes() { return m_boxes; }
    Clock& clock() const { return m_clock.inner; }

    // ---- the port ----------------------------------------------------------------------------
    // Opens the wrench's port (closing the one open before); false with the reason in `error`.
    bool open(const std::string& portName, const SerialSettings& settings, std::string& error);
    void close();
    bool isOpen() const { return m_link.isOpen(); }
    // The port's name as it was last opened.
    const std::string& portName() const { return m_link.portName(); }
    // Every byte sent and received from now on goes to `log`, which outlives the session.
    void setExchangeLog(ExchangeLog* log) { m_link.setExchangeLog(log); }
    // True while a job holds the link.
    bool busy() const { return m_link.busy(); }
    // The boxes of an exchange that ended with `result`: nothing for success or for a refusal
    // as busy, else the "Communication Error" box and the help box.
    void showCommResult(CommResult result) { m_link.ShowCommResult(result); }
    // "Reset 232": the receive engine back to idle.
    void resetReceive() { m_link.resetReceive(); }
    void clearEchoes() { m_link.clearEchoes(); }
    // The reply length the receive engine expects, as the console sets it by hand.
    void setReplyLength(std::int16_t length) { m_link.setReplyLength(length); }

    // ---- jobs ----------------------------------------------------------------------------------
    // A job in progress: it holds the link and keeps its record from its beginning to its end,
    // on every path. Refused (false) when another job holds the link: the "Link Busy" box has
    // been shown and nothing may be sent.
    class Job {
    public:
        ~Job();
        Job(const Job&) = delete;
        Job& operator=(const Job&) = delete;
        explicit operator bool() const { return m_held; }
        // Ends the job with its result (a job that goes out of scope ends as done) and
        // returns it.
        JobResult end(JobResult result);

    private:
        friend class WrenchSession;
        Job(WrenchSession& session, std::string name, bool recorded);
        WrenchSession& m_session;
        std::optional<WrenchLink::Hold> m_hold;
        bool m_held = false;
        bool m_named = false;
        bool m_ended = false;
    };
    // Begins the job `name`. A job that is not `recorded` (Read All, a console read) names
    // itself in the exchange log all the same.
    [[nodiscard]] Job job(std::string name, bool recorded = true) {
        return Job(*this, std::move(name), recorded);
    }
    // Holds the link while the technician decides whether a job runs (a box before it):
    // nothing is recorded or logged for it; the first job begun inside it is the outermost.
    [[nodiscard]] Job hold() { return Job(*this, {}, false); }

    // ---- what is known ---------------------------------------------------------------------
    ParameterMemory& memory() { return m_memory; }
    const ParameterMemory& memory() const { return m_memory; }
    // The direction and the digits after the point the technician has chosen.
    DigitsAndDirection setting() const { return m_setting; }
    void setDirection(bool ccw);
    // 0 to 3; any other value leaves the digits as they are.
    void setDigits(int digits);
    // The set the last Get read; its message is the parameter request.
    const ParaRecord& currentSet() const { return m_currentSet; }
    // The maximum torque the last Read Max Torque read, in counts, and as shown.
    std::int32_t maxTorqueRaw() const { return m_maxTorqueRaw; }
    std::string maxTorqueText() const;
    const TorqueInputs& calibration() const { return m_calibration; }
    // A value the technician typed (BoxValue of the box's text).
    void setCalibrationValue(CalField field, TorqueValue value);
    // The divisor of the live torque (10, 100, 1000 for 1 to 3 digits after the point): the
    // calibration window's own choice, or the digits of the set Reading On read. It is not
    // the parameter set's digits above, which choose the set's request and its checks.
    std::int16_t divisor() const { return m_divisor; }
    void setDivisor(std::int16_t divisor) { m_divisor = divisor; }
    // Every torque computed (an overflow has none) since the start or the last clear, for the
    // plot and its CSV file.
    const std::vector<TorqueSample>& torqueHistory() const { return m_torqueHistory; }
    void clearTorqueHistory() { m_torqueHistory.clear(); }
    // The pause of the test run, as typed: a whole number of ms from 1 to 32767 or refused.
    void setTestPause(std::string text);
    bool testRunning() const { return m_testRunning; }

    // ---- the register console: single exchanges at any address, the memory untouched -----
    ReadReply readRegister(std::uint8_t addr1, std::uint8_t addr0);
    CommResult writeRegister(std::uint8_t addr1, std::uint8_t addr0, std::uint8_t data);
    bool sendByte(std::uint8_t byte);

    // ---- the parameter memory ----------------------------------------------------------------
    // Reads every selected cell from 07H on, in ascending order, one retry each.
    JobResult readCells();
    // Writes every selected cell from 07H on, in ascending order, one retry each. A cell that
    // holds no byte ends the job with a box naming it, before anything of it is sent.
    JobResult writeCells();
    // Writes FF to every address 07H to 2DH; the memory is not used or changed.
    JobResult writeAllFF();
    // Asks a running cell job to stop after its current cell.
    void stopCells() { m_stopCells = true; }
    // zelcor-cli's stop: from now on a cell exchange that fails is not tried again, and the
    // cell job ends there as stopped, so a stop asked for while a reply is awaited sends
    // nothing more. The windows' Stop is seen after the cell, its retry included.
    void stopBeforeRetries() { m_noRetries = true; }
    // The preset of a model (WT-07 for an unknown name) into 10H to 2AH, exactly those cells
    // selected; nothing is sent.
    void loadPreset(std::string_view model);
    // Cells 07H to 2DH to FF and selected; nothing is sent.
    void fillAllFF();

    // ---- backup and restore ------------------------------------------------------------------
    // Reads every cell 07H to 2DH (one retry each) into `backup`; its time and program are the
    // caller's. The backup is whole only when the job is done.
    JobResult readBackup(Backup& backup);
    // Reads the wrench, then writes each cell whose byte differs from the backup's and reads
    // it back, one after the other, ending at the first that fails. Identity cells are never
    // written. A backup of another wrench (its identity not the one read) is refused before
    // anything is written, unless `forceOtherWrench`.
    RestoreResult restoreBackup(const Backup& backup, bool forceOtherWrench,
                                const RestoreHooks& hooks = {});

    // ---- the parameter set ---------------------------------------------------------------------
    // Reads the identity, status and constants into the memory and makes the current set
    // with a new request code. Cells that could not be read go into it as "XX".
    JobResult getParameterSet();
    // The parameter request of the current set: the format tag, its code and the message.
    std::string parameterRequest() const;
    // Asked when a set that passed every check was issued for another wrench code than the
    // one the wrench holds: true writes it all the same.
    using OtherWrenchAnswer =
        std::function<bool(const std::string& setCode, const std::string& wrenchCode)>;
    // Checks a new parameter set against the wrench and, only when every check holds, writes
    // its status byte and constants. A set issued for another wrench code is written only
    // when `otherWrench` says so; without it the technician is asked in a box.
    JobResult writeParameterSet(std::string_view newParaText,
                                const OtherWrenchAnswer& otherWrench = {});
    // Reads the status byte and the maximum torque (23H, 24H); an unread byte counts as 0.
    JobResult readMaxTorque();
    // Clears the error flag (bit 7 of the status 10H) and the stored maximum torque; never
    // writes a status byte it could not read.
    JobResult clearEr0();

    // ---- calibration -----------------------------------------------------------------------
    // The stored status and the four constants' bytes, one read each; the first failed read
    // is reported and ends the job.
    JobResult readConstants();
    // Enters calibration mode and takes the live raw value and status it answers with.
    JobResult enterCalibration();
    JobResult leaveCalibration();
    // The wrench's serial-link mode: reset (00 00) and leave (00 01).
    JobResult resetLinkMode();
    JobResult leaveLinkMode();
    // The torque from the live value and the constants, with the current divisor; it tells
    // whether the live value was read in this cycle of a test run, and whether every
    // constant was read from the wrench by the last reading of them.
    TorqueResult computeTorque();
    // Reads, pauses, computes, again and again until stopped; returns when the run has
    // ended. Asked for while a run goes on, it keeps that run going and returns at once.
    JobResult runTest();
    // Asks a run to stop after its current cycle.
    void stopTest();
    // Reading On: Get first when `get` (the technician's answer to its warning; without it
    // the reading goes on with the last Get's digits), the constants, the divisor of the
    // current set's digits, then the test run until it is stopped or the port is lost.
    JobResult runLiveReading(bool get);
    bool liveReading() const { return m_liveReading; }

    // ---- verification --------------------------------------------------------------------------
    // A run against a reference tester, as one job: for each pull of the procedure, the
    // wrench's maximum cleared (23H and 24H written 00, nothing else), the pull asked for, its
    // end awaited (a tester reading, Next or a typed reference), then for a reading the maximum
    // read and paired with the reference. A reference that does not come within the settings'
    // time-out while a tester is open is asked for again, with the pull; without a tester the
    // technician types it, with no time limit. Refused (Link Busy box) while another job holds
    // the link, and with the settings' problem in a box for unsound settings; nothing is sent
    // then. Ends done with a verdict, stopped (no verdict), or failed when the wrench's
    // exchange failed or either port was lost.
    JobResult verify(const VerificationSettings& settings);
    const VerificationState& verification() const { return m_verification; }
    // The technician says the pull is over.
    void verificationNext();
    // A reference typed for the pull; a value that is no torque (0, negative) is ignored.
    void verificationReference(double newtonMetres, std::string text);
    // The last reading is discarded with `reason` and taken again; false when there is nothing
    // to repeat (no reason given, no reading taken since the last repeat, no run going on).
    bool verificationRepeatLast(std::string reason);
    // Ends the run at the next point where no exchange is under way; a reading not finished is
    // dropped.
    void verificationStop();
    // The reference tester on a port of its own (optional: without it the technician types).
    void setTesterPort(SerialPort* port) { m_tester.setPort(port); }
    bool openTester(const std::string& portName, const SerialSettings& settings,
                    std::string& error);
    void closeTester();
    bool testerOpen() const { return m_tester.isOpen(); }
    // Today's date as "YYYY-MM-DD" (UTC), the date a run's due date counts from; the system's
    // by default.
    void setToday(std::function<std::string()> today) { m_today = std::move(today); }

    // ---- service records --------------------------------------------------------------------
    // The jobs a technician runs are recorded each as one record, told through jobRecorded
    // when the job has ended.
    // What is known of the wrench's memory, 00 07H to 00 2DH, from the exchanges since the
    // port was opened: another wrench may be plugged in while it is closed, so what was
    // learnt before is forgotten when it closes or is lost.
    std::optional<std::uint8_t> knownByte(int address) const {
        return m_recorder.knownByte(address);
    }
    // The wrench code (2BH to 2DH) as read since the port was opened, and not overwritten
    // with other bytes since; empty when it is not known so.
    std::string wrenchCode() const { return m_recorder.readCode(cells::kWrenchCode); }

signals:
    // A job has ended; the record holds what the session knows of it.
    void jobRecorded(const zelcor::ServiceRecord& record);
    // A cell of the memory changed: its byte, text or selection.
    void memoryChanged(int address);
    void localEcho(const std::string& text);
    void remoteEcho(const std::string& text);
    void echoesCleared();
    void receiveState(const std::string& state);
    void portOpened();
    // The port was closed (by close(), or before another is opened).
    void portClosed();
    // The port was lost (unplugged adapter, far end gone); it is closed already.
    void portLost(const std::string& message);
    // A job began holding the link (true), or the last one let it go (false).
    void busyChanged(bool busy);

    void cellProgress(const zelcor::CellProgress& progress);
    // A cell job has ended, however it ended (the editor shows no message for Write All FF).
    void cellJobEnded(zelcor::CellJob job, const zelcor::JobResult& result);
    void parameterStage(zelcor::ParameterJob job, zelcor::ParameterStage stage);
    void currentSetChanged();
    void newSetAccepted(const zelcor::ParaRecord& set);
    void maxTorqueChanged();
    void calibrationChanged();
    // A value was read from the wrench (not when typed).
    void calibrationValueRead(zelcor::CalField field);
    void torqueComputed(const zelcor::TorqueResult& result, std::int64_t timeMs);
    void testRunningChanged(bool running);
    // The live reading is on, or has ended or is on its way out: a stop was asked for (by
    // the technician, or by the session itself when the port was lost).
    void liveReadingChanged(bool on);
    // Anything in verification() changed.
    void verificationChanged();
    // Every line the tester sent, a reading or not.
    void testerLine(QString line);
    // The tester's port went away; it is closed.
    void testerLost(const std::string& message);

private:
    // The clock and boxes the session waits through: while the job that holds the link waits
    // in one of them, events of others run, and a job they ask for is not part of it.
    struct WaitClock final : Clock {
        WaitClock(Clock& clock, int& waits) : inner(clock), waits(waits) {}
        std::unique_ptr<Timer> createTimer(std::function<void()> onTimeout) override {
            return inner.createTimer(std::move(onTimeout));
        }
        std::int64_t nowMs() const override { return inner.nowMs(); }
        void processPendingEvents() override;
        void waitUntil(const std::function<bool()>& condition) override;
        int waitDepth() const override { return inner.waitDepth(); }
        Clock& inner;
        int& waits;
    };
    struct WaitBoxes final : MessageBoxes {
        WaitBoxes(MessageBoxes& boxes, int& waits) : inner(boxes), waits(waits) {}
        BoxAnswer show(const QString& text, const QString& title, BoxIcon icon,
                       BoxButtons buttons) override;
        MessageBoxes& inner;
        int& waits;
    };

    ServiceRecord* record() { return m_recorder.record(); }
    // The direction and digits the job runs with.
    void recordSetting();
    // The test run's cycles until a stop is asked for; a stop asked for before it begins
    // ends it before its first cycle.
    JobResult runTestCycles();
    void endLiveReading();
    // How a run that ends when it is stopped has ended: failed when the port has gone.
    JobResult lostPortEnd() const;
    // A job of one exchange.
    JobResult recordedExchange(const char* job, const std::function<JobResult()>& body);
    void beginJob(const std::string& name, bool recorded);
    void endJob(const JobResult& result, bool named);

    ReadReply readWithRetry(std::uint8_t address);
    CommResult writeWithRetry(std::uint8_t address, std::uint8_t data);
    void showReceiveError();
    // How a cell job ends on a cell whose exchange failed, with its box (the help box after it
    // is the caller's): failed, or stopped there when stopBeforeRetries was asked for.
    JobResult cellFailed(int address, CommResult result);
    bool stopRequested();
    // One cell of Write: the byte with its retry, reported when it fails; then the stop.
    JobResult writeParameter(std::uint8_t address, std::uint8_t data);
    static JobResult refusedAsBusy() { return {JobEnd::Refused, CommResult::Busy, -1, {}}; }
    // Clears the memory, selects the cells and reads them.
    JobResult readSelected(std::span<const int> cells);
    JobResult readMaxTorqueCells();
    // A refusal in the "Error!!!" box, in the windows' language.
    void reportError(const QString& text);
    // A message for the record, in the system's own words: `pattern` with %1, %2, ... replaced
    // by `args` in one pass, as QString::arg would (the box shows tr(pattern) instead).
    static std::string recordText(std::string_view pattern,
                                  std::initializer_list<std::string_view> args);
    JobResult readCommand(std::uint8_t addr0);
    void yieldToEvents();
    void storeRead(CalField field, std::uint8_t value);
    // Verification: a line from the tester; the maximum cleared or read (each failure shown
    // and ending the run); a wait for the pull or the reference, true when it timed out.
    void takeTesterLine(const std::string& line);
    JobResult clearMaximum();
    JobResult readMaximum(double& reading);
    bool verificationWait(const std::function<bool()>& done, int timeoutMs);
    bool verificationCut() const;
    void setVerifyPhase(VerifyPhase phase, std::string prompt);

    // Waits and boxes now running inside the session's own (see WaitClock).
    int m_waits = 0;
    // m_waits when the job holding the link began; -1 while none holds it.
    int m_holderWaits = -1;
    int m_jobDepth = 0;
    WaitClock m_clock;
    WaitBoxes m_boxes;
    WrenchLink m_link;
    JobRecorder m_recorder;
    std::function<std::string()> m_nextRequestCode;
    ParameterMemory m_memory;
    DigitsAndDirection m_setting;
    ParaRecord m_currentSet;
    std::int32_t m_maxTorqueRaw = 0;
    TorqueInputs m_calibration;
    std::int16_t m_divisor = 10;
    std::vector<TorqueSample> m_torqueHistory;
    std::string m_pauseText = "300";
    std::optional<std::int16_t> m_pause{300};
    bool m_stopCells = false;
    bool m_noRetries = false;
    bool m_stopTest = false;
    bool m_testRunning = false;
    bool m_liveReading = false;
    // The test run's cycle read its live value; the last reading of the constants read all.
    bool m_liveReadThisCycle = false;
    bool m_constantsRead = false;
    // The model whose preset fills the memory, until a cell is changed otherwise.
    std::string m_presetModel;
    bool m_loadingPreset = false;
    // Verification.
    TesterLink m_tester;
    VerificationState m_verification;
    std::function<std::string()> m_today;
    bool m_verifying = false;
    bool m_pullOver = false;
    std::optional<std::pair<double, std::string>> m_reference;
    bool m_verifyStop = false;
    bool m_verifyRepeat = false;
    bool m_testerLost = false;
    std::size_t m_repeatStep = 0;
    // The procedure step each reading of the run was taken at.
    std::vector<std::size_t> m_readingSteps;
};

} // namespace zelcor
