// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/MessageBoxes.h"
#include "serial/CommandProtocol.h"
#include "serial/ExchangeLog.h"
#include "serial/ReceiveEngine.h"

#include <QCoreApplication>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace zelcor {

class Clock;
class SerialPort;
struct SerialSettings;

// The one link to the wrench that every window talks through: the serial port, the receive
// engine, the command protocol, the rule of one exchange at a time and the boxes that report
// a failed exchange.
//
// One exchange at a time is kept here, not by the buttons: an exchange asked for while
// another is on the wire (from a timer, or from a click handled inside a modal box's event
// loop) sends nothing, shows the "Link Busy" box and fails with CommResult::Busy.
class WrenchLink {
    Q_DECLARE_TR_FUNCTIONS(zelcor::WrenchLink)

public:
    // Where the link shows what it does: the transmit and receive echoes, the receive state.
    struct Echo {
        std::function<void(const std::string&)> appendLocal;
        std::function<void(const std::string&)> appendRemote;
        std::function<void()> clear;
        std::function<void(const std::string&)> showState;
    };

    WrenchLink(Clock& clock, SerialPort& port, MessageBoxes& boxes, Echo echo);
    ~WrenchLink();
    WrenchLink(const WrenchLink&) = delete;
    WrenchLink& operator=(const WrenchLink&) = delete;

    Clock& clock() const { return m_clock; }
    MessageBoxes& boxes() const { return m_boxes; }

    // --- the port ------------------------------------------------------------------------
    bool open(const std::string& portName, const SerialSettings& settings, std::string& error);
    void close();
    bool isOpen() const;
    // Called once when the port is lost (unplugged adapter, far end gone); it is closed
    // already. The exchange on the wire has ended as timed out without waiting for its
    // time-out, and every exchange fails so at once, sending nothing, until the port is
    // opened again.
    void setPortLostHandler(std::function<void(const std::string&)> handler);
    // Called whenever the port has been closed: by close(), by open() before it opens, or
    // because it was lost. Another wrench may be on the far end from then on.
    void setClosedObserver(std::function<void()> observer) { m_onClosed = std::move(observer); }

    // A job begins: the exchange log names it at its first byte.
    void beginJob(const std::string& name) {
        if (m_log != nullptr) {
            m_log->jobStarts(name);
        }
    }
    // The port's name as it was last opened.
    const std::string& portName() const { return m_portName; }

    // --- what each exchange did ----------------------------------------------------------
    // One read or write exchange that went on the wire (not one refused as busy), told when
    // it has ended.
    struct Exchange {
        bool write = false;
        std::uint8_t addr1 = 0;
        std::uint8_t addr0 = 0;
        std::uint8_t data = 0; // a write's byte
        ReadReply reply;       // a read's reply; reply.result is a write's result too
    };
    void setExchangeObserver(std::function<void(const Exchange&)> observer) {
        m_observer = std::move(observer);
    }

    // --- the exchange log ----------------------------------------------------------------
    // Every byte sent and received from now on goes to `log` (which outlives the link), with
    // where each request frame starts and how each exchange ended. A log that fails is
    // reported once in a box, when no exchange is running, and the session goes on.
    void setExchangeLog(ExchangeLog* log);

    // --- exchanges -----------------------------------------------------------------------
    // One raw byte, no echo, no receive cycle. Refused (nothing sent) while an exchange runs.
    bool sendByte(std::uint8_t InpB);
    // One read or write exchange. Asked for while another is on the wire, it sends nothing,
    // shows the "Link Busy" box and ends with CommResult::Busy.
    ReadReply read(std::uint8_t InAddr1, std::uint8_t InAddr0);
    CommResult write(std::uint8_t InAddr1, std::uint8_t InAddr0, std::uint8_t InData);
    // The "Communication Error" box for a failure, then the help box; nothing for success or
    // for Busy (its box has been shown already).
    void ShowCommResult(CommResult Result);
    void HelpMsg();
    void MyDelay(std::int16_t Period);

    // "Reset 232": the receive engine back to idle; a waiting exchange ends as incomplete.
    void resetReceive();
    // Empties both echoes.
    void clearEchoes();
    // The expected reply length of the receive engine as the console sets it by hand. It
    // never changes the exchange that is running: that one keeps the length it started with.
    void setReplyLength(std::int16_t length);
    std::int16_t replyLength() const { return m_engine.replyLength(); }

    // --- the lock ------------------------------------------------------------------------
    // Held by every exchange and by every operation made of exchanges (Read All, Get ...).
    // While any is held the link is busy, and the controls that would start another exchange
    // are disabled through the busy listeners.
    class Hold {
    public:
        explicit Hold(WrenchLink& link);
        ~Hold();
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;

    private:
        WrenchLink& m_link;
    };
    bool busy() const { return m_holds > 0; }
    // The "Link Busy" box: a request was refused and nothing of it sent.
    void showBusy();
    // Begins an operation made of exchanges (Read All, Get ...): the link is held until the
    // returned hold goes, on every path. Refused, with the "Link Busy" box and an empty
    // result, while an exchange is on the wire (a timer running inside its wait), since the
    // operation's first steps would reset the receive engine under that exchange.
    [[nodiscard]] std::optional<Hold> beginOperation();
    // True while a request or its reply is on the wire.
    bool exchangeRunning() const { return m_exchangeRunning; }
    // Called with the busy state now and on every change; the id takes it off again.
    int addBusyListener(std::function<void(bool busy)> listener);
    void removeBusyListener(int id);

private:
    // Starts an exchange, or shows why it cannot start and returns false.
    bool beginExchange();
    void endExchange(CommResult result);
    void onReceive(const std::vector<std::uint8_t>& bytes);
    void onPortError(const std::string& message);
    void notifyBusy();
    void showLogFailure();

    Clock& m_clock;
    SerialPort& m_port;
    MessageBoxes& m_boxes;
    Echo m_echo;
    // What the protocol writes through, so the log sees every byte sent.
    LoggedPort m_loggedPort;
    ExchangeLog* m_log = nullptr;
    std::string m_logFailure; // to be shown as soon as no exchange runs
    ReceiveEngine m_engine;
    CommandProtocol m_protocol;
    std::function<void(const std::string&)> m_onPortLost;
    std::function<void()> m_onClosed;
    std::function<void(const Exchange&)> m_observer;
    std::string m_portName;
    std::vector<std::pair<int, std::function<void(bool)>>> m_busyListeners;
    int m_nextListenerId = 0;
    int m_holds = 0;
    bool m_exchangeRunning = false;
};

} // namespace zelcor
