#include "store/SharedLog.h"

#include "store/CsvExport.h"
#include "store/HistoryLog.h"
#include "survey/AddressList.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace Qt::Literals::StringLiterals;

namespace {

// The note of kept copies, beside the log: one path per line.
QString notePath(const QString& logPath)
{
    return logPath + u".kept"_s;
}

// A new dated name beside the log, "Netroscope-20261207-210501.csv".
QString copyPath(const QFileInfo& log, const QString& suffix)
{
    const QString stamp = QDateTime::currentDateTime().toString(u"yyyyMMdd-HHmmss"_s);
    const QDir folder = log.absoluteDir();
    QString path = folder.filePath(log.completeBaseName() + u'-' + stamp + suffix);
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = folder.filePath(log.completeBaseName() + u'-' + stamp + u'-' + QString::number(n) +
                               suffix);
    return path;
}

// Keeps the list now in the log as a file of its own: as CSV, so that 「インポート」
// brings it back, or byte for byte when it is no list that can be read.
QString keepCopy(const QString& logPath)
{
    const QFileInfo log(logPath);
    const TextFile::ReadResult other = TextFile::read(logPath);
    if (other.ok) {
        const QString path = copyPath(log, u".csv"_s);
        return writeCsvExport(QStringList{AddressList::csvHeader()} + other.lines, path).ok
                   ? path
                   : QString();
    }
    const QString path = copyPath(log, u".log"_s);
    return QFile::copy(logPath, path) ? path : QString();
}

// Only the newest kKeptCopies stay; the names sort by their dates.
void pruneCopies(const QString& logPath)
{
    const QFileInfo log(logPath);
    QDir folder = log.absoluteDir();
    // "Netroscope-" and a date of eight digits, "-" and a time of six.
    const QString dated =
        log.completeBaseName() + u'-' + QString(8, u'?') + u'-' + QString(6, u'?') + u'*';
    const QStringList copies = folder.entryList({dated}, QDir::Files | QDir::Hidden, QDir::Name);
    for (qsizetype k = 0; k + kKeptCopies < copies.size(); ++k)
        folder.remove(copies.at(k));
}

void noteCopy(const QString& logPath, const QString& copy)
{
    const TextFile::ReadResult note = TextFile::read(notePath(logPath));
    QStringList paths = note.ok ? note.lines : QStringList();
    paths.append(QDir::toNativeSeparators(copy));
    TextFile::write(notePath(logPath), paths);
}

} // namespace

LogFingerprint fingerprintOf(const QString& path)
{
    LogFingerprint fingerprint;
    const QFileInfo info(path);
    QFile file(path);
    if (!info.isFile() || !file.open(QIODevice::ReadOnly))
        return fingerprint;
    fingerprint.exists = true;
    fingerprint.size = info.size();
    QCryptographicHash hash(QCryptographicHash::Sha1);
    hash.addData(&file);
    fingerprint.hash = hash.result();
    return fingerprint;
}

GuardedSave saveLogGuarded(const QStringList& lstDat2, const QString& logPath,
                           const LogFingerprint& lastSeen, bool listChanged)
{
    GuardedSave result;
    const LogFingerprint now = fingerprintOf(logPath);
    if (!now.sameContent(lastSeen)) {
        if (!listChanged) {
            result.leftNewer = true;
            result.written.ok = true;
            return result;
        }
        if (now.exists) {
            result.keptCopy = keepCopy(logPath);
            if (result.keptCopy.isEmpty()) {
                result.written.error =
                    u"ほかのプログラムが書いた一覧を残せないため、上書きしません"_s;
                return result;
            }
            noteCopy(logPath, result.keptCopy);
            pruneCopies(logPath);
        }
    }
    result.written = subLogSave(lstDat2, logPath);
    result.seen = fingerprintOf(logPath);
    return result;
}

QStringList takeKeptCopies(const QString& logPath)
{
    const TextFile::ReadResult note = TextFile::read(notePath(logPath));
    TextFile::remove(notePath(logPath));
    if (!note.ok)
        return {};
    // Only those still there: an old one may have been pruned meanwhile.
    QStringList kept;
    for (const QString& path : note.lines) {
        if (QFileInfo::exists(path))
            kept.append(path);
    }
    return kept;
}
