// SPDX-License-Identifier: GPL-3.0-or-later
#include "wrench/BackupFile.h"

#include "common/TextConv.h"
#include "wrench/WrenchMap.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace zelcor {

namespace {

constexpr int kFirst = cells::kFirstTransfer;
constexpr int kLast = cells::kLast;
constexpr int kFormatVersion = 1;

std::string Hex(std::uint8_t value) {
    return ByteToHexStr(value);
}

// The identity fields, each the hexadecimal text of its cells in the order given.
struct IdentityField {
    const char* name;
    std::span<const int> cells;
};
const std::array<IdentityField, 3> kIdentityFields{{{"factoryCode", cells::kFactoryCode},
                                                    {"softwareVersion", cells::kSoftwareVersion},
                                                    {"wrenchCode", cells::kWrenchCode}}};

std::string FieldText(const std::map<int, std::uint8_t>& bytes, const IdentityField& field) {
    return CellsText(
        field.cells,
        [&bytes](int cell) {
            const auto it = bytes.find(cell);
            return it == bytes.end() ? std::nullopt : std::optional(it->second);
        },
        "XX");
}

std::optional<std::uint8_t> ByteOfText(const QString& text) {
    const std::string s = text.toStdString();
    if (s.size() != 2 || HexDigitValue(s[0]) < 0 || HexDigitValue(s[1]) < 0) {
        return std::nullopt;
    }
    return static_cast<std::uint8_t>(HexDigitValue(s[0]) * 16 + HexDigitValue(s[1]));
}

} // namespace

std::string IdentityText(const std::map<int, std::uint8_t>& cells) {
    const std::string software = FieldText(cells, kIdentityFields[1]);
    return "factory code " + FieldText(cells, kIdentityFields[0]) + ", software " +
           software.substr(0, 2) + " " + software.substr(2) + ", wrench code " +
           FieldText(cells, kIdentityFields[2]);
}

std::string BackupToJson(const Backup& backup) {
    QJsonObject identity;
    for (const IdentityField& field : kIdentityFields) {
        identity.insert(QLatin1String(field.name),
                        QString::fromStdString(FieldText(backup.cells, field)));
    }
    QJsonObject cells;
    for (const auto& [address, value] : backup.cells) {
        cells.insert(QString::fromStdString(Hex(static_cast<std::uint8_t>(address))),
                     QString::fromStdString(Hex(value)));
    }
    QJsonObject root;
    root.insert(QStringLiteral("format"), QStringLiteral("zelcor-backup"));
    root.insert(QStringLiteral("formatVersion"), kFormatVersion);
    root.insert(QStringLiteral("program"), QString::fromStdString(backup.program));
    root.insert(QStringLiteral("time"), QString::fromStdString(backup.time));
    root.insert(QStringLiteral("identity"), identity);
    root.insert(QStringLiteral("cells"), cells);
    return QJsonDocument(root).toJson(QJsonDocument::Indented).toStdString();
}

std::optional<Backup> BackupFromJson(const std::string& text, std::string& error) {
    QJsonParseError parseError{};
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray::fromStdString(text), &parseError);
    if (document.isNull() || !document.isObject()) {
        error = "it is not a JSON object (" + parseError.errorString().toStdString() + ")";
        return std::nullopt;
    }
    const QJsonObject root = document.object();
    if (root.value(QStringLiteral("format")).toString() != QLatin1String("zelcor-backup")) {
        error = "it is not a Zelcor backup (no \"format\": \"zelcor-backup\")";
        return std::nullopt;
    }
    if (root.value(QStringLiteral("formatVersion")).toInt(-1) != kFormatVersion) {
        error = "its format version is not 1";
        return std::nullopt;
    }
    Backup backup;
    backup.time = root.value(QStringLiteral("time")).toString().toStdString();
    backup.program = root.value(QStringLiteral("program")).toString().toStdString();
    const QJsonObject cells = root.value(QStringLiteral("cells")).toObject();
    for (int address = kFirst; address <= kLast; ++address) {
        const QString key = QString::fromStdString(Hex(static_cast<std::uint8_t>(address)));
        const auto value = ByteOfText(cells.value(key).toString());
        if (!value) {
            error = "cell " + key.toStdString() + " is missing or is not two hexadecimal digits";
            return std::nullopt;
        }
        backup.cells[address] = *value;
    }
    if (cells.size() != kLast - kFirst + 1) {
        error = "it holds cells outside 07 to 2D";
        return std::nullopt;
    }
    const QJsonObject identity = root.value(QStringLiteral("identity")).toObject();
    for (const IdentityField& field : kIdentityFields) {
        if (identity.value(QLatin1String(field.name)).toString().toStdString() !=
            FieldText(backup.cells, field)) {
            error =
                std::string("its identity field \"") + field.name + "\" disagrees with its cells";
            return std::nullopt;
        }
    }
    return backup;
}

} // namespace zelcor
