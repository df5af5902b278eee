// provision: one value file written to several devices at once, each on a worker of its own
// (device/provisioner.h). Every value is checked and every device's image made before any
// device is touched; then each device's progress goes to standard error as it moves on, and
// when all have ended, one report line per device to standard output.
#include "tools/cli/cli.h"
#include "tools/cli/clicommon.h"
#include "tools/cli/cliinterrupt.h"
#include "tools/cli/clihidsim.h"

#include "device/device.h"
#include "device/provisioner.h"
#include "format/valueassign.h"
#include "format/xmldoc.h"

#include <QCoreApplication>
#include <QDomDocument>
#include <QHash>
#include <QSet>
#include <QTextStream>

#include <memory>

namespace {

// Progress lines are kept to these steps of the upload: each device has a line of its own,
// and a line for every percent of several devices would bury the rest.
constexpr int ProgressLineStep = 25;

struct Assignment {
    QString name;
    QString text;
};

// "NAME=TEXT" with a name before the first '='; false otherwise.
bool splitAssignment(const QString &argument, Assignment *out)
{
    const qsizetype equals = argument.indexOf(QLatin1Char('='));
    if (equals <= 0)
        return false;
    *out = {argument.left(equals), argument.mid(equals + 1)};
    return true;
}

// Takes one text into the variable by its editor's rule; false after the refusal's line.
bool assign(ConfFormat *format, const Assignment &assignment)
{
    ConfVar *var = format->varByName(assignment.name);
    if (!var) {
        cli::fail(QStringLiteral("%1: no such variable in format '%2'").arg(assignment.name, format->id()));
        return false;
    }
    QString reason;
    // A value longer than a string holds is cut, as a value file's is and as set does.
    if (!assignValueText(*format, *var, assignment.text, &reason, LongText::Cut)) {
        cli::fail(QStringLiteral("%1: %2").arg(assignment.name, reason));
        return false;
    }
    return true;
}

// The image of each device, in link order: the values with every --set taken, and the
// --sequence variable numbered. ExitOk, or the exit status after the refusal's line; then no
// device has been touched.
int makeImages(ConfFormat *format, const cli::Arguments &options, const QStringList &links,
               QList<ProvisionTarget> *targets)
{
    Assignment sequence;
    qint64 start = 0;
    if (!options.sequence.isEmpty()) {
        bool number = false;
        if (splitAssignment(options.sequence, &sequence))
            start = sequence.text.toLongLong(&number);
        if (!number)
            return cli::fail(QStringLiteral("bad sequence '%1' (want NAME=START)").arg(options.sequence));
        const ConfVar *var = format->varByName(sequence.name);
        if (!var || var->kind != KindInt || !var->items.isEmpty())
            return cli::fail(QStringLiteral("%1: no integer variable of that name in format '%2'")
                                 .arg(sequence.name, format->id()));
    }
    for (int i = 0; i < links.size(); ++i) {
        if (!sequence.name.isEmpty() && !assign(format, {sequence.name, QString::number(start + i)}))
            return cli::ExitFailed;
        const QByteArray image = format->pack();
        if (image.size() > ImageCapacity) {
            cli::fail(QStringLiteral("the image takes %1 bytes, a device holds %2").arg(image.size()).arg(ImageCapacity));
            return Incompatible;
        }
        targets->append({links[i], image});
    }
    return cli::ExitOk;
}

// The links the options name, checked; empty after a usage error in *status.
QStringList chosenLinks(const cli::Arguments &options, HidBackend *hid, int *status)
{
    *status = cli::ExitUsage;
    if (options.all == !options.links.isEmpty()) {
        cli::usage("provision", QStringLiteral("provision needs --link for each device, or --all"));
        return {};
    }
    if (options.all) {
        const QStringList links = deviceLinks(hid);
        if (links.isEmpty()) {
            cli::fail(deviceResultMessage(NotFound));
            *status = NotFound;
        }
        return links;
    }
    QSet<QString> seen;
    for (const QString &link : options.links) {
        // Two workers on one device would each take the other's answers.
        if (link.isEmpty() || seen.contains(link)) {
            cli::usage("provision", link.isEmpty() ? QStringLiteral("empty link")
                                                   : QStringLiteral("link %1 given twice").arg(link));
            return {};
        }
        seen.insert(link);
    }
    return options.links;
}

// One line on standard error for each step a device takes, named by its link.
class ProgressLines : public QObject
{
public:
    explicit ProgressLines(const Provisioner &provisioner)
        : m_provisioner(provisioner)
    {
        connect(&provisioner, &Provisioner::stageChanged, this, &ProgressLines::onStage);
        connect(&provisioner, &Provisioner::progressChanged, this, &ProgressLines::onProgress);
    }

private:
    void line(int index, const QString &text)
    {
        QTextStream(stderr) << m_provisioner.outcome(index).link << ": " << text << Qt::endl;
    }

