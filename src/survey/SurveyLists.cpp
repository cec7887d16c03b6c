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

SurveyLists::Content SurveyLists::fromStored(QStringList dataRows)
{
    Content content;
    content.lstData.reserve(dataRows.size() + 1);
    content.lstData.append(AddressList::listHeader());
    for (const QString& row : std::as_const(dataRows)) {
        const AddressEntry entry = SplitCsvRow(row);
        content.lstData.append(MakeListRow(entry.ip, entry.host, entry.mac));
    }
    dataRows.prepend(AddressList::csvHeader());
    content.lstDat2 = std::move(dataRows);
    return content;
}

void SurveyLists::replace(Content content)
{
    // Item k of both lists must describe the same entry: a longer list is cut.
    const qsizetype rows = std::min(content.lstData.size(), content.lstDat2.size());
    content.lstData.resize(rows);
    content.lstDat2.resize(rows);
    m_data.replace(content.lstData);
    m_dat2 = std::move(content.lstDat2);
}
