// The window's costs on a large description (10,000 variable rows, 1,000 conditions on one
// variable): how long one edit's refresh takes with the rows on screen, how much memory the
// loaded window holds against an empty one, and how long the program takes to show its
// window against the least Qt Widgets program that shows one and against plain Qt widgets of
// the same shape.
//
// The memory figures come from separate runs of this program ("--rss-child"), so that
// neither the other measurement nor the description text generated here counts in them.
// "--startup" measures the start-up alone, for working on it without the longer runs.
#include "app/mainwindow.h"
#include "bench/gendescription.h"
#include "bench/windowoutline.h"
#include "format/confformat.h"
#include "expr/logicexpr.h"
#include "format/appidentity.h"
#include "tree/confrow.h"
#include "tree/ui/conftree.h"
#include "tree/ui/qmytreewidgetitem.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <malloc.h>
#include <vector>

namespace {

constexpr double FrameTargetMs = 16.0;
constexpr double MemoryTargetRatio = 1.5;
constexpr double StartupTargetRatio = 1.3;
constexpr double ShapeTargetRatio = 1.1;
constexpr int EditRuns = 101;
constexpr int FilterRuns = 101;
constexpr int MemoryRuns = 3;
constexpr int StartupWarmupRuns = 2;
constexpr int StartupRuns = 41;
constexpr int ProcessTimeoutMs = 60000;
constexpr int SettleMs = 200;

double median(std::vector<double> values)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2.0;
}

const char *verdict(bool met)
{
    return met ? "met" : "MISSED";
}

// Lets the window system show the window and the view lay out and paint its rows.
void settle(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
}

long statusKb(const char *key)
{
    QFile file(QStringLiteral("/proc/self/status"));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = QByteArray(key) + ':';
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush();
}

QMyTreeWidgetItem *rowOfVar(QTreeWidgetItem *item, int id)
{
    if (!item)
        return nullptr;
    if (item->type() == QMyTreeWidgetItem::VarTypeBase + id)
        return static_cast<QMyTreeWidgetItem *>(item);
    for (int i = 0; i < item->childCount(); ++i) {
        if (QMyTreeWidgetItem *found = rowOfVar(item->child(i), id))
            return found;
    }
    return nullptr;
}

struct RowCounts {
    int rows = 0;
    int conditionsOnVar = 0;
    int greyed = 0;
    int hidden = 0;
};

void countRows(QTreeWidgetItem *item, const QString &var, RowCounts &counts)
{
    ++counts.rows;
    if (auto *row = dynamic_cast<QMyTreeWidgetItem *>(item)) {
        for (const LogicExpr *expr : {row->confRow()->enabledCondition(), row->confRow()->visibleCondition()}) {
            if (expr && expr->variables().contains(var))
                ++counts.conditionsOnVar;
        }
    }
    if (auto *row = dynamic_cast<QMyTreeWidgetItem *>(item); row && row->isGreyed())
        ++counts.greyed;
    if (item->isHidden())
        ++counts.hidden;
    for (int i = 0; i < item->childCount(); ++i)
        countRows(item->child(i), var, counts);
}

int countAll(const QTreeWidgetItem *item)
{
    int rows = 1;
    for (int i = 0; i < item->childCount(); ++i)
        rows += countAll(item->child(i));
    return rows;
}

// Median milliseconds of the refresh an edit of var causes (the edited row's value, then
// the conditions that mention var), and of that refresh with the view's relayout and
// repaint that follow it. The value flips between 0 and 1 at each edit.
void timeEdits(ConfTree &tree, const QString &var, double *refreshMs, double *frameMs)
{
    const int id = tree.format->idOf(var);
    ConfVar *value = tree.format->varById(id);
    QMyTreeWidgetItem *row = rowOfVar(tree.topLevelItem(0), id);
    if (!value || !row) {
        *refreshMs = *frameMs = -1;
        return;
    }
    std::vector<double> refresh, frame;
    QElapsedTimer timer;
    for (int i = 0; i < EditRuns; ++i) {
        value->value = value->value == 0 ? 1 : 0;
        timer.start();
        tree.updateValue(row);
        tree.updateExpr(var);
        refresh.push_back(timer.nsecsElapsed() / 1e6);
        // The view lays its rows out again on a zero timer and then posts its repaint.
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        frame.push_back(timer.nsecsElapsed() / 1e6);
    }
    *refreshMs = median(refresh);
    *frameMs = median(frame);
}

