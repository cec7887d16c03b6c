#include "window/ChangeMarkModel.h"

#include "store/VendorRegistry.h"

using namespace Qt::Literals::StringLiterals;

ChangeMarkModel::ChangeMarkModel(QObject* parent)
    : QIdentityProxyModel(parent)
{
    // The rows a mark names are gone once the list is replaced.
    connect(this, &QAbstractItemModel::modelAboutToBeReset, this, [this] { m_marks.clear(); });
}

void ChangeMarkModel::setChanges(const std::vector<ListChange>& changes,
                                 const QList<AddressEntry>& after)
{
    QHash<QString, int> rowOf;
    rowOf.reserve(after.size());
    for (qsizetype k = 0; k < after.size(); ++k) {
        if (!rowOf.contains(after[k].ip))
            rowOf.insert(after[k].ip, int(k) + 1);
    }
    QList<int> touched = m_marks.keys();
    m_marks.clear();
    for (const ListChange& change : changes) {
        const int row = rowOf.value(change.now.ip, -1);
        if (row < 0)
            continue;
        m_marks.insert(row, change);
        touched.append(row);
    }
    refresh(touched);
}

void ChangeMarkModel::clearMarks()
{
    const QList<int> touched = m_marks.keys();
    m_marks.clear();
    refresh(touched);
}

void ChangeMarkModel::refresh(const QList<int>& rows)
{
    const int count = rowCount();
    for (int row : rows) {
        if (row < count)
            emit dataChanged(index(row, 0), index(row, 0));
    }
}

void ChangeMarkModel::setVendors(std::shared_ptr<const VendorRegistry> vendors)
{
    m_vendors = std::move(vendors);
    if (const int count = rowCount(); count > 0)
        emit dataChanged(index(0, 0), index(count - 1, 0), {Qt::ToolTipRole});
}

QVariant ChangeMarkModel::toolTip(const QModelIndex& index) const
{
    const auto mark = m_marks.constFind(mapToSource(index).row());
    const bool marked = mark != m_marks.constEnd();
    QString vendor;
    if (m_vendors) {
        const QString row = QIdentityProxyModel::data(index, Qt::DisplayRole).toString();
        vendor = m_vendors->describe(macOfListRow(row));
        // The mark says so already.
        if (marked && mark->localMac && vendor == VendorRegistry::kLocalMark)
            vendor.clear();
    }
    if (!marked)
        return vendor.isEmpty() ? QIdentityProxyModel::data(index, Qt::ToolTipRole) : vendor;
    const QString text = changeMarkText(*mark);
    return vendor.isEmpty() ? text : vendor + u'\n' + text;
}

QVariant ChangeMarkModel::data(const QModelIndex& index, int role) const
{
    if (role == Qt::ToolTipRole && index.isValid())
        return toolTip(index);
    const QVariant plain = QIdentityProxyModel::data(index, role);
    if (!index.isValid() || m_marks.isEmpty())
        return plain;
    const auto mark = m_marks.constFind(mapToSource(index).row());
    if (mark == m_marks.constEnd())
        return plain;
    switch (role) {
    case KindRole:
        return int(mark->kind);
    case LocalMacRole:
        return mark->localMac;
    case Qt::AccessibleDescriptionRole:
        return changeMarkText(*mark);
    case Qt::AccessibleTextRole:
        // Said with the row, not only when the reader is asked for more.
        return QIdentityProxyModel::data(index, Qt::DisplayRole).toString() + u"、"_s +
               changeMarkText(*mark);
    default:
        return plain;
    }
}

QString changeMarkText(const ListChange& change)
{
    QString text;
    switch (change.kind) {
    case ListChange::Kind::New:
        // A row that was there with a name but no MAC still says what it had.
        text = change.before.host.isEmpty()
                   ? u"新規（前回: なし）"_s
                   : u"新規（前回: "_s + change.before.host + u"、MACなし）"_s;
        break;
    case ListChange::Kind::Gone:
        text = u"不在（前回: "_s + change.before.mac + u"）"_s;
        break;
    case ListChange::Kind::Changed:
        text = u"MAC変更（前回: "_s + change.before.mac + u"）"_s;
        break;
    case ListChange::Kind::Renamed:
        text = u"名前変更（前回: "_s + change.before.host + u"）"_s;
        break;
    case ListChange::Kind::Moved:
        text = u"移動（前回: "_s + change.before.ip + u"）"_s;
        break;
    }
    if (change.localMac)
        text += u"、ローカル/ランダムMAC"_s;
    return text;
}
