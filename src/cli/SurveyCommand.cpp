#include "cli/SurveyCommand.h"

#include <QCommandLineParser>

#include <utility>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString kSurvey = u"survey"_s;
const QString kResurvey = u"resurvey"_s;
const QString kCsv = u"csv"_s;
const QString kLog = u"log"_s;
const QString kQuiet = u"quiet"_s;
const QString kChanges = u"changes"_s;
const QString kAgainst = u"against"_s;
const QString kVendor = u"vendor"_s;
const QString kJson = u"json"_s;
const QString kMetrics = u"metrics"_s;
const QString kHelp = u"help"_s;
const QString kVersion = u"version"_s;
// The range of --survey that stands for every network the PC is attached to.
const QString kAttached = u"attached"_s;

// Qt's own options for the window (QGuiApplication and QApplication take them when the
// application object is made). They are known here so that they are neither unknown
// options nor survey ranges, and hidden from the help, which is about the program.
struct QtOption {
    const char16_t* name;
    bool takesValue;
};
constexpr QtOption kQtOptions[] = {
    {u"platform", true},      {u"platformpluginpath", true},
    {u"platformtheme", true}, {u"plugin", true},
    {u"qmljsdebugger", true}, {u"qwindowgeometry", true},
    {u"qwindowicon", true},   {u"qwindowtitle", true},
    {u"session", true},       {u"display", true},
    {u"geometry", true},      {u"style", true},
    {u"stylesheet", true},    {u"reverse", false},
    {u"widgetcount", false},  {u"nograb", false},
    {u"dograb", false},
};

void declareOptions(QCommandLineParser& parser)
{
    // Qt's options have a single dash ("-platform"); ours are taken with one or two.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addOptions({
        {kSurvey,
         u"範囲を調査: 192.168.1.1-254、10.1.0.1-10.1.3.254（/24 をまたいでよい）、"
         "192.168.4.0/"
         "22（ネットワークとブロードキャストのアドレスは除く）、10.9.8.7、それらのカンマ区切り、"
         "attached（接続中のネットワークすべて）。合わせて /16 まで。省略時は自分の /24 の "
         ".1～.254\n"
         "survey RANGES: 192.168.1.1-254, 10.1.0.1-10.1.3.254 (across /24s), 192.168.4.0/22 "
         "(without its network and broadcast addresses), 10.9.8.7, several of these joined by "
         "commas, or "
         "attached (every network the PC is on); at most a /16 in all. Without them, the PC's "
         "own /24, .1 to .254"_s},
        {kResurvey,
         u"CSV ファイルの空欄のある行だけ再調査して同じファイルへ同じ形式で書き戻す\n"
         "survey again the rows of a file with a blank name or MAC, and write it back as it "
         "was read"_s,
         u"FILE"_s},
        {kCsv,
         u"一覧をこのプログラムの CSV 形式で書く（--resurvey では書き戻し先）\n"
         "write the list in the program's CSV format (for --resurvey: instead of FILE)"_s,
         u"FILE"_s},
        {kLog, u"一覧を履歴ファイルにも書く（次回ウィンドウ起動時に読み込まれる。ウィンドウで"
               "開かれている間は書かない）\n"
               "also write the list as the history log the window loads next (not while a "
               "window has it open)"_s},
        {kChanges, u"一覧の代わりに、履歴ファイルの一覧からの変化を 1 "
                   u"行ずつ標準出力へ（変化があれば終了状態 3）\n"
                   "print what changed since the list in the history log instead of the rows (exit "
                   "status 3 when something did)"_s},
        {kAgainst,
         u"--changes の比較相手を履歴ファイルでなくこの CSV・ログファイルにする（書き換えない）\n"
         "compare with this CSV or log file instead of the history log (implies --changes; "
         "the file is not written)"_s,
         u"FILE"_s},
        {kVendor, u"標準出力の行に 4 つ目の欄としてメーカー名を付ける（IEEE の登録簿による。"
                  u"ローカル/ランダムな MAC はその旨）\n"
                  "add a fourth field to the rows on standard output: who made the network card "
                  "(from the IEEE registries), or that the MAC is locally administered"_s},
        {kJson, u"行（--changes では変化）を 1 行 1 つの JSON オブジェクトで標準出力へ（JSON "
                u"Lines、UTF-8。メーカー名と見つけ方つき）\n"
                "print the rows (with --changes the changes) as one JSON object a line (JSON "
                "Lines, UTF-8), with the maker and how each host was found"_s},
        {kMetrics,
         u"調査結果を Prometheus のテキスト形式でこのファイルへ（丸ごと置き換え。node exporter の "
         u"textfile collector 向け）\n"
         "write the survey to FILE in Prometheus's text format, replaced whole (for node "
         "exporter's textfile collector)"_s,
         u"FILE"_s},
        {{u"q"_s, kQuiet}, u"端末に進み具合を表示しない\nno progress line on the terminal"_s},
        {{u"h"_s, u"?"_s, kHelp}, u"この説明を表示 / show this help"_s},
        {{u"v"_s, kVersion}, u"バージョンを表示 / show the version"_s},
    });
    parser.addPositionalArgument(u"RANGES"_s, u"--survey の範囲 / the ranges of --survey"_s,
                                 u"[RANGES]"_s);
    for (const QtOption& qt : kQtOptions) {
        QCommandLineOption option(QString::fromUtf16(qt.name));
        if (qt.takesValue)
            option.setValueName(u"value"_s);
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
}

