// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/SerialPort.h"

#include <cstdint>
#include <string>
#include <vector>

namespace zelcor::sim {

class SimulatedWrench;

// A byte on the wire with the time it was written or delivered.
struct WireByte {
    std::uint8_t value;
    std::int64_t atMs;
};

// A batch of reply bytes as the port delivered it, with the time of delivery.
struct Arrival {
    std::vector<std::uint8_t> bytes;
    std::int64_t atMs;
};

// A serial port in the same process as a simulated wrench, on the wrench's clock.
//
// Every written byte goes to the wrench with its wire time. Reply bytes are delivered as one
// batch at the moment the last byte of the batch has arrived: a whole reply at once unless the
// wrench splits it. Opening with a baud rate, parity or data width other than the wrench's
// succeeds, as with a real port, but then the wrench only ever sees framing errors and never
// answers (stop bits do not matter: the receiver checks only the first).
//
// The wrench must outlive the port; one port at a time may be attached to a wrench.
class SimulatedPort final : public SerialPort {
public:
    explicit SimulatedPort(SimulatedWrench& wrench);
    ~SimulatedPort() override;

    bool open(const std::string& portName, const SerialSettings& settings,
              std::string& error) override;
    void close() override;
    bool isOpen() const override { return m_open; }
    bool writeByte(std::uint8_t byte) override;

    // Opening this port name fails (a port that does not exist).
    void refuseName(std::string name) { m_refusedName = std::move(name); }
    // The cable is pulled: the port reports `message` as an error and closes.
    void unplug(const std::string& message = "The serial device was removed");

    const std::vector<WireByte>& written() const { return m_written; }
    std::vector<std::uint8_t> writtenBytes() const;
    const std::vector<Arrival>& arrivals() const { return m_arrivals; }
    const std::string& openedName() const { return m_name; }
    const SerialSettings& openedSettings() const { return m_settings; }
    int openCount() const { return m_openCount; }

private:
    void onWrenchByte(std::uint8_t byte, bool endOfBatch);

    SimulatedWrench& m_wrench;
    bool m_open = false;
    bool m_lineMatches = true;
    std::string m_refusedName;
    std::string m_name;
    SerialSettings m_settings;
    int m_openCount = 0;
    std::vector<std::uint8_t> m_pending;
    std::vector<WireByte> m_written;
    std::vector<Arrival> m_arrivals;
};

} // namespace zelcor::sim
