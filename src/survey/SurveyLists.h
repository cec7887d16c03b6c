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
// and re-surveyed) and lstDat3 (the re-survey's copy of lstDat2). Item k of lstData and
// item k of lstDat2 always describe the same entry; item 0 of each is its header.
class SurveyLists {
public:
    SurveyLists();
    SurveyLists(const SurveyLists&) = delete;
    SurveyLists& operator=(const SurveyLists&) = delete;

    SurveyListModel* lstData() { return &m_data; }
    const SurveyListModel* lstData() const { return &m_data; }
    const QStringList& lstDataRows() const { return m_data.rows(); }
    const QStringList& lstDat2() const { return m_dat2; }
    const QStringList& lstDat3() const { return m_dat3; }

    // Items of lstData, the header included (0 only before the first reset).
    int count() const { return int(m_data.rows().size()); }
    // Entries below the headers.
    int entryCount() const { return count() > 1 ? count() - 1 : 0; }

    // Clears lstData and lstDat2 and adds their header rows.
    void resetToHeaders();
    // One entry, to both lists.
    void append(const QString& ip, const QString& host, const QString& mac);
    void append(const AddressEntry& entry) { append(entry.ip, entry.host, entry.mac); }

    // Both lists, headers first, for stored data rows (a log or a CSV file as read):
    // each data row kept exactly as it is, its display row built from its first three
    // fields. Touches no list, so that a long file can be prepared off the GUI thread.
    struct Content {
        QStringList lstData;
        QStringList lstDat2;
    };
    static Content fromStored(QStringList dataRows);
    // Replaces both lists with prepared content. Should the two lists differ in
    // length, the longer one is cut so that the pairing holds.
    void replace(Content content);
    void replaceWithStored(QStringList dataRows) { replace(fromStored(std::move(dataRows))); }

    // The re-survey's first step: lstDat3 becomes a copy of lstDat2.
    void copyDat2ToDat3() { m_dat3 = m_dat2; }

private:
    SurveyListModel m_data;
    QStringList m_dat2;
    QStringList m_dat3;
};