// Find: the refiltering one keystroke causes, as the user types a name letter by letter and
// deletes it again, over every row of the description.
void benchFilter(ConfTree &tree)
{
    const QString typed = QStringLiteral("v501");
    std::vector<double> times;
    QElapsedTimer timer;
    int matches = 0;
    while (int(times.size()) < FilterRuns) {
        for (int length = 1; length <= typed.size() * 2 && int(times.size()) < FilterRuns; ++length) {
            const int shown = length <= typed.size() ? length : typed.size() * 2 - length;
            timer.start();
            tree.setFilterText(typed.left(shown));
            times.push_back(timer.nsecsElapsed() / 1e6);
            if (shown == typed.size())
                matches = tree.matchCount();
        }
    }
    tree.setFilterText(QString());
    const double ms = median(times);
    std::printf("P6 filter of %d rows after a keystroke: median %.2f ms (target %.0f ms: %s); \"%s\" matches %d rows\n",
                tree.topLevelItem(0) ? countAll(tree.topLevelItem(0)) : 0, ms, FrameTargetMs,
                verdict(ms <= FrameTargetMs), qPrintable(typed), matches);
}

int benchEdit(const QString &path, const bench::GeneratedDescription &gen)
{
    ConfTree tree;
    tree.resize(1000, 700);
    tree.show();
    settle(SettleMs);

    QElapsedTimer timer;
    timer.start();
    if (!tree.loadFormatFile(path, gen.id)) {
        std::fprintf(stderr, "the generated description did not load\n");
        return 1;
    }
    const double installMs = timer.nsecsElapsed() / 1e6;
    settle(SettleMs);

    RowCounts counts;
    countRows(tree.topLevelItem(0), gen.editedVar, counts);
    std::printf("P3 description: %d variable rows, %d rows in all, %d conditions mention %s, %d others; "
                "loaded and installed in %.0f ms\n",
                gen.variableRows, counts.rows, counts.conditionsOnVar, qPrintable(gen.editedVar),
                gen.otherConditions, installMs);

    double refreshMs = 0, frameMs = 0;
    timeEdits(tree, gen.editedVar, &refreshMs, &frameMs);
    RowCounts after;
    countRows(tree.topLevelItem(0), gen.editedVar, after);
    std::printf("P3 edit of %s: refresh median %.2f ms (target %.0f ms, one frame: %s); "
                "with relayout and repaint %.2f ms\n",
                qPrintable(gen.editedVar), refreshMs, FrameTargetMs, verdict(refreshMs >= 0 && refreshMs <= FrameTargetMs),
                frameMs);
    std::printf("   after the last edit: %d rows greyed, %d hidden\n", after.greyed, after.hidden);

    // The walk alone: a variable that no condition mentions.
    const QString plain = QStringLiteral("G50.v5017");
    timeEdits(tree, plain, &refreshMs, &frameMs);
    std::printf("   edit of %s (no condition mentions it): refresh median %.2f ms, with repaint %.2f ms\n",
                qPrintable(plain), refreshMs, frameMs);
    benchFilter(tree);
    std::fflush(stdout);
    return 0;
}

// Runs in its own process: the resident size of a shown main window, empty or with the
// description installed the way the program installs one.
int rssChild(const QStringList &args)
{
    MainWindow window;
    window.show();
    settle(SettleMs);
    if (args.value(0) == QLatin1String("loaded")) {
        if (!window.confTree()->loadFormatFile(args.value(1), args.value(2))) {
            std::fprintf(stderr, "the generated description did not load\n");
            return 1;
        }
        settle(SettleMs);
    }
    const long rss = statusKb("VmRSS");
    const long peak = statusKb("VmHWM");
    // What the allocator hands out, in all its arenas, against what the process holds:
    // the difference is freed heap the allocator keeps.
    const struct mallinfo2 heap = mallinfo2();
    const long liveKb = long((heap.uordblks + heap.hblkhd) / 1024);
    malloc_trim(0);
    const long trimmed = statusKb("VmRSS");
    std::printf("rss_kb=%ld hwm_kb=%ld trimmed_kb=%ld live_kb=%ld\n", rss, peak, trimmed, liveKb);
    return 0;
}

struct RssFigures {
    double rss = -1, peak = -1, trimmed = -1, live = -1;
};

