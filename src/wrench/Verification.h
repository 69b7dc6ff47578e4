// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A verification run: the wrench pulled against a reference torque tester at set points of its
// range, each reading of the wrench (the maximum it kept for the pull) compared with the
// tester's. The practice for hand torque tools: pre-load three times to the maximum, then, in
// rising order, 20 %, 60 % and 100 % of the maximum, five readings at each (ten for a
// calibration), each within +-4 % of the reference. A verification checks; it never adjusts.
//
// This file holds the run's plain facts and sums, shared by the session's job, the records,
// the certificate, the windows, the command line and the simulated wrench.
namespace zelcor {

enum class VerifyDirection { Cw, Ccw, Both };
// "CW", "CCW", "both"; and back (case ignored), none for any other text.
std::string DirectionWord(VerifyDirection direction);
std::optional<VerifyDirection> ParseVerifyDirection(std::string_view text);

// How a run is set up. Each run keeps its own settings in its record: none of them is a
// setting of the program.
struct VerificationSettings {
    double maximum = 0;                             // the wrench's maximum torque, N·m
    std::vector<double> pointsPercent{20, 60, 100}; // of the maximum, rising
    int readingsPerPoint = 5;
    double tolerancePercent = 4; // the permissible deviation, +- % of the reference
    int preloads = 3;            // pulls to the maximum before the readings
    VerifyDirection direction = VerifyDirection::Cw;
    bool asLeft = false; // "as left" (after an adjustment); "as found" when false
    int digits = 1;      // digits after the point of the wrench's reading (0 to 3)
    std::string technician;
    std::string tester;         // the reference tester's identity
    std::string testerDue;      // its own due date, "YYYY-MM-DD", or empty
    std::string remark;         // temperature, for example
    int intervalMonths = 12;    // a passed run's next due date: its date plus this
    int referenceTimeoutS = 30; // a tester reading not come by then is asked for again
};

// Settings a run cannot start with, in plain words ("The maximum must be above 0 N·m."); empty
// when they are sound. Points must rise, lie above 0 and at most 100 %; 1 to 50 readings per
// point, 0 to 10 pre-loads, a permissible deviation above 0 and at most 50 %, digits 0 to 3, a
// maximum the wrench's two maximum cells can hold with those digits (65535 counts), a
// technician named, a time-out of 1 to 3600 s, an interval of 1 to 120 months.
std::string SettingsProblem(const VerificationSettings& settings);

// "as found" / "as left".
std::string StateWord(bool asLeft);

// One pull the technician is asked for.
struct PullStep {
    enum class Kind { Preload, Reading } kind = Kind::Reading;
    std::string direction; // "CW" or "CCW"
    int point = 0;         // index into pointsPercent; the pre-loads: the last point's index
    int index = 1;         // 1-based within its point (or among the pre-loads)
    int count = 1;         // readings per point (or pre-loads)
    double target = 0;     // N·m
};
// Every pull of a run in order: for each direction (CW before CCW for "both"), its pre-loads
// at 100 % of the maximum, then each point's readings.
std::vector<PullStep> ProcedureSteps(const VerificationSettings& settings);
// The prompt for a step: "Pull to 60.0 N·m (reading 2 of 5)", "Pull to 100.0 N·m (pre-load 1
// of 3)", the target with the run's digits; " CCW" follows "Pull" in a run of both directions
// on its counter-clockwise half ("Pull CCW to ...").
std::string PromptText(const PullStep& step, const VerificationSettings& settings);

// A torque as the run shows it: `digits` digits after the point ("60.0").
std::string TorqueWithDigits(double torque, int digits);
// The wrench's reading from its two maximum cells (23H low, 24H high) with `digits` digits
// after the point: 256 * high + low counts, divided by 10^digits.
double WrenchReading(std::uint8_t low, std::uint8_t high, int digits);

// One reading: the wrench's maximum and the reference for one pull.
struct VerificationReading {
    std::string direction;     // "CW" or "CCW"
    int point = 0;             // index into pointsPercent
    int index = 1;             // 1-based within the point
    double target = 0;         // N·m
    double wrench = 0;         // N·m, with the run's digits
    double reference = 0;      // N·m, as the tester gave it (converted) or the technician typed it
    std::string referenceText; // the tester's line, or the typed text
    // A reading the technician repeated: kept, with the reason, and left out of the sums.
    bool discarded = false;
    std::string discardReason;
};

// (wrench - reference) / reference * 100.
double Deviation(double wrench, double reference);
// The deviation as shown: sign and two decimals, "+3.00 %", "-0.52 %".
std::string DeviationText(double deviation);
// Within the permissible deviation: |deviation| <= tolerance (a difference left by binary
// arithmetic, under 1e-9 %, does not fail a reading that is exactly at the limit).
bool WithinTolerance(double deviation, double tolerancePercent);

// One point of one direction, from its readings that were not discarded.
struct PointSummary {
    std::string direction;
    int point = 0;
    double target = 0;
    int count = 0; // readings taken
    double meanWrench = 0;
    double meanReference = 0;
    double largestDeviation = 0; // the deviation with the largest size, with its sign
    double spread = 0;           // sample standard deviation of the wrench values (0 for one)
    double spreadPercent = 0;    // the spread as % of the target
    bool complete = false;       // every reading of the point was taken
    bool passed = false;         // complete, and every reading within the tolerance
};

enum class Verdict { None, Passed, Failed };
// "passed", "failed", "none" (a stopped run, or one that could not finish).
std::string VerdictWord(Verdict verdict);
std::optional<Verdict> ParseVerdict(std::string_view text);

// A run as its record keeps it: the settings, every reading in the order taken, how it ended.
struct VerificationRun {
    VerificationSettings settings;
    std::vector<VerificationReading> readings;
    bool stopped = false; // stopped by the technician, or ended by a failure of the link
    Verdict verdict = Verdict::None;
    std::string dueDate; // "YYYY-MM-DD" for a passed run, else empty
};

// The points of a run in the order of its procedure, each summed from its readings.
std::vector<PointSummary> Summaries(const VerificationRun& run);
// The verdict of a run: none when it was stopped or a point is incomplete; failed when a
// point failed; else passed.
Verdict RunVerdict(const VerificationRun& run);
// The next due date of a run that passed on `date` ("YYYY-MM-DD"): the date plus the
// interval's months (the 31st becomes the last day of a shorter month); empty for another
// verdict or a date that cannot be read.
std::string NextDueDate(const std::string& date, Verdict verdict, int intervalMonths);
// The certificate number of the run kept as the record `recordId` on `date`
// ("YYYY-MM-DD"): "ZV-20261207-" and the first twelve hexadecimal digits of the record's id,
// upper case. The record's id is unique, so is the number.
std::string CertificateNumber(const std::string& recordId, const std::string& date);

// ---- the reference tester ----------------------------------------------------------------------
// One line a tester sent at the end of a pull, read: the first signed decimal number on the
// line and the unit word right after it (blanks between allowed), converted to N·m. Units:
// N·m, N.m, Nm (1); cN·m, cN.m, cNm (0.01); kgf·cm, kgf.cm, kgfcm (0.0980665); kgf·m,
// kgf.m, kgfm (9.80665); lbf·in, lbf.in, lbfin, in·lb, in.lb, inlb (0.1129848290); lbf·ft,
// lbf.ft, lbfft, ft·lb, ft.lb, ftlb (1.3558179483); case ignored; none given: N·m. A sign
// tells the direction of the pull, so the value is the number's size. None for a line with no
// number, a number glued to a word ("T1"), a peak of 0, or a unit word that is not one of
// these (never a guess).
// How many N·m one of `unit` is, for the unit words above (case ignored, "·" or "." alike);
// none for any other word.
std::optional<double> TorqueUnitFactor(std::string_view unit);
struct TesterReading {
    double newtonMetres = 0;
    std::string unit; // the unit as the line gave it, empty when it gave none
};
std::optional<TesterReading> ParseTesterLine(std::string_view line);

} // namespace zelcor
