#include "store/SharedLog.h"

#include "store/HistoryLog.h"
#include "survey/AddressList.h"
#include "text/FileOwner.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <tuple>
#include <vector>

using namespace Qt::Literals::StringLiterals;

namespace {

// The note of kept copies, beside the log: the copies' names, one a line. Names, not
// paths: a copy lies beside the log, and its name is plain ASCII, which the note's
// code page holds whatever the folder's path ("/home/josé").
QString notePath(const QString& logPath)
{
    return logPath + u".kept"_s;
}

// The names of the program's own copies beside the log, "Netroscope-20261207-210501.csv":
// the log's name, the date and time, "-2", "-3"... for a second one within the second,
// ".log" for bytes that are no list. Group 1 is the stamp, group 2 the number.
QRegularExpression copyForm(const QFileInfo& log)
{
    return QRegularExpression(u"^"_s + QRegularExpression::escape(log.completeBaseName()) +
                              u"-([0-9]{8}-[0-9]{6})(?:-([0-9]+))?\\.(?:csv|log)$"_s);
}

// Keeps the list now in the log as a new file beside it: as CSV, so that 「インポート」
// brings it back, or byte for byte when it is no list that can be read. The file is
// made new under a free name, never opened where something is already (a link another
// user put at the name would lead the copy anywhere), and it is no more open to others
// than the log whose list it keeps.
QString keepCopy(const QString& logPath, const QDateTime& at)
{
    const QFileInfo log(logPath);
    const TextFile::ReadResult other = TextFile::read(logPath);
    const QByteArray csv =
        other.ok ? TextFile::encode(QStringList{AddressList::csvHeader()} + other.lines)
                 : QByteArray();
    const QString stamp = log.completeBaseName() + u'-' + at.toString(u"yyyyMMdd-HHmmss"_s);
    const QString suffix = other.ok ? u".csv"_s : u".log"_s;
    for (int n = 1; n <= 100; ++n) {
        const QString path = log.absoluteDir().filePath(
            stamp + (n > 1 ? u'-' + QString::number(n) : QString()) + suffix);
        const TextFile::WriteResult made =
            other.ok ? TextFile::createNew(path, csv, log.permissions())
                     : TextFile::copyNew(logPath, path, log.permissions());
        if (made.ok)
            return path;
        // Taken: the next number. Otherwise no name would do better.
        const QFileInfo taken(path);
        if (!taken.exists() && !taken.isSymbolicLink())
            break;
    }
    return {};
}

// Only the newest kKeptCopies of the program's own copies stay: regular files of their
// exact name form that are the user's own. The copy just made stays whatever the
// others' names say, as a clock set back or the hour that repeats when daylight
// saving ends (the stamps are local time) may name older copies later. Another user's
// files and links, and the user's own files of other names, are none of its business.
void pruneCopies(const QString& logPath, const QString& justMade)
{
    const QFileInfo log(logPath);
    const QRegularExpression form = copyForm(log);
    struct Copy {
        QString stamp;
        int number;
        QString path;
    };
    std::vector<Copy> copies;
    const QFileInfoList entries = log.absoluteDir().entryInfoList(QDir::Files | QDir::Hidden);
    for (const QFileInfo& entry : entries) {
        const QRegularExpressionMatch name = form.match(entry.fileName());
        if (name.hasMatch() && !entry.isSymbolicLink() &&
            entry.fileName() != QFileInfo(justMade).fileName() &&
            FileOwner::isOwn(entry.filePath()))
            copies.push_back(
                {name.captured(1), std::max(1, name.captured(2).toInt()), entry.filePath()});
    }
    std::sort(copies.begin(), copies.end(), [](const Copy& a, const Copy& b) {
        return std::tie(a.stamp, a.number) > std::tie(b.stamp, b.number);
    });
    for (std::size_t k = kKeptCopies - 1; k < copies.size(); ++k)
        TextFile::remove(copies[k].path);
}

void noteCopy(const QString& logPath, const QString& copy)
{
    const TextFile::ReadResult note = TextFile::read(notePath(logPath));
    QStringList names = note.ok ? note.lines : QStringList();
    names.append(QFileInfo(copy).fileName());
    TextFile::write(notePath(logPath), names);
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
                           const LogFingerprint& lastSeen, bool listChanged, const QDateTime& at)
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
            // Neither kept nor overwritten at another user's link or file: the copy would
            // be of whatever it leads to, and the save would fail all the same.
            const TextFile::Target target = TextFile::writeTarget(logPath);
            if (!target.error.isEmpty()) {
                result.written.error = target.error;
                return result;
            }
            result.keptCopy = keepCopy(logPath, at);
            if (result.keptCopy.isEmpty()) {
                result.written.error =
                    u"ほかのプログラムが書いた一覧を残せないため、上書きしません"_s;
                return result;
            }
            noteCopy(logPath, result.keptCopy);
            pruneCopies(logPath, result.keptCopy);
        }
    }
    result.written = subLogSave(lstDat2, logPath);
    result.seen = fingerprintOf(logPath);
    return result;
}

QStringList takeKeptCopies(const QString& logPath)
{
    // Only the user's own note: another's could name any file as a list kept.
    const QString note = notePath(logPath);
    const TextFile::ReadResult names =
        FileOwner::isOwn(note) ? TextFile::read(note) : TextFile::ReadResult();
    TextFile::remove(note);
    // Only copies still there: an old one may have been pruned meanwhile. A note of an
    // older version held whole paths in the code page: their names still find them.
    const QFileInfo log(logPath);
    const QRegularExpression form = copyForm(log);
    QStringList kept;
    for (const QString& line : names.lines) {
        const QString name = QFileInfo(line).fileName();
        const QString path = log.absoluteDir().filePath(name);
        if (form.match(name).hasMatch() && QFileInfo(path).isFile())
            kept.append(QDir::toNativeSeparators(path));
    }
    return kept;
}

QString keptCopiesNotice(const QStringList& copies)
{
    // Only a CSV copy is a list that the import reads; a ".log" copy holds the bytes of
    // a log that could not be read as one.
    const auto lists = std::count_if(copies.begin(), copies.end(), [](const QString& copy) {
        return copy.endsWith(u".csv"_s, Qt::CaseInsensitive);
    });
    QString whatTheyAre = u"（「インポート」で読み込めます）"_s;
    if (lists == 0)
        whatTheyAre = u"（一覧として読めなかった履歴ファイルをそのまま残したもので、"
                      u"「インポート」では読み込めません）"_s;
    else if (lists < copies.size())
        whatTheyAre = u"（.csv のファイルは「インポート」で読み込めます。.log のファイルは、"
                      u"一覧として読めなかった履歴ファイルをそのまま残したものです）"_s;
    return u"前回の終了時、履歴ファイルはほかのプログラムにも書き換えられていました。"
           u"このウィンドウの一覧を履歴ファイルに保存し、ほかのプログラムの一覧は"
           u"次のファイルに残しました"_s +
           whatTheyAre + u"。\r\n"_s + copies.join(u"\r\n"_s);
}