RssFigures measureRss(const QStringList &childArgs, const QString &configHome)
{
    std::vector<double> rss, peak, trimmed, live;
    for (int i = 0; i < MemoryRuns; ++i) {
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QCoreApplication::applicationFilePath(), QStringList{QStringLiteral("--rss-child")} + childArgs);
        if (!child.waitForFinished(ProcessTimeoutMs) || child.exitCode() != 0)
            return {};
        const QList<QByteArray> fields = child.readAllStandardOutput().trimmed().split(' ');
        for (const QByteArray &field : fields) {
            const QList<QByteArray> pair = field.split('=');
            const double kb = pair.value(1).toDouble();
            if (pair.value(0) == "rss_kb")
                rss.push_back(kb);
            else if (pair.value(0) == "hwm_kb")
                peak.push_back(kb);
            else if (pair.value(0) == "trimmed_kb")
                trimmed.push_back(kb);
            else if (pair.value(0) == "live_kb")
                live.push_back(kb);
        }
    }
    return {median(rss), median(peak), median(trimmed), median(live)};
}

int benchMemory(const QString &path, const bench::GeneratedDescription &gen, const QString &configHome)
{
    const RssFigures empty = measureRss({QStringLiteral("empty")}, configHome);
    const RssFigures loaded = measureRss({QStringLiteral("loaded"), path, gen.id}, configHome);
    if (empty.rss <= 0 || loaded.rss <= 0) {
        std::fprintf(stderr, "a memory run failed\n");
        return 1;
    }
    const double ratio = loaded.rss / empty.rss;
    std::printf("P5 resident memory (median of %d runs each): empty main window %.1f MiB, with %d rows %.1f MiB, "
                "ratio %.2f (target at most %.1f: %s)\n",
                MemoryRuns, empty.rss / 1024, gen.variableRows, loaded.rss / 1024, ratio, MemoryTargetRatio,
                verdict(ratio <= MemoryTargetRatio));
    std::printf("   peak while loading %.1f MiB; after returning freed heap to the system: empty %.1f MiB, "
                "loaded %.1f MiB (ratio %.2f)\n",
                loaded.peak / 1024, empty.trimmed / 1024, loaded.trimmed / 1024, loaded.trimmed / empty.trimmed);
    std::printf("   heap in use: empty %.1f MiB, loaded %.1f MiB (%.0f bytes a row); resident size if it held only "
                "what is in use: ratio %.2f\n",
                empty.live / 1024, loaded.live / 1024, (loaded.live - empty.live) * 1024 / gen.variableRows,
                (empty.rss + loaded.live - empty.live) / empty.rss);
    std::fflush(stdout);
    return 0;
}

// Wall time of one whole run, process start to exit, in milliseconds; -1 when it failed.
double timeRun(const QString &program, const QString &workDir, const QProcessEnvironment &env,
               const QStringList &args = {})
{
    QProcess process;
    process.setWorkingDirectory(workDir);
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    QElapsedTimer timer;
    timer.start();
    process.start(program, args);
    if (!process.waitForFinished(ProcessTimeoutMs) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0)
        return -1;
    return timer.nsecsElapsed() / 1e6;
}

// Whether the same-shape yardstick still shows what the configurator's window shows at first;
// both are asked in English, in a folder without translations.
bool sameOutline(const QString &yardstick, const QProcessEnvironment &env)
{
    QStringList window;
    {
        MainWindow configurator;
        window = windowOutline(configurator);
    }
    QTemporaryDir empty;
    QProcess process;
    process.setWorkingDirectory(empty.path());
    process.setProcessEnvironment(env);
    process.start(yardstick, {QStringLiteral("--shape"), QStringLiteral("--outline")});
    if (!process.waitForFinished(ProcessTimeoutMs) || process.exitCode() != 0) {
        std::fprintf(stderr, "the same-shape yardstick did not give its outline\n");
        return false;
    }
    const QStringList shape = QString::fromUtf8(process.readAllStandardOutput()).trimmed().split(QLatin1Char('\n'));
    if (shape == window)
        return true;
    std::fprintf(stderr, "the same-shape yardstick (bench/emptywindow.cpp) no longer has the window's shape:\n"
                         "window:\n%s\nyardstick:\n%s\n",
                 qPrintable(window.join(QLatin1Char('\n'))), qPrintable(shape.join(QLatin1Char('\n'))));
    return false;
}

