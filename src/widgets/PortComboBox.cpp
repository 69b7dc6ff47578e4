// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/PortComboBox.h"

#include "widgets/Controls.h"

namespace zelcor {

namespace {

// Marks the items that came from the port list, so a new list replaces only them.
constexpr int kListedPortRole = Qt::UserRole + 1;
// The device a listed item opens; its text names the adapter's stable name beside it.
constexpr int kDeviceRole = Qt::UserRole + 2;

QString portToolTip(const PortInfo& port) {
    QStringList lines;
    for (const std::string& line : {port.description, port.manufacturer}) {
        if (!line.empty()) {
            lines << QString::fromStdString(line);
        }
    }
    if (!port.serialNumber.empty()) {
        lines
            << PortComboBox::tr("Serial number %1").arg(QString::fromStdString(port.serialNumber));
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace

PortComboBox::PortComboBox(QWidget* parent, const QString& name, const QString& text,
                           int widthChars)
    : QComboBox(parent) {
    setUpComboBox(this, name, text, widthChars);
    // An adapter picked from the list is opened by its device, whatever else its item shows.
    connect(this, &QComboBox::currentIndexChanged, this, [this](int index) {
        const QString device = itemData(index, kDeviceRole).toString();
        if (!device.isEmpty()) {
            setEditText(device);
        }
    });
}

void PortComboBox::setPortSource(std::function<std::vector<PortInfo>()> source) {
    m_source = std::move(source);
}

void PortComboBox::refreshPorts() {
    if (!m_source) {
        return;
    }
    const std::vector<PortInfo> ports = m_source();
    const QString shown = currentText();
    const QSignalBlocker quiet(this);
    for (int i = count() - 1; i >= 0; --i) {
        if (itemData(i, kListedPortRole).toBool()) {
            removeItem(i);
        }
    }
    for (const PortInfo& port : ports) {
        const QString device = QString::fromStdString(port.device);
        addItem(port.stableName.empty()
                    ? device
                    : device + QStringLiteral("  ") + QString::fromStdString(port.stableName));
        setItemData(count() - 1, true, kListedPortRole);
        setItemData(count() - 1, device, kDeviceRole);
        setItemData(count() - 1, portToolTip(port), Qt::ToolTipRole);
    }
    int shownIndex = findText(shown, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (shownIndex < 0) {
        shownIndex = findData(shown, kDeviceRole, Qt::MatchExactly | Qt::MatchCaseSensitive);
    }
    setCurrentIndex(shownIndex);
    setEditText(shown);
}

void PortComboBox::showPopup() {
    refreshPorts();
    QComboBox::showPopup();
}

} // namespace zelcor
