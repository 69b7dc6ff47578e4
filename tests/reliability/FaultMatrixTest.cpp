// SPDX-License-Identifier: GPL-3.0-or-later
// Every operation that talks to the wrench against every fault the line can have, in virtual
// time on the simulated wrench. For each pair it checks what a technician relies on: the
// boxes they are shown, that no byte reaches the wrench that the operation did not mean to
// write, that the controls come back as they were, and that the next exchange works.
//
// The boxes of every pair are kept in docs/fault-matrix.md; the test compares against it.
// After a deliberate change, ZELCOR_UPDATE_FAULT_MATRIX=1 rewrites the file: review its diff.
#include "support/IssuedSet.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/VirtualClock.h"

#include "app/frmRs232SetCmd.h"
#include "editor/frmRs232WRPara.h"
#include "script/ControlLookup.h"
#include "session/ParameterMemory.h"
#include "session/WrenchSession.h"
#include "sim/SimulatedPort.h"
#include "sim/SimulatedWrench.h"
#include "wrench/RequestCode.h"

#include <QAbstractButton>
#include <QCheckBox>

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <optional>
#include <set>
#include <sstream>

namespace zelcor::test {
namespace {

using Write = std::pair<int, int>; // address 00 xx, data

// The cells the editor rows read and write: status and the CW constants.
const std::vector<int> kEditorCells{0x10, 0x11, 0x12, 0x25, 0x26};

// The wrench's bytes before anything is written: 40H + the address, the error flag set at 10H.
int original(int address) {
    return address == 0x10 ? 0x85 : 0x40 + address;
}
std::set<Write> originals(const std::vector<int>& addresses) {
    std::set<Write> writes;
    for (const int a : addresses) {
        writes.insert({a, original(a)});
    }
    return writes;
}

// One run: the three windows on the simulated wrench, every box answered Yes or OK.
struct World {
    World() {
        boxes.acceptAll();
        for (int a = 0; a < static_cast<int>(sim::SimulatedWrench::kParameterBytes); ++a) {
            wrench.poke(0x00, static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(original(a)));
        }
        window = std::make_unique<frmRs232SetCmd>(session, Platform{clock, port, boxes, [] {}});
        click("cmdPortOpen");
    }
    ~World() { window.reset(); }

    QWidget* control(const QString& name) {
        QWidget* w = findControl(window->windows(), name).widget;
        EXPECT_NE(w, nullptr) << name.toStdString();
        return w;
    }
    void click(const QString& name) {
        if (auto* button = qobject_cast<QAbstractButton*>(control(name))) {
            button->click();
        }
    }
    void set(const QString& name, const QString& text) { setControlText(control(name), text); }
    // Ticks the editor's cells of the status and the CW constants, and reads them.
    void readEditorCells() {
        window->editor().cmdClear_Click();
        for (const int a : kEditorCells) {
            window->editor().Check1(a)->setChecked(true);
        }
        click("cmdReadAll");
    }
    // The calibration window's Stop, once a run has been going for `ms` (a run goes on until
    // stopped).
    void stopRunAfter(std::int64_t ms) {
        clock.after(ms, [this, ms] {
            if (window->session().testRunning()) {
                click("frmRs232WRCal.cmdTestStop");
            } else {
                stopRunAfter(ms);
            }
        });
    }

    // What every control of the three windows lets a hand do.
    std::map<QString, bool> controlStates() const {
        std::map<QString, bool> states;
        for (QWidget* w : window->windows()) {
            for (QWidget* c : w->findChildren<QWidget*>()) {
                if (!c->objectName().isEmpty()) {
                    states[w->objectName() + '.' + c->objectName()] = c->isEnabled();
                }
            }
        }
        return states;
    }