QString bilingual(const QString& japanese, const QString& english)
{
    return japanese + u" / "_s + english;
}

// The option name an argument gives: "--csv=a.csv" and "-csv" both give "csv".
QString optionName(const QString& argument)
{
    qsizetype start = 0;
    while (start < argument.size() && start < 2 && argument.at(start) == u'-')
        ++start;
    return argument.mid(start).section(u'=', 0, 0);
}

// An unknown option as the user typed it, so that the message shows what to correct.
QString asGiven(const QString& name, const QStringList& arguments)
{
    for (const QString& argument : arguments.mid(1)) {
        if (argument.startsWith(u'-') && optionName(argument) == name)
            return argument;
    }
    return u"--"_s + name;
}

QString parseError(const QCommandLineParser& parser, const QStringList& arguments)
{
    const QStringList unknown = parser.unknownOptionNames();
    if (!unknown.isEmpty()) {
        const QString given = asGiven(unknown.first(), arguments);
        return bilingual(u"不明なオプションです: "_s + given, u"unknown option: "_s + given);
    }
    // What remains is a value missing after an option that needs one, or a value given
    // to one that takes none; Qt names the option between quotes.
    const QString option = parser.errorText().section(u'\'', 1, 1);
    const QString name = optionName(option);
    if (name == kCsv || name == kResurvey || name == kAgainst || name == kMetrics)
        return bilingual(option + u" にはファイル名が必要です"_s, option + u" needs a file name"_s);
    for (const QtOption& qt : kQtOptions) {
        if (qt.takesValue && name == QString::fromUtf16(qt.name))
            return bilingual(option + u" には値が必要です"_s, option + u" needs a value"_s);
    }
    return bilingual(option + u" には値を付けられません"_s, option + u" takes no value"_s);
}

// Qt has no option whose value may be left out, as the range of --survey may. The
// range is therefore an argument of its own, and "--survey=RANGE" is split into two.
QStringList withSurveyRangeApart(const QStringList& arguments)
{
    QStringList result;
    for (const QString& argument : arguments) {
        if (argument.startsWith(u'-') && optionName(argument) == kSurvey &&
            argument.contains(u'=')) {
            result << argument.section(u'=', 0, 0);
            const QString range = argument.section(u'=', 1);
            if (!range.isEmpty())
                result << range;
        } else {
            result << argument;
        }
    }
    return result;
}

} // namespace

void parseSurveyRange(const QString& text, SurveyCommand& command)
{
    if (text == kAttached) {
        command.attached = true;
        return;
    }
    AddressRanges::Parsed parsed = AddressRanges::parse(text);
    if (!parsed.error.isEmpty())
        command.error = parsed.error;
    else
        command.ranges = std::move(parsed.ranges);
}

