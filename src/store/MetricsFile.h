#pragma once

#include "survey/AddressList.h"
#include "survey/ListChanges.h"
#include "text/TextFile.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

// One survey for a monitoring system, in Prometheus's text exposition format, as a node
// exporter's textfile collector reads it from its folder every scrape. A run with nothing
// new gives the same series with the same values, bar the run's own time and duration: a
// graph or an alert moves only when the LAN does.
struct SurveyMetrics {
    qint64 startedMsecs = 0; // since 1970, UTC
    qint64 durationMsecs = 0;
    struct Range {
        QString label;         // AddressRanges::text
        quint64 addresses = 0; // those the survey reached: all, unless it was cancelled
        quint64 hosts = 0;     // live hosts among them
    };
    std::vector<Range> ranges;
    struct Host {
        AddressEntry entry;
        QString vendor;
    };
    std::vector<Host> hosts; // the live hosts, in address order
    // What --changes found; none when nothing was compared or the list before could not
    // be read, so that a failed comparison shows as missing rather than as a quiet night.
    std::optional<std::vector<ListChange>> changes;
};

// The file's text: UTF-8, LF, every family with its HELP and TYPE, label values escaped.
QByteArray metricsText(const SurveyMetrics& metrics);

// Written whole or not at all, as every file of the program is (a scrape must never read
// half a file), and readable by everybody: the exporter runs as a user of its own.
TextFile::WriteResult writeMetrics(const QString& path, const SurveyMetrics& metrics);
