#pragma once

#include "survey/AddressList.h"

#include <QList>
#include <QString>

#include <vector>

// What changed on the LAN between two lists: the list before a survey (the history
// log, or the window's list when the run began) and the list after it.
struct ListChange {
    enum class Kind {
        New,     // a MAC now, and none (or no row) before
        Gone,    // a MAC before, and none now
        Changed, // another MAC at the same address: another device took it
        Renamed, // the same MAC under another name
        Moved,   // the MAC gone from one address and new at another: one device
    };
    Kind kind = Kind::New;
    AddressEntry now;    // the row after the run (for Moved: at its new address)
    AddressEntry before; // the row before (for New: empty but the address when there
                         // was none; for Moved: the row at its old address)
    // The device's MAC (now's, or before's for Gone) has the locally administered bit
    // set: a randomised phone address, or one set by hand, proves little about who it is.
    bool localMac = false;

    friend bool operator==(const ListChange&, const ListChange&) = default;
};

// The changes from `before` to `after`, in the order of `after`'s rows. Only addresses
// that `after` holds are judged: an address the run did not survey has not changed.
// MACs compare in any case and with ":" or "-", names without regard to case and as
// the log keeps them (TextFile::asKept); a name blank on either side (a host that did
// not answer in time) is no rename.
// Where a hand-edited list holds an address twice, its first row counts; where a MAC
// went from several addresses, the move takes the first of them in `before`'s order.
std::vector<ListChange> compareLists(const QList<AddressEntry>& before,
                                     const QList<AddressEntry>& after);

// The entries of a stored file's data rows (no header), each row parsed once where it
// is read; a list's own are SurveyLists::entries().
QList<AddressEntry> entriesOf(const QStringList& dataRows);

// "new", "gone", "changed", "renamed", "moved": the command line's words for a kind.
QString changeKindWord(ListChange::Kind kind);
