#include "cli/SurveyCommand.h"

#include "survey/OctetValue.h"

#include <optional>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString kSurvey = u"--survey"_s;
const QString kResurvey = u"--resurvey"_s;
const QString kCsv = u"--csv"_s;
const QString kLog = u"--log"_s;
const QString kQuiet = u"--quiet"_s;

bool isSurveyOption(const QString& argument)
{
    const QString name = argument.section(u'=', 0, 0);
    return name == kSurvey || name == kResurvey || name == kCsv || name == kLog || name == kQuiet ||
           name == u"-q"_s;
}

// Up to three decimal digits, nothing else: a command line is no place for the
// window's forgiving reading of its boxes.
std::optional<int> plainOctet(QStringView text)
{
    if (text.isEmpty() || text.size() > 3)
        return std::nullopt;
    for (QChar c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
    }
    return text.toInt();
}

QString rangeError(const QString& japanese, const QString& english, const QString& range)
{
    return japanese + u": "_s + range + u" / "_s + english + u": "_s + range;
}

} // namespace

void parseSurveyRange(const QString& text, SurveyCommand& command)
{
    const QStringList ends = text.split(u'-');
    QStringList from = ends.value(0).split(u'.');
    QStringList to = ends.value(1).split(u'.');
    // "192.168.1.1-254": the last address gives only its last octet.
    if (ends.size() == 2 && to.size() == 1 && from.size() == 4)
        to = from.mid(0, 3) + to;
    if (ends.size() != 2 || from.size() != 4 || to.size() != 4) {
        command.error = rangeError(u"範囲の形が正しくありません（例 192.168.1.1-254）"_s,
                                   u"not a range (e.g. 192.168.1.1-254)"_s, text);
        return;
    }
    // The window's eight boxes: 0 to 3 the first address, 4 to 7 the last.
    const QStringList boxes = from + to;
    for (int index = 0; index < 8; ++index) {
        const std::optional<int> value = plainOctet(boxes.at(index));
        if (!value || !OctetValue::inRange(index, *value)) {
            command.error =
                rangeError(u"範囲外のオクテットがあります（最初の 3 つは 0〜255、最後は 1〜254）"_s,
                           u"an octet is out of range (0 to 255, the last one 1 to 254)"_s, text);
            return;
        }
    }
    for (int index = 0; index < 3; ++index) {
        if (plainOctet(from.at(index)) != plainOctet(to.at(index))) {
            command.error = rangeError(u"始めと終わりの最初の 3 オクテットが違います"_s,
                                       u"the first three octets differ"_s, text);
            return;
        }
    }
    const int first = *plainOctet(from.at(3));
    const int last = *plainOctet(to.at(3));
    if (first > last) {
        command.error = rangeError(u"範囲の始めが終わりより後です"_s,
                                   u"the range starts after it ends"_s, text);
        return;
    }
    command.hasRange = true;
    command.prefix = OctetValue::prefixText(from.at(0), from.at(1), from.at(2));
    command.first = first;
    command.last = last;
}

SurveyCommand parseSurveyCommand(const QStringList& arguments)
{
    SurveyCommand command;
    bool anySurveyOption = false;
    for (const QString& argument : arguments)
        anySurveyOption = anySurveyOption || isSurveyOption(argument);
    if (!anySurveyOption)
        return command;

    const auto fail = [&command](const QString& japanese, const QString& english) {
        command.error = japanese + u" / "_s + english;
        return command;
    };
    QString range;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        const qsizetype equals = argument.startsWith(u"--"_s) ? argument.indexOf(u'=') : -1;
        const QString name = equals < 0 ? argument : argument.left(equals);
        const bool inlineValue = equals >= 0;
        // The value of an option that takes one: after "=", or the next argument.
        const auto value = [&](bool optional) -> std::optional<QString> {
            if (inlineValue)
                return argument.mid(equals + 1);
            if (i + 1 < arguments.size() && !arguments.at(i + 1).startsWith(u'-'))
                return arguments.at(++i);
            if (optional)
                return QString();
            return std::nullopt;
        };

        if (name == kSurvey || name == kResurvey) {
            const SurveyCommand::Mode mode =
                name == kSurvey ? SurveyCommand::Mode::Survey : SurveyCommand::Mode::Resurvey;
            if (command.mode != SurveyCommand::Mode::Window && command.mode != mode)
                return fail(u"--survey と --resurvey は一緒に使えません"_s,
                            u"--survey and --resurvey cannot be used together"_s);
            command.mode = mode;
            const std::optional<QString> given = value(mode == SurveyCommand::Mode::Survey);
            if (!given || (mode == SurveyCommand::Mode::Resurvey && given->isEmpty()))
                return fail(name + u" にはファイル名が必要です"_s, name + u" needs a file name"_s);
            if (mode == SurveyCommand::Mode::Survey)
                range = *given;
            else
                command.resurveyFile = *given;
        } else if (name == kCsv) {
            const std::optional<QString> given = value(false);
            if (!given || given->isEmpty())
                return fail(u"--csv にはファイル名が必要です"_s, u"--csv needs a file name"_s);
            command.csvFile = *given;
        } else if ((name == kLog || name == kQuiet || name == u"-q"_s) && !inlineValue) {
            (name == kLog ? command.log : command.quiet) = true;
        } else if (argument.startsWith(u'-')) {
            return fail(u"不明なオプションです: "_s + argument, u"unknown option: "_s + argument);
        } else {
            return fail(u"余分な引数です: "_s + argument, u"unexpected argument: "_s + argument);
        }
    }

    if (command.mode == SurveyCommand::Mode::Window)
        return fail(u"--csv・--log・--quiet は --survey か --resurvey と使います"_s,
                    u"--csv, --log and --quiet go with --survey or --resurvey"_s);
    if (!range.isEmpty())
        parseSurveyRange(range, command);
    return command;
}

QString surveyCommandHelp()
{
    return u"コマンドラインでの調査 / Survey from the command line (no window, no display "
           u"needed):\n"
           "  --survey [FIRST-LAST]  FIRST から LAST まで調査（例 "
           "192.168.1.1-254）。省略時は自分の /24 の"
           " .1〜.254\n"
           "                         survey FIRST to LAST (e.g. 192.168.1.1-254); without a range,"
           " the PC's own /24, .1 to .254\n"
           "  --resurvey FILE        CSV "
           "ファイルの空欄のある行だけ再調査して同じファイルへ書き戻す\n"
           "                         survey again the rows of a CSV file with a blank name or MAC,"
           " and write it back\n"
           "  --csv FILE             一覧をこのプログラムの CSV 形式で書く（--resurvey "
           "では書き戻し先）\n"
           "                         write the list in the program's CSV format (for --resurvey:"
           " instead of FILE)\n"
           "  --log                  "
           "一覧を履歴ファイルにも書く（次回ウィンドウ起動時に読み込まれる）\n"
           "                         also write the list as the history log the window loads next\n"
           "  --quiet, -q            端末に進み具合を表示しない / no progress line on the "
           "terminal\n"
           "\n"
           "  --survey で --csv がなければ行を標準出力へ（IP、名前、MAC をタブ区切り、UTF-8）。\n"
           "  --survey without --csv puts the rows on standard output: address, name and MAC,"
           " tab-separated, UTF-8.\n"
           "  終了状態 / exit status: 0 調査した / surveyed, 1 ツールがない・書けない / probes"
           " unavailable or output not written,\n"
           "  2 使い方の誤り / usage error, 130 Ctrl+C・143 SIGTERM で中止 / cancelled (rows so far"
           " are written).\n"_s;
}
