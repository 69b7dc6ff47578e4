// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace zelcor {

struct SerialSettings {
    int baudRate = 1200;
    char parity = 'N'; // 'N', 'E', 'O', 'M' or 'S'
    int dataBits = 8;
    int stopBits = 2;
};

// A serial port the system knows of, as a technician would recognise it in a list.
struct PortInfo {
    std::string device; // what open() takes: /dev/ttyUSB0, COM3
    std::string description;
    std::string manufacturer;
    std::string serialNumber;
    // Its name in /dev/serial/by-id/, which stays the same when it is plugged in again
    // elsewhere; empty when it has none.
    std::string stableName;
};

// The one serial line to the instrument. Arrived bytes and errors are delivered on the
// user-interface thread through the handlers, every batch of arrived bytes at once.
class SerialPort {
public:
    using ReceiveHandler = std::function<void(const std::vector<std::uint8_t>&)>;
    using ErrorHandler = std::function<void(const std::string&)>;

    virtual ~SerialPort() = default;

    // Opens `portName` (a device path or a platform port name) with `settings`. On failure
    // returns false and says why in `error`; the port is then closed.
    virtual bool open(const std::string& portName, const SerialSettings& settings,
                      std::string& error) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    // Writes one byte as a block of its own. Returns false when the port is closed or the
    // byte could not be handed to the driver.
    virtual bool writeByte(std::uint8_t byte) = 0;

    // Added to each pause after a request byte: what the path to the wrench may take off a
    // pause on its way (nothing on a local line).
    virtual int pauseMarginMs() const { return 0; }

    // The serial ports there are to choose from, in the system's order. Pseudo-terminals and
    // links to devices are not among them, but open() takes them all the same.
    virtual std::vector<PortInfo> availablePorts() const { return {}; }

    void setReceiveHandler(ReceiveHandler handler) { m_onReceive = std::move(handler); }
    void setErrorHandler(ErrorHandler handler) { m_onError = std::move(handler); }

protected:
    void deliver(const std::vector<std::uint8_t>& bytes) {
        if (m_onReceive && !bytes.empty()) {
            m_onReceive(bytes);
        }
    }
    void reportError(const std::string& message) {
        if (m_onError) {
            m_onError(message);
        }
    }

private:
    ReceiveHandler m_onReceive;
    ErrorHandler m_onError;
};

} // namespace zelcor
