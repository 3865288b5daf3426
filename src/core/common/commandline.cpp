#include "common/commandline.h"

#include "common/commandline_platform.h"
#include "common/version.h"

#include <QCommandLineParser>
#include <cstdio>

namespace tombolix {

namespace {

const QString ProgramName = QStringLiteral("tombolix");

QString helpText()
{
    return QStringLiteral("用法：tombolix [选项]\n"
                          "澄曜抽奖软件 %1：年会、庆典活动的现场抽奖。\n"
                          "\n"
                          "选项：\n"
                          "  -h, --help           显示本帮助后退出\n"
                          "  -v, --version        显示版本号后退出\n"
                          "  --database <文件>    使用这个数据库文件。未给出时，使用程序所在文件夹中的\n"
                          "                       Data.mdb；那里没有时，使用用户数据文件夹中的 Data.mdb\n"
                          "                       （首次使用时从随程序安装的空数据库复制）。\n")
        .arg(QLatin1String(ProgramVersion));
}

CommandLine refuse(const QString &problem)
{
    CommandLine result;
    result.exitCode = 2;
    result.error = ProgramName + QStringLiteral("：") + problem + QStringLiteral("\n")
        + QStringLiteral("运行 “tombolix --help” 查看可用的选项。\n");
    return result;
}

} // namespace

CommandLine ParseCommandLine(const QStringList &arguments)
{
    QCommandLineParser parser;
    // "-bogus" is one unknown option, not six unknown letters.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList { QStringLiteral("h"), QStringLiteral("help") });
    const QCommandLineOption version(QStringList { QStringLiteral("v"), QStringLiteral("version") });
    const QCommandLineOption database(QStringLiteral("database"), QString(), QStringLiteral("file"));
    parser.addOptions({ help, version, database });
    // Qt's own options are the application's to take (-platform, -style, …).
    QList<QCommandLineOption> qtOptions;
    for (const char *name : { "platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry",
             "qwindowicon", "qwindowtitle", "style", "stylesheet", "session", "display", "geometry" })
        qtOptions.append(QCommandLineOption(QLatin1String(name), QString(), QStringLiteral("value")));
    for (const char *name : { "reverse", "widgetcount", "nograb", "dograb", "sync" })
        qtOptions.append(QCommandLineOption(QLatin1String(name)));
    parser.addOptions(qtOptions);

    if (!parser.parse(arguments)) {
        const QStringList unknown = parser.unknownOptionNames();
        if (!unknown.isEmpty()) {
            const QString &name = unknown.constFirst();
            return refuse(QStringLiteral("未知的选项 “%1%2”。")
                              .arg(name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--"), name));
        }
        return refuse(QStringLiteral("选项 “--database” 后面需要一个数据库文件的路径。"));
    }
    if (!parser.positionalArguments().isEmpty())
        return refuse(QStringLiteral("不需要的参数 “%1”。").arg(parser.positionalArguments().constFirst()));

    CommandLine result;
    if (parser.isSet(help)) {
        result.exitCode = 0;
        result.output = helpText();
        return result;
    }
    if (parser.isSet(version)) {
        result.exitCode = 0;
        result.output = ProgramName + QLatin1Char(' ') + QLatin1String(ProgramVersion) + QLatin1Char('\n');
        return result;
    }
    if (parser.isSet(database)) {
        result.database = parser.value(database);
        if (result.database.isEmpty())
            return refuse(QStringLiteral("选项 “--database” 后面需要一个数据库文件的路径。"));
    }
    return result;
}

CommandLine ReadCommandLine(int argc, char *argv[])
{
    const CommandLine result = ParseCommandLine(ProgramArguments(argc, argv));
    WriteProgramText(stdout, result.output);
    WriteProgramText(stderr, result.error);
    return result;
}

} // namespace tombolix