    VirtualClock clock;
    ScriptedMessageBoxes boxes;
    sim::SimulatedWrench wrench{clock};
    sim::SimulatedPort port{wrench};
    WrenchSession session{clock, port, boxes, NextRequestCode};
    std::unique_ptr<frmRs232SetCmd> window;
};

struct Operation {
    const char* name;
    std::function<void(World&)> run;
    // The writes it means: each (address, data) the wrench may receive from it.
    std::set<Write> meant;
};

const std::vector<Operation>& operations() {
    std::set<Write> allFF;
    for (int a = cells::kFirstTransfer; a <= cells::kLast; ++a) {
        allFF.insert({a, 0xFF});
    }
    std::set<Write> edited = originals(kEditorCells);
    edited.insert({0x11, 0x5A});
    std::set<Write> newSet = originals({0x0C, 0x0D, 0x0E, 0x0F, 0x2B, 0x2C, 0x2D});
    newSet.insert({{0x10, 0x02}, {0x12, 0xA1}, {0x11, 0xB2}, {0x26, 0xC3}, {0x25, 0xD4}});
    static const std::vector<Operation> ops{
        {"Console Read",
         [](World& w) {
             w.set("txtAddr0Read", "12");
             w.click("cmdRead");
         },
         {}},
        {"Console Write",
         [](World& w) {
             w.set("txtAddr0Write", "12");
             w.set("txtWriteData", "5A");
             w.click("cmdWrite");
         },
         {{0x12, 0x5A}}},
        {"Console Send Byte",
         [](World& w) {
             w.set("txtSendByte", "1A");
             w.click("cmdSendAByte");
         },
         {}},
        {"Editor Read All", [](World& w) { w.readEditorCells(); }, {}},
        // The technician's round: read the cells, change one, write them back. A cell the
        // reading did not fill must never go out as a byte.
        {"Editor Read All, edit, Write",
         [](World& w) {
             w.readEditorCells();
             w.set("frmRs232WRPara.Text1(17)", "5A");
             w.click("cmdWR");
         },
         edited},
        {"Editor Write All FF", [](World& w) { w.click("cmdWriteAllFF"); }, allFF},
        {"Get", [](World& w) { w.click("cmdGetPara"); }, {}},
        {"Write (parameters)",
         [](World& w) {
             w.set("txtNewPara",
                   QString::fromStdString(
                       IssuedFor(w.wrench, NewConstants{false, 1, "A1", "B2", "C3", "D4", "02"})));
             w.click("cmdWrPara");
         },
         newSet},
        {"讀取校正參數 (calibration constants)", [](World& w) { w.click("cmdReakAllKandA"); }, {}},
        {"CmdCal (calibration mode, live value)", [](World& w) { w.click("CmdCal"); }, {}},
        {"Test run",
         [](World& w) {
             w.stopRunAfter(3000);
             w.click("cmdTestStart");
         },
         {}},
        {"Reading On",
         [](World& w) {
             w.stopRunAfter(3000);
             w.click("cmdAutoOn");
         },
         {}},
        {"Read Max Torque", [](World& w) { w.click("cmdRdMaxTk"); }, {}},
        {"Clear Er0/Max Torque",
         [](World& w) { w.click("cmdClrEr0"); },
         {{0x10, 0x85 & 0x7F}, {0x23, 0}, {0x24, 0}}}};
    return ops;
}

struct Fault {
    const char* name;
    std::optional<sim::Faults> faults; // none: the port is lost instead
};

const std::vector<Fault>& faults() {
    static const std::vector<Fault> all{
        {"none", sim::Faults{}},
        {"no reply", sim::Faults{.noReply = true}},
        {"short reply", sim::Faults{.shortReply = 2}},
        {"corrupted byte", sim::Faults{.corruptAt = 2}},
        {"extra bytes", sim::Faults{.extraBytes = {0x55, 0xAA}}},
        {"split reply", sim::Faults{.splitAfter = 1, .splitPauseMs = 200}},
        // After the time-out: the reply lands in the next exchange.
        {"late reply", sim::Faults{.delayMs = 3500}},
        {"first attempt fails", sim::Faults{.noReply = true, .firstAttemptOnly = true}},
        {"silent after 2", sim::Faults{.stopAfter = 2}},
        {"port lost", std::nullopt}};
    return all;
}

QString oneLine(QString text) {
    return text.replace(QStringLiteral("\r\n"), QStringLiteral(" / "));
}

// One cell of the matrix: the operation run with the fault. Fails the test for a byte the
// operation did not mean to write, a control that does not come back and a next read that
// fails; returns the boxes shown, each "Title: text".
QStringList runCell(const Operation& op, const Fault& fault) {
    World w;
    const std::map<QString, bool> before = w.controlStates();
    if (fault.faults) {
        w.wrench.setFaults(*fault.faults);
    } else {
        // In the middle of the operation's first exchange.
        w.clock.at(w.clock.nowMs() + 30, [&w] { w.port.unplug(); });
    }
    const std::size_t framesBefore = w.wrench.receivedFrames().size();
    op.run(w);
    QStringList boxes;
    for (const ShownBox& box : w.boxes.shown()) {
        boxes << box.title + QStringLiteral(": ") + oneLine(box.text);
    }

    const auto& frames = w.wrench.receivedFrames();
    for (std::size_t i = framesBefore; i < frames.size(); ++i) {
        EXPECT_TRUE(!frames[i].write || op.meant.contains({frames[i].addr0, frames[i].data}))
            << std::hex << "wrote " << int(frames[i].data) << " to 00 " << int(frames[i].addr0)
            << ", which it never meant to";
    }

    // The technician carries on: the line is good again, the port open again.
    w.wrench.clearFaults();
    w.clock.advance(5000); // whatever was still on its way has arrived
    if (!w.port.isOpen()) {
        w.click("cmdPortOpen");
    }
    const std::map<QString, bool> after = w.controlStates();
    for (const auto& [name, enabled] : before) {
        // Copy is meant to stay usable once a Get has handed out a request.
        EXPECT_TRUE(after.at(name) == enabled || name == "frmRs232SetCmd.cmdCopyReq")
            << name.toStdString() << (enabled ? " stayed disabled" : " stayed enabled");
    }
    const std::size_t boxesBefore = w.boxes.shown().size();
    w.set("txtAddr0Read", "05"); // a byte no operation here writes
    w.click("cmdRead");
    EXPECT_EQ(controlText(w.control("txtReadData(0)")), "45") << "the next read failed";
    EXPECT_EQ(w.boxes.shown().size(), boxesBefore) << "the next read showed a box";
    return boxes;
}

// The boxes of every cell, by operation and then by fault.
using Matrix = std::vector<std::vector<QStringList>>;

std::string matrixDocument(const Matrix& matrix) {
    // Boxes in the table by title; their texts in full below it.
    const auto shortBox = [](const QString& box) {
        const QString title = box.section(QStringLiteral(": "), 0, 0);
        const QString text = box.section(QStringLiteral(": "), 1);
        if (title == QLatin1String("Communication Error")) {
            return title + " (" +
                   (text.contains(QLatin1String("syntax")) ? QStringLiteral("syntax err")
                                                           : text.section(QLatin1Char(' '), 3)) +
                   ")";
        }
        return title;
    };
    // A run reports each failed cycle: the same two boxes again and again, counted once.
    const auto cellText = [&](const QStringList& boxes) {
        QStringList shown;
        for (int i = 0; i < boxes.size();) {
            int repeats = 1;
            const bool withHelp =
                i + 1 < boxes.size() && boxes[i + 1].startsWith(QLatin1String("Help: "));
            while (withHelp && i + 2 * repeats + 1 < boxes.size() &&
                   boxes[i + 2 * repeats] == boxes[i] &&
                   boxes[i + 2 * repeats + 1] == boxes[i + 1]) {
                ++repeats;
            }
            if (repeats > 1) {
                shown << QStringLiteral("(%1, Help) × %2").arg(shortBox(boxes[i])).arg(repeats);
                i += 2 * repeats;
            } else {
                shown << shortBox(boxes[i]);
                ++i;
            }
        }
        return shown.isEmpty() ? QStringLiteral("—") : shown.join(QStringLiteral(", "));
    };
    std::ostringstream doc;
    doc << "# Fault matrix\n\n"
        << "Every operation that talks to the wrench, against every fault of the line, run by\n"
        << "`FaultMatrix.EveryOperationAgainstEveryFault` on the simulated wrench in virtual\n"
        << "time. Each cell lists the message boxes the technician sees, in order (Yes or OK\n"
        << "answered). In every cell the test also checks that nothing was written that the\n"
        << "operation did not mean to write (never a byte of a cell that was not read), that\n"
        << "every control is back as it was once the port is open again, and that the next\n"
        << "read works.\n\n|";
    for (const Fault& f : faults()) {
        doc << " | " << f.name;
    }
    doc << " |\n|---";
    for (std::size_t i = 0; i < faults().size(); ++i) {
        doc << "|---";
    }
    doc << "|\n";
    for (std::size_t o = 0; o < operations().size(); ++o) {
        doc << "| " << operations()[o].name;
        for (std::size_t f = 0; f < faults().size(); ++f) {
            doc << " | " << cellText(matrix[o][f]).toStdString();
        }
        doc << " |\n";
    }
    doc << "\n## The boxes in full\n";
    for (std::size_t o = 0; o < operations().size(); ++o) {
        doc << "\n### " << operations()[o].name << "\n\n";
        for (std::size_t f = 0; f < faults().size(); ++f) {
            doc << "- " << faults()[f].name << ":";
            const QStringList& boxes = matrix[o][f];
            if (boxes.isEmpty()) {
                doc << " no box";
            }
            for (int i = 0; i < boxes.size(); ++i) {
                doc << (i == 0 ? " " : "; ") << '"' << boxes[i].toStdString() << '"';
            }
            doc << "\n";
        }
    }
    return doc.str();
}

TEST(FaultMatrix, EveryOperationAgainstEveryFault) {
    Matrix matrix;
    for (const Operation& op : operations()) {
        matrix.emplace_back();
        for (const Fault& fault : faults()) {
            SCOPED_TRACE(std::string(op.name) + " / " + fault.name);
            matrix.back().push_back(runCell(op, fault));
        }
    }
    const std::string document = matrixDocument(matrix);
    std::cout << document;

    const std::string path = std::string(ZELCOR_SOURCE_DIR) + "/docs/fault-matrix.md";
    if (qEnvironmentVariableIsSet("ZELCOR_UPDATE_FAULT_MATRIX")) {
        std::ofstream(path) << document;
        return;
    }
    std::ifstream kept(path);
    std::stringstream keptText;
    keptText << kept.rdbuf();
    EXPECT_EQ(keptText.str(), document)
        << "What the technician sees has changed. If that was meant, run this test with "
           "ZELCOR_UPDATE_FAULT_MATRIX=1 and review the diff of docs/fault-matrix.md.";
}

} // namespace
} // namespace zelcor::test
