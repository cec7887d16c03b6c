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

namespace {

// The entry as its data row reads back. A field holding a comma (the probes clean
// commas out of names) would read back otherwise, and the entry must be what the log
// gives at the next start, so that a comparison then finds what one now finds.
AddressEntry asRowReadsBack(const AddressEntry& entry, const QString& row)
{
    const bool comma =
        entry.ip.contains(u',') || entry.host.contains(u',') || entry.mac.contains(u',');
    return comma ? SplitCsvRow(row) : entry;
}

} // namespace

SurveyLists::SurveyLists(View view)
    : m_view(view)
{}

void SurveyLists::resetToHeaders()
{
    if (m_view == View::Shown)
        m_data.replace({AddressList::listHeader()});
    m_dat2 = {AddressList::csvHeader()};
    m_entries.clear();
}

void SurveyLists::append(const AddressEntry& entry)
{
    if (m_view == View::Shown)
        m_data.append(MakeListRow(entry.ip, entry.host, entry.mac));
    m_dat2.append(MakeCsvRow(entry.ip, entry.host, entry.mac));
    m_entries.append(asRowReadsBack(entry, m_dat2.constLast()));
}

QStringList SurveyLists::lstDat2With(const QList<AddressEntry>& more) const
{
    QStringList rows = m_dat2;
    rows.reserve(rows.size() + more.size());
    for (const AddressEntry& entry : more)
        rows.append(MakeCsvRow(entry.ip, entry.host, entry.mac));
    return rows;
}

SurveyLists::Content SurveyLists::fromStored(QStringList dataRows, View view)
{
    Content content;
    content.entries.reserve(dataRows.size());
    if (view == View::Shown) {
        content.lstData.reserve(dataRows.size() + 1);
        content.lstData.append(AddressList::listHeader());
    }
    for (const QString& row : std::as_const(dataRows)) {
        content.entries.append(SplitCsvRow(row));
        if (view == View::Shown) {
            const AddressEntry& entry = content.entries.constLast();
            content.lstData.append(MakeListRow(entry.ip, entry.host, entry.mac));
        }
    }
    dataRows.prepend(AddressList::csvHeader());
    content.lstDat2 = std::move(dataRows);
    return content;
}

void SurveyLists::replace(Content content)
{
    // Item k of the lists must describe the same entry: a longer list is cut.
    qsizetype rows = content.lstDat2.size();
    if (m_view == View::Shown)
        rows = std::min(rows, content.lstData.size());
    content.lstDat2.resize(rows);
    const qsizetype entries = std::max<qsizetype>(0, rows - 1);
    if (content.entries.size() > entries)
        content.entries.resize(entries);
    for (qsizetype k = content.entries.size(); k < entries; ++k)
        content.entries.append(SplitCsvRow(content.lstDat2.at(k + 1)));
    if (m_view == View::Shown) {
        content.lstData.resize(rows);
        m_data.replace(content.lstData);
    }
    m_dat2 = std::move(content.lstDat2);
    m_entries = std::move(content.entries);
}
