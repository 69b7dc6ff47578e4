// SPDX-License-Identifier: GPL-3.0-or-later
#include "wrench/Verification.h"

#include <QCoreApplication>
#include <QDate>
#include <QString>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <numeric>

namespace zelcor {

namespace {

QString Tr(const char* text) {
    return QCoreApplication::translate("zelcor::Verification", text);
}

std::string Lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

} // namespace

std::string DirectionWord(VerifyDirection direction) {
    switch (direction) {
    case VerifyDirection::Cw:
        return "CW";
    case VerifyDirection::Ccw:
        return "CCW";
    case VerifyDirection::Both:
        return "both";
    }
    return {};
}

std::optional<VerifyDirection> ParseVerifyDirection(std::string_view text) {
    const std::string word = Lower(text);
    if (word == "cw") {
        return VerifyDirection::Cw;
    }
    if (word == "ccw") {
        return VerifyDirection::Ccw;
    }
    if (word == "both") {
        return VerifyDirection::Both;
    }
    return std::nullopt;
}

std::string StateWord(bool asLeft) {
    return asLeft ? "as left" : "as found";
}

std::string SettingsProblem(const VerificationSettings& s) {
    const char* problem = nullptr;
    if (!(s.digits >= 0 && s.digits <= 3)) {
        problem =
            QT_TRANSLATE_NOOP("zelcor::Verification", "The digits after the point must be 0 to 3.");
    } else if (!(s.maximum > 0)) {
        problem = QT_TRANSLATE_NOOP("zelcor::Verification", "The maximum must be above 0 N·m.");
    } else if (!(s.maximum * std::pow(10.0, s.digits) <= 65535.0)) {
        problem = QT_TRANSLATE_NOOP("zelcor::Verification",
                                    "The wrench cannot show a maximum this large with these "
                                    "digits after the point (65535 counts at most).");
    } else if (s.pointsPercent.empty() ||
               std::any_of(s.pointsPercent.begin(), s.pointsPercent.end(),
                           [](double p) { return !(p > 0 && p <= 100); }) ||
               std::adjacent_find(s.pointsPercent.begin(), s.pointsPercent.end(),
                                  [](double a, double b) { return !(a < b); }) !=
                   s.pointsPercent.end()) {
        problem = QT_TRANSLATE_NOOP("zelcor::Verification",
                                    "The points must rise, each above 0 % and at most 100 % of "
                                    "the maximum.");
    } else if (s.readingsPerPoint < 1 || s.readingsPerPoint > 50) {
        problem =
            QT_TRANSLATE_NOOP("zelcor::Verification", "The readings per point must be 1 to 50.");
    } else if (s.preloads < 0 || s.preloads > 10) {
        problem = QT_TRANSLATE_NOOP("zelcor::Verification", "The pre-loads must be 0 to 10.");
    } else if (!(s.tolerancePercent > 0 && s.tolerancePercent <= 50)) {
        problem = QT_TRANSLATE_NOOP("zelcor::Verification",
                                    "The permissible deviation must be above 0 % and at most "
                                    "50 %.");
    } else if (QString::fromStdString(s.technician).trimmed().isEmpty()) {
        problem = QT_TRANSLATE_NOOP("zelcor::Verification", "Name the technician.");
    } else if (!s.testerDue.empty() &&
               !QDate::fromString(QString::fromStdString(s.testerDue), Qt::ISODate).isValid()) {
        problem = QT_TRANSLATE_NOOP("zelcor::Verification",
                                    "The tester's due date must be a date, YYYY-MM-DD.");
    } else if (s.referenceTimeoutS < 1 || s.referenceTimeoutS > 3600) {
        problem = QT_TRANSLATE_NOOP("zelcor::Verification",
                                    "The time for a tester reading must be 1 to 3600 s.");
    } else if (s.intervalMonths < 1 || s.intervalMonths > 120) {
        problem =
            QT_TRANSLATE_NOOP("zelcor::Verification", "The interval must be 1 to 120 months.");
    }
    return problem != nullptr ? Tr(problem).toStdString() : std::string{};
}

std::vector<PullStep> ProcedureSteps(const VerificationSettings& s) {
    std::vector<std::string> directions;
    if (s.direction != VerifyDirection::Ccw) {
        directions.emplace_back("CW");
    }
    if (s.direction != VerifyDirection::Cw) {
        directions.emplace_back("CCW");
    }
    std::vector<PullStep> steps;
    const int lastPoint = static_cast<int>(s.pointsPercent.size()) - 1;
    for (const std::string& direction : directions) {
        for (int i = 1; i <= s.preloads; ++i) {
            steps.push_back(
                {PullStep::Kind::Preload, direction, lastPoint, i, s.preloads, s.maximum});
        }
        for (int p = 0; p <= lastPoint; ++p) {
            const double target = s.maximum * s.pointsPercent[static_cast<std::size_t>(p)] / 100;
            for (int i = 1; i <= s.readingsPerPoint; ++i) {
                steps.push_back(
                    {PullStep::Kind::Reading, direction, p, i, s.readingsPerPoint, target});
            }
        }
    }
    return steps;
}

std::string PromptText(const PullStep& step, const VerificationSettings& s) {
    const bool named = s.direction == VerifyDirection::Both && step.direction == "CCW";
    const char* text = nullptr;
    if (step.kind == PullStep::Kind::Preload) {
        text =
            named ? QT_TRANSLATE_NOOP("zelcor::Verification",
                                      "Pull CCW to %1 N·m (pre-load %2 of %3)")
                  : QT_TRANSLATE_NOOP("zelcor::Verification", "Pull to %1 N·m (pre-load %2 of %3)");
    } else {
        text =
            named
                ? QT_TRANSLATE_NOOP("zelcor::Verification", "Pull CCW to %1 N·m (reading %2 of %3)")
                : QT_TRANSLATE_NOOP("zelcor::Verification", "Pull to %1 N·m (reading %2 of %3)");
    }
    return Tr(text)
        .arg(QString::fromStdString(TorqueWithDigits(step.target, s.digits)))
        .arg(step.index)
        .arg(step.count)
        .toStdString();
}

std::string TorqueWithDigits(double torque, int digits) {
    return QString::number(torque, 'f', std::clamp(digits, 0, 3)).toStdString();
}

double WrenchReading(std::uint8_t low, std::uint8_t high, int digits) {
    return (256.0 * high + low) / std::pow(10.0, std::clamp(digits, 0, 3));
}

double Deviation(double wrench, double reference) {
    return (wrench - reference) / reference * 100.0;
}

std::string DeviationText(double deviation) {
    // Two decimals, with "+" before a positive deviation and no "-0.00".
    const double rounded = std::round(deviation * 100.0) / 100.0;
    const QString number = QString::number(rounded == 0 ? 0.0 : rounded, 'f', 2);
    return ((rounded > 0 ? QStringLiteral("+") : QString()) + number + QStringLiteral(" %"))
        .toStdString();
}

bool WithinTolerance(double deviation, double tolerancePercent) {
    return std::abs(deviation) <= tolerancePercent + 1e-9;
}

std::string VerdictWord(Verdict verdict) {
    switch (verdict) {
    case Verdict::Passed:
        return "passed";
    case Verdict::Failed:
        return "failed";
    case Verdict::None:
        return "none";
    }
    return {};
}

std::optional<Verdict> ParseVerdict(std::string_view text) {
    for (const Verdict v : {Verdict::None, Verdict::Passed, Verdict::Failed}) {
        if (VerdictWord(v) == text) {
            return v;
        }
    }
    return std::nullopt;
}

std::vector<PointSummary> Summaries(const VerificationRun& run) {
    const VerificationSettings& s = run.settings;
    std::vector<PointSummary> out;
    for (const PullStep& step : ProcedureSteps(s)) {
        if (step.kind != PullStep::Kind::Reading || step.index != 1) {
            continue;
        }
        PointSummary sum;
        sum.direction = step.direction;
        sum.point = step.point;
        sum.target = step.target;
        std::vector<double> wrench;
        bool allWithin = true;
        for (const VerificationReading& r : run.readings) {
            if (r.discarded || r.direction != step.direction || r.point != step.point) {
                continue;
            }
            wrench.push_back(r.wrench);
            sum.meanReference += r.reference;
            const double d = Deviation(r.wrench, r.reference);
            allWithin = allWithin && WithinTolerance(d, s.tolerancePercent);
            if (std::abs(d) > std::abs(sum.largestDeviation)) {
                sum.largestDeviation = d;
            }
        }
        sum.count = static_cast<int>(wrench.size());
        if (sum.count > 0) {
            sum.meanWrench = std::accumulate(wrench.begin(), wrench.end(), 0.0) / sum.count;
            sum.meanReference /= sum.count;
        }
        if (sum.count > 1) {
            double squares = 0;
            for (const double w : wrench) {
                squares += (w - sum.meanWrench) * (w - sum.meanWrench);
            }
            sum.spread = std::sqrt(squares / (sum.count - 1));
        }
        sum.spreadPercent = sum.target > 0 ? sum.spread / sum.target * 100.0 : 0.0;
        sum.complete = sum.count >= s.readingsPerPoint;
        sum.passed = sum.complete && allWithin;
        out.push_back(sum);
    }
    return out;
}

Verdict RunVerdict(const VerificationRun& run) {
    if (run.stopped) {
        return Verdict::None;
    }
    const std::vector<PointSummary> points = Summaries(run);
    if (points.empty() || std::any_of(points.begin(), points.end(),
                                      [](const PointSummary& p) { return !p.complete; })) {
        return Verdict::None;
    }
    return std::all_of(points.begin(), points.end(), [](const PointSummary& p) { return p.passed; })
               ? Verdict::Passed
               : Verdict::Failed;
}

std::string NextDueDate(const std::string& date, Verdict verdict, int intervalMonths) {
    const QDate day = QDate::fromString(QString::fromStdString(date), Qt::ISODate);
    if (verdict != Verdict::Passed || !day.isValid()) {
        return {};
    }
    return day.addMonths(intervalMonths).toString(Qt::ISODate).toStdString();
}

std::string CertificateNumber(const std::string& recordId, const std::string& date) {
    std::string hex;
    for (const char c : recordId) {
        if (std::isxdigit(static_cast<unsigned char>(c)) != 0 && hex.size() < 12) {
            hex.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
        }
    }
    std::string day;
    for (const char c : date) {
        if (IsDigit(c)) {
            day.push_back(c);
        }
    }
    return "ZV-" + day + "-" + hex;
}

std::optional<double> TorqueUnitFactor(std::string_view unit) {
    // "·" is U+00B7, two bytes in UTF-8; Latin-1 testers send it as one.
    std::string plain;
    for (std::size_t k = 0; k < unit.size(); ++k) {
        const auto c = static_cast<unsigned char>(unit[k]);
        if (c == 0xC2 && k + 1 < unit.size() && static_cast<unsigned char>(unit[k + 1]) == 0xB7) {
            continue; // the first byte of a UTF-8 "·"; its second becomes the point below
        }
        plain.push_back(c == 0xB7 ? '.' : static_cast<char>(std::tolower(c)));
    }
    struct Unit {
        const char* words[3];
        double factor;
    };
    static constexpr std::array<Unit, 8> kUnits{{
        {{"n.m", "nm", nullptr}, 1.0},
        {{"cn.m", "cnm", nullptr}, 0.01},
        {{"kgf.cm", "kgfcm", nullptr}, 0.0980665},
        {{"kgf.m", "kgfm", nullptr}, 9.80665},
        {{"lbf.in", "lbfin", nullptr}, 0.1129848290},
        {{"in.lb", "inlb", nullptr}, 0.1129848290},
        {{"lbf.ft", "lbfft", nullptr}, 1.3558179483},
        {{"ft.lb", "ftlb", nullptr}, 1.3558179483},
    }};
    for (const Unit& candidate : kUnits) {
        for (const char* word : candidate.words) {
            if (word != nullptr && plain == word) {
                return candidate.factor;
            }
        }
    }
    return std::nullopt;
}

std::optional<TesterReading> ParseTesterLine(std::string_view line) {
    // The first number that stands on its own: not part of a word such as "T1".
    std::size_t i = 0;
    std::size_t start = std::string_view::npos;
    for (; i < line.size(); ++i) {
        const char c = line[i];
        const bool begins = IsDigit(c) || (c == '.' && i + 1 < line.size() && IsDigit(line[i + 1]));
        const char before = i > 0 ? line[i - 1] : ' ';
        const bool glued = std::isalnum(static_cast<unsigned char>(before)) != 0 ||
                           (before == '.' && i > 1 && IsDigit(line[i - 2]));
        if (begins && !glued) {
            start = i;
            break;
        }
    }
    if (start == std::string_view::npos) {
        return std::nullopt;
    }
    std::size_t end = start;
    bool point = false;
    while (end < line.size() && (IsDigit(line[end]) || (line[end] == '.' && !point))) {
        point = point || line[end] == '.';
        ++end;
    }
    // At most 12 significant characters: a tester's peak, not a serial number.
    const std::string number(line.substr(start, end - start));
    if (number.size() > 12) {
        return std::nullopt;
    }
    const double value = std::strtod(number.c_str(), nullptr);

    std::size_t u = end;
    while (u < line.size() && (line[u] == ' ' || line[u] == '\t')) {
        ++u;
    }
    std::size_t uEnd = u;
    while (uEnd < line.size() && !IsBlank(line[uEnd])) {
        ++uEnd;
    }
    const std::string unit(line.substr(u, uEnd - u));
    const std::optional<double> factor = unit.empty() ? 1.0 : TorqueUnitFactor(unit);
    if (!factor || !(value > 0) || !std::isfinite(value)) {
        return std::nullopt;
    }
    return TesterReading{value * *factor, unit};
}

} // namespace zelcor
