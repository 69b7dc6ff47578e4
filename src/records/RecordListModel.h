// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "records/RecordQuery.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QString>

#include <vector>

namespace zelcor::records {

// The records of a filter as a table, newest first, one column for each RecordColumn: read a
// page at a time from the database (the first page when listed, each further page when the
// view asks for more as it is scrolled), so that a list of a million records costs what a
// list of a page does until it is scrolled. A row that is not a record (a column another
// program filled with something else) is listed all the same, its message saying why it
// cannot be read.
class RecordListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kPageRows = 256;

    using QAbstractTableModel::QAbstractTableModel;

    // Lists the records of `filter` from the Qt SQL connection `connection`, its first page
    // read now; empty, with `error` set, when it cannot be read.
    bool list(const QString& connection, const RecordFilter& filter, QString& error);
    void clear();
    // Why the last page could not be read; empty when it could.
    const QString& lastError() const { return m_error; }
    // Why the row is not a record; empty when it is one.
    QString unreadable(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    bool setHeaderData(int section, Qt::Orientation orientation, const QVariant& value,
                       int role = Qt::EditRole) override;
    bool canFetchMore(const QModelIndex& parent = {}) const override;
    void fetchMore(const QModelIndex& parent = {}) override;

signals:
    // A further page could not be read; the list ends where it was.
    void pageFailed(const QString& error);

private:
    // Reads the page after the last row listed into `rows`, with each row's reason (empty
    // for a record); false with m_error set when it fails.
    bool readPage(std::vector<RecordRow>& rows, std::vector<QString>& reasons);

    QString m_connection;
    RecordFilter m_filter;
    std::vector<RecordRow> m_rows;
    std::vector<QString> m_unreadable; // per row, empty for a record
    bool m_atEnd = true;
    QString m_error;
    QHash<int, QVariant> m_captions;
};

} // namespace zelcor::records