SurveyCommand parseSurveyCommand(const QStringList& arguments)
{
    SurveyCommand command;
    QCommandLineParser parser;
    declareOptions(parser);
    if (!parser.parse(withSurveyRangeApart(arguments))) {
        command.error = parseError(parser, arguments);
        return command;
    }
    if (parser.isSet(kHelp) || parser.isSet(kVersion)) {
        command.mode =
            parser.isSet(kHelp) ? SurveyCommand::Mode::Help : SurveyCommand::Mode::Version;
        return command;
    }

    const auto fail = [&command](const QString& japanese, const QString& english) {
        command.error = bilingual(japanese, english);
        return command;
    };
    const bool survey = parser.isSet(kSurvey);
    const bool resurvey = parser.isSet(kResurvey);
    command.vendor = parser.isSet(kVendor);
    // Only the rows on standard output carry it: the files keep their three fields.
    const auto vendorMisplaced = [&fail] {
        return fail(u"--vendor は行を標準出力へ出す --survey（--csv・--changes なし）と使います"_s,
                    u"--vendor goes with --survey printing its rows (no --csv, no --changes)"_s);
    };
    command.json = parser.isSet(kJson);
    // JSON replaces the rows or the changes on standard output: it needs one of them there.
    const auto jsonMisplaced = [&fail] {
        return fail(u"--json は標準出力へ行か変化を出すとき（--csv なしの --survey、--changes）に"
                    u"使います"_s,
                    u"--json goes with rows or changes on standard output (--survey without "
                    u"--csv, or --changes)"_s);
    };
    // Its series are per range, which a re-survey of a file has none of.
    const bool metrics = parser.isSet(kMetrics);
    const auto metricsMisplaced = [&fail] {
        return fail(u"--metrics は --survey と使います"_s, u"--metrics goes with --survey"_s);
    };
    command.log = parser.isSet(kLog);
    command.quiet = parser.isSet(kQuiet);
    command.changes = parser.isSet(kChanges) || parser.isSet(kAgainst);
    if (!survey && !resurvey) {
        if (parser.isSet(kCsv) || command.log || command.quiet || command.changes)
            return fail(u"--csv・--log・--quiet・--changes・--against は --survey か --resurvey と"
                        u"使います"_s,
                        u"--csv, --log, --quiet, --changes and --against go with --survey or "
                        u"--resurvey"_s);
        if (command.vendor)
            return vendorMisplaced();
        if (command.json)
            return jsonMisplaced();
        if (metrics)
            return metricsMisplaced();
        return command;
    }
    if (survey && resurvey)
        return fail(u"--survey と --resurvey は一緒に使えません"_s,
                    u"--survey and --resurvey cannot be used together"_s);

    // A file name never starts with a dash here: "--csv --log" forgot the file.
    for (const QString& option : {kResurvey, kCsv, kAgainst, kMetrics}) {
        const QString file = parser.value(option);
        if (parser.isSet(option) && (file.isEmpty() || file.startsWith(u'-')))
            return fail(u"--"_s + option + u" にはファイル名が必要です"_s,
                        u"--"_s + option + u" needs a file name"_s);
    }
    command.csvFile = parser.value(kCsv);
    command.againstFile = parser.value(kAgainst);
    command.metricsFile = parser.value(kMetrics);

    const QStringList positional = parser.positionalArguments();
    const qsizetype ranges = survey ? 1 : 0;
    if (positional.size() > ranges) {
        const QString extra = positional.at(ranges);
        return fail(u"余分な引数です: "_s + extra, u"unexpected argument: "_s + extra);
    }
    if (resurvey) {
        if (command.vendor)
            return vendorMisplaced();
        if (metrics)
            return metricsMisplaced();
        command.mode = SurveyCommand::Mode::Resurvey;
        command.resurveyFile = parser.value(kResurvey);
        if (command.json && !command.changes)
            return jsonMisplaced();
        return command;
    }
    command.mode = SurveyCommand::Mode::Survey;
    if (command.vendor && !command.rowsToStandardOutput())
        return vendorMisplaced();
    if (command.json && !command.rowsToStandardOutput() && !command.changes)
        return jsonMisplaced();
    if (!positional.isEmpty())
        parseSurveyRange(positional.first(), command);
    return command;
}