    void onStage(int index, Provisioner::Stage stage)
    {
        const ProvisionOutcome &outcome = m_provisioner.outcome(index);
        switch (stage) {
        case Provisioner::Started:
            break;
        case Provisioner::Identified:
            line(index, QStringLiteral("identified: hardware %1, software %2").arg(outcome.hardwareId, outcome.softwareId));
            break;
        case Provisioner::BackedUp:
            line(index, QStringLiteral("backed up: %1").arg(outcome.backupPath));
            break;
        case Provisioner::Uploading:
            m_shown.remove(index);
            onProgress(index, 0);
            break;
        case Provisioner::Done:
            line(index, QStringLiteral("done"));
            break;
        case Provisioner::Failed:
            line(index, QStringLiteral("failed: %1").arg(failure(outcome)));
            break;
        }
    }

    void onProgress(int index, int percent)
    {
        const int step = percent / ProgressLineStep * ProgressLineStep;
        if (m_provisioner.stage(index) != Provisioner::Uploading || step <= m_shown.value(index, -1))
            return;
        m_shown[index] = step;
        line(index, QStringLiteral("uploading %1 %").arg(step));
    }

    static QString failure(const ProvisionOutcome &outcome)
    {
        if (outcome.timedOut)
            return QStringLiteral("timed out");
        if (!outcome.backupError.isEmpty())
            return QStringLiteral("no backup kept, so nothing written: %1").arg(outcome.backupError);
        if (outcome.result == Incompatible && !outcome.softwareId.isEmpty())
            return QStringLiteral("software %1 is not that of the values").arg(outcome.softwareId);
        return provisionResultText(outcome.result);
    }

    const Provisioner &m_provisioner;
    QHash<int, int> m_shown; // the last upload step shown, by device
};

int runProvision(const cli::Arguments &options)
{
    if (options.positional.size() != 1)
        return cli::usage("provision", QStringLiteral("provision needs one value file"));
    QList<Assignment> assignments;
    for (const QString &argument : options.assignments) {
        Assignment assignment;
        if (!splitAssignment(argument, &assignment))
            return cli::usage("provision", QStringLiteral("'%1' is not NAME=TEXT").arg(argument));
        assignments.append(assignment);
    }

    int status = cli::ExitOk;
    const std::unique_ptr<ConfFormat> format = cli::loadValueFileForDevice(options.positional.first(), &status);
    if (!format)
        return status;
    for (const Assignment &assignment : assignments) {
        if (!assign(format.get(), assignment))
            return cli::ExitFailed;
    }
    // The simulated HID devices, when chosen, are one backend that every worker shares.
    const std::unique_ptr<HidBackend> hid = cliHidBackend();
    const QStringList links = chosenLinks(options, hid.get(), &status);
    if (links.isEmpty())
        return status;
    QList<ProvisionTarget> targets;
    if ((status = makeImages(format.get(), options, links, &targets)) != cli::ExitOk)
        return status;

    Provisioner provisioner(hid.get());
    provisioner.setKeepBackups(!options.noBackup);
    if (options.timeoutMs > 0)
        provisioner.setTimeoutMs(options.timeoutMs);
    const ProgressLines progress(provisioner);
    const InterruptToCancel interrupt(&provisioner, [&provisioner] { provisioner.cancel(); });
    provisioner.start(targets, format->id());
    provisioner.waitForFinished();

    QTextStream out(stdout);
    for (int i = 0; i < provisioner.count(); ++i)
        out << provisionReportLine(provisioner.outcome(i)) << '\n';
    out.flush();
    return provisioner.firstFailure();
}

const cli::Registrar provisionCommand(
    {"provision",
     "provision VALUES.xml (--link LINK)... | --all [--sequence NAME=START] [--set NAME=TEXT]... [--no-backup] "
     "[--timeout SECONDS]",
     "write a value file to several devices at once, each first read into a backup; --timeout (default 120) "
     "limits each device, and one line per device reports how it ended",
     runProvision, cli::OptLinks | cli::OptAll | cli::OptSequence | cli::OptSet | cli::OptNoBackup | cli::OptTimeout});

} // namespace
