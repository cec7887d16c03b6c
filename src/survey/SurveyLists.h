#pragma once

#include "survey/AddressList.h"

#include <QAbstractListModel>
#include <QStringList>

// lstData as the list view shows it: one display row per item, the header first.
// Appending adds one row without touching the others, so a long list stays cheap to
// grow and to show (the view should use uniform item sizes).
class SurveyListModel : public QAbstractListModel {
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    const QStringList& rows() const { return m_rows; }
    void append(const QString& row);
    void replace(const QStringList& rows);

private:
    QStringList m_rows;
};

// The survey's three lists: lstData (display rows, shown), lstDat2 (data rows, saved
// and re-surveyed) and lstDat3 (the re-survey's copy of lstDat2), and beside them the
// entries as values (what comparisons and re-surveys read, so that no one parses rows
// back). Item k of lstData and item k of lstDat2 always describe the same entry, item
// k - 1 of entries(); item 0 of each list is its header.
//
// The data rows are kept, and not made from the entries where they are written, because
// an entry cannot give back every stored row: a row of an older file or one edited by
// hand may hold more than three fields, or fewer commas, and goes back into the file
// exactly as it was read.
class SurveyLists {
public:
    // Whether a view shows the list: one that none shows (the command line's) makes no
    // display rows, which are the costliest to build, and lstData stays empty.
    enum class View { Shown, None };

    explicit SurveyLists(View view = View::Shown);
    SurveyLists(const SurveyLists&) = delete;
    SurveyLists& operator=(const SurveyLists&) = delete;

    SurveyListModel* lstData() { return &m_data; }
    const SurveyListModel* lstData() const { return &m_data; }
    const QStringList& lstDataRows() const { return m_data.rows(); }
    const QStringList& lstDat2() const { return m_dat2; }
    const QStringList& lstDat3() const { return m_dat3; }
    // The entries below the headers, each as its data row reads back (SplitCsvRow).
    const QList<AddressEntry>& entries() const { return m_entries; }
    // lstDat2 with `more` entries after its rows, as append() would have made them.
    QStringList lstDat2With(const QList<AddressEntry>& more) const;

    // Items of lstDat2, and of lstData when shown, the header included (0 only before
    // the first reset).
    int count() const { return int(m_dat2.size()); }
    // Entries below the headers.
    int entryCount() const { return count() > 1 ? count() - 1 : 0; }

    // Clears the lists and the entries and adds their header rows.
    void resetToHeaders();
    // One entry, to every list.
    void append(const AddressEntry& entry);
    void append(const QString& ip, const QString& host, const QString& mac)
    {
        append({ip, host, mac});
    }

    // The lists, headers first, for stored data rows (a log or a CSV file as read):
    // each data row kept exactly as it is, its entry and its display row (unless no
    // view shows the list) made from its first three fields, the row parsed once.
    // Touches no list, so that a long file can be prepared off the GUI thread.
    struct Content {
        QStringList lstData;
        QStringList lstDat2;
        QList<AddressEntry> entries = {}; // item k is that of lstDat2's item k + 1
    };
    static Content fromStored(QStringList dataRows, View view = View::Shown);
    // Replaces the lists with prepared content. Should the two lists differ in length,
    // the longer one is cut so that the pairing holds; entries the content lacks are
    // parsed from its data rows.
    void replace(Content content);
    void replaceWithStored(QStringList dataRows)
    {
        replace(fromStored(std::move(dataRows), m_view));
    }

    // The re-survey's first step: lstDat3 becomes a copy of lstDat2.
    void copyDat2ToDat3() { m_dat3 = m_dat2; }

private:
    View m_view;
    SurveyListModel m_data;
    QStringList m_dat2;
    QStringList m_dat3;
    QList<AddressEntry> m_entries;
};