QString surveyCommandHelp(const QString& historyLog)
{
    QCommandLineParser parser;
    declareOptions(parser);
    parser.setApplicationDescription(
        u"IPv4 ネットワーク（ウィンドウは /24、--survey は /16 までの範囲）のホストを、名前・Ping "
        "応答・MAC アドレスつきで一覧にします。\n"
        "Lists the hosts of an IPv4 network (a /24 in the window, any range up to a /16 with "
        "--survey) with their names, ping replies and MAC addresses.\n"
        "\n"
        "オプションなしでウィンドウを開きます。--survey と --resurvey "
        "はウィンドウなしで調査します。\n"
        "Without options the window opens; --survey and --resurvey survey without a window or "
        "a display.\n"
        "--survey で --csv がなければ行を標準出力へ（IP、名前、MAC をタブ区切り、UTF-8）。\n"
        "--survey without --csv puts the rows on standard output: address, name and MAC, "
        "tab-separated, UTF-8.\n"
        "--vendor はその後にメーカー名（/var/lib/ieee-data の IEEE 登録簿と設定フォルダーの "
        "vendors.csv による）。\n"
        "--vendor adds who made the MAC after them, from the IEEE registries in "
        "/var/lib/ieee-data and the site's vendors.csv.\n"
        "--changes は変化 1 件に 1 行（タブ区切り、UTF-8）: 種類、IP、今の名前、今の "
        "MAC、前の名前、"
        "前の MAC、前の IP。\n"
        "--changes prints one line per change, tab-separated, UTF-8: kind (new, gone, changed, "
        "renamed, moved), address,\n"
        "name now, MAC now, name before, MAC before, address before (a moved device's old "
        "address, else the same).\n"
        "--json は 1 行 1 つの JSON オブジェクト: address、name、mac、vendor、found（echo か "
        "arp。今回見つけていなければなし）。変化には kind と before も。\n"
        "--json prints one JSON object a line: address, name, mac, vendor, found (echo or arp, "
        "absent when this run did not see the host); a change adds kind and before.\n"
        "--metrics はアドレス数と応答ホスト数を範囲ごとに、応答ホストを 1 "
        "つずつ、変化の数を種類ごとに書きます。\n"
        "--metrics writes addresses and live hosts per range, one series per live host, and "
        "with --changes the changes by kind.\n"
        "\n"
        "範囲の例 / ranges, for example:\n"
        "  netroscope --survey 192.168.4.0/22 --csv office.csv\n"
        "  netroscope --survey 10.1.0.1-10.1.3.254,10.2.0.0/24 --changes --log\n"
        "  netroscope --survey attached --vendor\n"
        "  netroscope --survey attached --changes --log --metrics "
        "/var/lib/prometheus/node-exporter/netroscope.prom\n"
        "\n"
        "終了状態 / exit status: 0 調査した / surveyed, 1 ツールがない・読めない・書けない / "
        "probes "
        "unavailable, file not read or not written,\n"
        "2 使い方の誤り / usage error, 3 --changes で変化あり / --changes found a change, "
        "130 Ctrl+C・143 SIGTERM で中止 / cancelled\n"
        "(rows so far are written).\n"
        "\n"
        "変化があったときだけメールする cron の例 / a cron line that mails only when something "
        "changed:\n"
        "  0 6 * * * netroscope --survey --changes --log > $HOME/lan-changes.txt; [ -s "
        "$HOME/lan-changes.txt ] && mail -s \"LAN changes\" admin < $HOME/lan-changes.txt\n"
        "\n"
        "履歴ファイル / history log: "_s +
        historyLog);
    return parser.helpText();
}
