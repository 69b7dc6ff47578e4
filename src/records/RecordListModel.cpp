// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/RecordListModel.h"

#include <QSqlDatabase>

#include <iterator>

namespace zelcor::records {

bool RecordListModel::list(const QString& connection, const RecordFilter& filter, QString& error) {
    beginResetModel();
    m_connection = connection;
    m_filter = filter;
    m_rows.clear();
    m_unreadable.clear();
    m_atEnd = false;
    m_error.clear();
    std::vector<RecordRow> rows;
    std::vector<QString> reasons;
    const bool read = readPage(rows, reasons);
    m_rows = std::move(rows);
    m_unreadable = std::move(reasons);
    endResetModel();
    error = m_error;
    return read;
}

void RecordListModel::clear() {
    beginResetModel();
    m_rows.clear();
    m_unreadable.clear();
    m_atEnd = true;
    m_error.clear();
    endResetModel();
}

QString RecordListModel::unreadable(int row) const {
    return row >= 0 && row < int(m_unreadable.size()) ? m_unreadable[std::size_t(row)] : QString();
}

bool RecordListModel::readPage(std::vector<RecordRow>& rows, std::vector<QString>& reasons) {
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    std::optional<PageStart> after;
    if (!m_rows.empty()) {
        after = PageStart{m_rows.back()[kColTime].toString(), m_rows.back()[kColId].toString()};
    }
    if (!ReadRecordPage(db, m_filter, after, kPageRows, rows, m_error)) {
        rows.clear();
        m_atEnd = true;
        return false;
    }
    m_atEnd = rows.size() < std::size_t(kPageRows);
    for (const RecordRow& row : rows) {
        ServiceRecord record;
        QString reason;
        reasons.push_back(RowToRecord(row, record, reason) ? QString() : reason);
    }
    return true;
}

int RecordListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_rows.size());
}

int RecordListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kRecordColumnCount;
}

QVariant RecordListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= int(m_rows.size()) ||
        (role != Qt::DisplayRole && role != Qt::ToolTipRole)) {
        return {};
    }
    const QString& reason = m_unreadable[std::size_t(index.row())];
    if (!reason.isEmpty() && (index.column() == kColMessage || role == Qt::ToolTipRole)) {
        return tr("This record cannot be read (%1).").arg(reason);
    }
    return role == Qt::DisplayRole ? m_rows[std::size_t(index.row())][std::size_t(index.column())]
                                   : QVariant();
}

QVariant RecordListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && m_captions.contains(section)) {
        return m_captions.value(section);
    }
    return QAbstractTableModel::headerData(section, orientation, role);
}

bool RecordListModel::setHeaderData(int section, Qt::Orientation orientation, const QVariant& value,
                                    int role) {
    if (orientation != Qt::Horizontal || (role != Qt::EditRole && role != Qt::DisplayRole)) {
        return false;
    }
    m_captions.insert(section, value);
    emit headerDataChanged(orientation, section, section);
    return true;
}

bool RecordListModel::canFetchMore(const QModelIndex& parent) const {
    return !parent.isValid() && !m_atEnd;
}

void RecordListModel::fetchMore(const QModelIndex& parent) {
    if (!canFetchMore(parent)) {
        return;
    }
    std::vector<RecordRow> rows;
    std::vector<QString> reasons;
    const bool read = readPage(rows, reasons);
    if (!rows.empty()) {
        const int first = int(m_rows.size());
        beginInsertRows({}, first, first + int(rows.size()) - 1);
        std::move(rows.begin(), rows.end(), std::back_inserter(m_rows));
        m_unreadable.insert(m_unreadable.end(), reasons.begin(), reasons.end());
        endInsertRows();
    }
    if (!read) {
        emit pageFailed(m_error);
    }
}

} // namespace zelcor::records
