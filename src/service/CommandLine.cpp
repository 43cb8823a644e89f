// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/CommandLine.h"

#include "service/ProgramVersion.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <cstdio>
#include <iterator>

namespace {
struct QtOption
{
    const char* name;
    bool takesValue;
};
// The options Qt itself reads that the man page describes; Qt takes them out of the arguments it is given.
constexpr QtOption QtOptions[] = {
    {"-platform", true}, {"-display", true}, {"-style", true}, {"-qwindowgeometry", true}, {"-reverse", false}};

void write(FILE* stream, const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
}
} // namespace

CommandLine CommandLine::parse(const QStringList& arguments)
{
    CommandLine c;
    QString folder = QStringLiteral(".");
    auto fail = [&c](const QString& mistake) {
        c.action = Action::Mistake;
        c.mistake = mistake;
        return c;
    };
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        auto value = [&](QString& into) {
            if (i + 1 >= arguments.size())
                return false;
            into = arguments[++i];
            return true;
        };
        if (a == QLatin1String("--headless")) {
            c.headless = true;
        } else if (a == QLatin1String("--data-dir")) {
            if (!value(folder))
                return fail(QStringLiteral("--data-dir needs a folder"));
        } else if (a.startsWith(QLatin1String("--data-dir="))) {
            folder = a.mid(11);
        } else if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            c.action = Action::Help;
        } else if (a == QLatin1String("--version") || a == QLatin1String("-v")) {
            if (c.action == Action::Run)
                c.action = Action::Version;
        } else {
            const auto qt = std::find_if(std::begin(QtOptions), std::end(QtOptions),
                                         [&a](const QtOption& o) { return a == QLatin1String(o.name); });
            if (qt == std::end(QtOptions))
                return fail(a.startsWith('-') ? QStringLiteral("unknown option %1").arg(a)
                                              : QStringLiteral("unexpected argument %1").arg(a));
            c.qtArguments << a;
            QString v;
            if (qt->takesValue && !value(v))
                return fail(QStringLiteral("%1 needs a value").arg(a));
            if (qt->takesValue)
                c.qtArguments << v;
        }
    }
    if (c.action != Action::Run)
        return c;
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        return fail(QStringLiteral("the data folder \"%1\" does not exist").arg(folder));
    c.dataFolder = QDir(folder).absolutePath();
    return c;
}

QString CommandLine::usage()
{
    return QStringLiteral(
        "Usage: wattsight [--headless] [--data-dir DIR] [display options]\n"
        "Reads a rotating-disc electricity meter through a camera.\n"
        "\n"
        "  --headless        run with no window and no display: start the remembered camera, resume logging,\n"
        "                    publish; messages go to standard error. SIGTERM or SIGINT stops it cleanly,\n"
        "                    SIGHUP reads the settings files again.\n"
        "  --data-dir DIR    the folder of the settings and data files (default: the current folder)\n"
        "  -h, --help        show this help and exit\n"
        "  -v, --version     show the version and exit\n"
        "\n"
        "Display options, for the desktop: -platform NAME, -display DISPLAY, -style STYLE,\n"
        "-qwindowgeometry GEOMETRY, -reverse. See wattsight(1).\n");
}

QStringList CommandLine::optionNames()
{
    QStringList names{QStringLiteral("--headless"), QStringLiteral("--data-dir"), QStringLiteral("--help"),
                      QStringLiteral("--version")};
    for (const QtOption& o : QtOptions)
        names << QLatin1String(o.name);
    return names;
}

int CommandLine::answer() const
{
    switch (action) {
    case Action::Help:
        write(stdout, usage());
        return 0;
    case Action::Version:
        write(stdout, QStringLiteral("wattsight %1\n").arg(QLatin1String(ProgramVersion)));
        return 0;
    case Action::Mistake:
        write(stderr, QStringLiteral("wattsight: %1\n").arg(mistake) + usage());
        return UsageStatus;
    case Action::Run:
        break;
    }
    return 0;
}
