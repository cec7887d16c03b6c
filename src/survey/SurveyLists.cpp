#include "survey/SurveyLists.h"

int SurveyListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant SurveyListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size() || index.column() != 0)
        return {};
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return m_rows.at(index.row());
    return {};
}

void SurveyListModel::append(const QString& row)
{
    const int at = int(m_rows.size());
    beginInsertRows({}, at, at);
    m_rows.append(row);
    endInsertRows();
}

void SurveyListModel::replace(const QStringList& rows)
{
    beginResetModel();
    m_rows = rows;
    endResetModel();
}

SurveyLists::SurveyLists() = default;

void SurveyLists::resetToHeaders()
{
    m_data.replace({AddressList::listHeader()});
    m_dat2 = {AddressList::csvHeader()};
}

void SurveyLists::append(const QString& ip, const QString& host, const QString& mac)
{
    m_data.append(MakeListRow(ip, host, mac));
    m_dat2.append(MakeCsvRow(ip, host, mac));
}

void SurveyLists::replace(QStringList lstDataRows, QStringList lstDat2Rows)
{
    const qsizetype rows = std::min(lstDataRows.size(), lstDat2Rows.size());
    lstDataRows.resize(rows);
    lstDat2Rows.resize(rows);
    m_data.replace(lstDataRows);
    m_dat2 = std::move(lstDat2Rows);
}
