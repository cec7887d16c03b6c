#pragma once

#include "probes/NetworkProbes.h"
#include "store/MetricsFile.h"
#include "store/VendorRegistry.h"
#include "survey/AddressList.h"
#include "survey/AddressRanges.h"
#include "survey/ListChanges.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

#include <vector>

// What scripts and monitoring read of a survey: JSON lines on standard output, and the
// metrics file. Both carry what the rows and the files keep no room for: who made each
// MAC, and how each host showed it was there.

// How this run's probes saw each address, only those seen (the engine's rowAdded).
using Presences = QHash<QString, Presence>;

// A host counts as live with a MAC (the neighbour table's, or the PC's own) or once this
// run saw it: a host beyond a router answers the echo without one.
bool isLive(const AddressEntry& entry, Presence presence);

// One JSON object and a line feed, UTF-8, every text escaped by Qt's JSON writer:
// address, name, mac and vendor always (empty when unknown, as the tab-separated fields
// are), found ("echo" or "arp") only for a host this run saw.
QByteArray jsonRow(const AddressEntry& entry, Presence presence, const VendorRegistry& vendors);
// The row now as jsonRow gives it, with the change's kind and the row before (address,
// name, mac, vendor) as "before": for a moved device its old address.
QByteArray jsonChange(const ListChange& change, Presence presence, const VendorRegistry& vendors);

// The ranges and live hosts of a new survey of `ranges`, whose rows came in their
// addresses' order; a cancelled survey's rows reach only part of them. The time and
// the changes are the caller's to add.
SurveyMetrics surveyMetrics(const std::vector<AddressRanges::Range>& ranges,
                            const QList<AddressEntry>& rows, const Presences& presences,
                            const VendorRegistry& vendors);