int benchStartup(const QString &workDir, const QString &configHome)
{
    // Both programs start in a directory holding the translations the configurator loads.
    const QDir bin(QStringLiteral(VANT_BIN_DIR));
    const QStringList qmFiles = bin.entryList({QStringLiteral("*.qm")}, QDir::Files);
    if (!qmFiles.contains(QStringLiteral("vant-conf_ru.qm")) || !qmFiles.contains(QStringLiteral("qt_ru.qm"))) {
        std::fprintf(stderr, "translations missing in %s\n", VANT_BIN_DIR);
        return 1;
    }
    for (const QString &qm : qmFiles) {
        if (!QFile::copy(bin.filePath(qm), QDir(workDir).filePath(qm)))
            return 1;
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    const QString yardstick = bin.filePath(QStringLiteral("bench_emptywindow"));
    if (!sameOutline(yardstick, env))
        return 1;
    env.insert(QStringLiteral("VANT_CONF_QUIT_AFTER_MS"), QStringLiteral("0"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);

    const QString program = bin.filePath(QStringLiteral("vant-conf"));
    for (int i = 0; i < StartupWarmupRuns; ++i) {
        if (timeRun(program, workDir, env) < 0 || timeRun(yardstick, workDir, env) < 0) {
            std::fprintf(stderr, "a start-up run failed\n");
            return 1;
        }
    }
    // Interleaved, so a busy moment of the machine falls on all of them alike.
    std::vector<double> programMs, yardstickMs, shapeMs, twoMenusMs;
    const QStringList shape{QStringLiteral("--shape")}, twoMenus{QStringLiteral("--two-menus")};
    for (int i = 0; i < StartupRuns; ++i) {
        programMs.push_back(timeRun(program, workDir, env));
        yardstickMs.push_back(timeRun(yardstick, workDir, env));
        shapeMs.push_back(timeRun(yardstick, workDir, env, shape));
        twoMenusMs.push_back(timeRun(yardstick, workDir, env, twoMenus));
        if (programMs.back() < 0 || yardstickMs.back() < 0 || shapeMs.back() < 0 || twoMenusMs.back() < 0) {
            std::fprintf(stderr, "a start-up run failed\n");
            return 1;
        }
    }
    const double p = median(programMs), y = median(yardstickMs), s = median(shapeMs), t = median(twoMenusMs);
    std::printf("P4 start to window shown and closed again (median of %d runs, offscreen): vant-conf %.1f ms, "
                "empty QMainWindow %.1f ms, ratio %.2f (target at most %.1f: %s)\n",
                StartupRuns, p, y, p / y, StartupTargetRatio, verdict(p / y <= StartupTargetRatio));
    std::printf("P4 start to window shown and closed again, same shape (the configurator's four menus, find bar, "
                "two-column tree over a text browser with its start help, status bar and hidden dock, in its "
                "language, of plain Qt widgets): vant-conf %.1f ms, same shape %.1f ms, ratio %.2f "
                "(target at most %.1f: %s)\n",
                p, s, p / s, ShapeTargetRatio, verdict(p / s <= ShapeTargetRatio));
    std::printf("   against a window with only the File and Device menus and the tree over the text browser: "
                "%.1f ms, ratio %.2f\n",
                t, p / t);
    std::fflush(stdout);
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    setApplicationIdentity();
    const QStringList args = app.arguments().mid(1);
    if (args.value(0) == QLatin1String("--rss-child"))
        return rssChild(args.mid(1));
    const bool startupOnly = args.contains(QLatin1String("--startup"));

    QTemporaryDir tmp;
    if (!tmp.isValid())
        return 1;
    // The main windows started here read and write their layout in a store of their own.
    const QString configHome = tmp.filePath(QStringLiteral("config"));
    const QString startDir = tmp.filePath(QStringLiteral("start"));
    if (!QDir().mkpath(configHome) || !QDir().mkpath(startDir))
        return 1;
    qputenv("XDG_CONFIG_HOME", configHome.toLocal8Bit());
    if (startupOnly)
        return benchStartup(startDir, configHome);

    const bench::GeneratedDescription gen = bench::generateDescription();
    const QString path = tmp.filePath(gen.id + QStringLiteral(".xml"));
    if (!writeFile(path, gen.xml.toUtf8()))
        return 1;

    if (benchEdit(path, gen) != 0 || benchMemory(path, gen, configHome) != 0 || benchStartup(startDir, configHome) != 0)
        return 1;
    return 0;
}
