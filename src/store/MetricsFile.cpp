#include "store/MetricsFile.h"

#include <QFile>
#include <QStringList>

#include <algorithm>
#include <initializer_list>
#include <utility>

using namespace Qt::Literals::StringLiterals;

namespace {

// A label value as the format reads it back: only the backslash, the double quote and
// the line feed are escaped. A name from the LAN is data, never the end of a label.
QString labelValue(const QString& value)
{
    QString escaped;
    escaped.reserve(value.size());
    for (const QChar c : value) {
        if (c == u'\\')
            escaped += u"\\\\"_s;
        else if (c == u'"')
            escaped += u"\\\""_s;
        else if (c == u'\n')
            escaped += u"\\n"_s;
        else
            escaped += c;
    }
    return escaped;
}

class Exposition {
public:
    // Every family is a gauge: each value is what the last survey saw.
    void family(const char16_t* name, const char16_t* help)
    {
        m_name = QString::fromUtf16(name);
        m_text += u"# HELP "_s + m_name + u' ' + QString::fromUtf16(help) + u'\n';
        m_text += u"# TYPE "_s + m_name + u" gauge\n"_s;
    }

    void sample(std::initializer_list<std::pair<const char16_t*, QString>> labels,
                const QString& value)
    {
        m_text += m_name;
        if (labels.size() != 0) {
            QStringList pairs;
            for (const auto& [label, text] : labels)
                pairs << QString::fromUtf16(label) + u"=\""_s + labelValue(text) + u'"';
            m_text += u'{' + pairs.join(u',') + u'}';
        }
        m_text += u' ' + value + u'\n';
    }

    QByteArray bytes() const { return m_text.toUtf8(); }

private:
    QString m_name;
    QString m_text;
};

QString seconds(qint64 msecs)
{
    return QString::number(double(msecs) / 1000.0, 'f', 3);
}

} // namespace

QByteArray metricsText(const SurveyMetrics& metrics)
{
    Exposition out;
    out.family(u"netroscope_survey_start_timestamp_seconds",
               u"When the last survey began, in seconds since 1970 (UTC).");
    out.sample({}, seconds(metrics.startedMsecs));
    out.family(u"netroscope_survey_duration_seconds", u"How long the last survey took.");
    out.sample({}, seconds(metrics.durationMsecs));

    out.family(u"netroscope_survey_addresses",
               u"Addresses of each range that the survey reached (all unless it was cancelled).");
    for (const SurveyMetrics::Range& range : metrics.ranges)
        out.sample({{u"range", range.label}}, QString::number(range.addresses));
    out.family(u"netroscope_survey_hosts",
               u"Live hosts of each range: with a MAC address, or answering the survey.");
    for (const SurveyMetrics::Range& range : metrics.ranges)
        out.sample({{u"range", range.label}}, QString::number(range.hosts));

    out.family(u"netroscope_host_up",
               u"A live host of the last survey, with its MAC address, name and maker.");
    for (const SurveyMetrics::Host& host : metrics.hosts)
        out.sample({{u"address", host.entry.ip},
                    {u"mac", host.entry.mac},
                    {u"name", host.entry.host},
                    {u"vendor", host.vendor}},
                   u"1"_s);

    if (metrics.changes) {
        out.family(u"netroscope_changes",
                   u"Changes since the list before, by kind; every kind, also when none.");
        for (const ListChange::Kind kind :
             {ListChange::Kind::New, ListChange::Kind::Gone, ListChange::Kind::Changed,
              ListChange::Kind::Renamed, ListChange::Kind::Moved}) {
            const auto count =
                std::count_if(metrics.changes->cbegin(), metrics.changes->cend(),
                              [kind](const ListChange& change) { return change.kind == kind; });
            out.sample({{u"kind", changeKindWord(kind)}}, QString::number(count));
        }
    }
    return out.bytes();
}

TextFile::WriteResult writeMetrics(const QString& path, const SurveyMetrics& metrics)
{
    return TextFile::replace(path, metricsText(metrics),
                             QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                 QFile::ReadOther);
}
