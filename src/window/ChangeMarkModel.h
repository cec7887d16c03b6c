#pragma once

#include "survey/ListChanges.h"

#include <QHash>
#include <QIdentityProxyModel>

#include <memory>
#include <vector>

class VendorRegistry;

// The survey list as the view shows it: the source's rows as they are, and on the rows
// that differ from the list before the last run, what they were. The marks live only
// here, between the list and its view, so that nothing saved or exported can carry them.
// A source that is reset (a new list, an import) loses them. Once vendor names are
// known, every row's tooltip says who made its MAC, above its mark when it has one.
class ChangeMarkModel : public QIdentityProxyModel {
    Q_OBJECT
public:
    // A marked row's ListChange::Kind as an int, and whether its MAC is locally
    // administered; nothing on an unmarked row.
    static constexpr int KindRole = Qt::UserRole + 1;
    static constexpr int LocalMacRole = Qt::UserRole + 2;

    explicit ChangeMarkModel(QObject* parent = nullptr);

    // Marks the rows `changes` name, in place of any earlier marks. Row k + 1 of the
    // source holds after[k] (row 0 is the header); where an address is there twice,
    // its first row is the one compared.
    void setChanges(const std::vector<ListChange>& changes, const QList<AddressEntry>& after);
    void clearMarks();
    void setVendors(std::shared_ptr<const VendorRegistry> vendors);
    int markCount() const { return int(m_marks.size()); }

    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    void refresh(const QList<int>& rows);
    QVariant toolTip(const QModelIndex& index) const;

    QHash<int, ListChange> m_marks;                  // by source row
    std::shared_ptr<const VendorRegistry> m_vendors; // none until loaded
};

// What a mark says, e.g. "MAC変更（前回: 00-11-22-33-44-55）": the tooltip, and what a
// screen reader hears with the row.
QString changeMarkText(const ListChange& change);
