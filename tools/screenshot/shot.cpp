// Takes the picture of the configurator for the documentation: the main window with the demo
// configuration opened the way File > Open opens it, the Russian interface, two values
// changed since (marked), the rows found by a word in the find bar, and one row's description
// in the lower pane. Run from a working directory that
// holds the translations and "confxml/"; the window is rendered off screen and saved as PNG.
#include "app/mainwindow.h"
#include "app/startup.h"
#include "format/appidentity.h"
#include "format/confformat.h"
#include "tree/ui/conftree.h"

#include <QLineEdit>

#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QPixmap>
#include <QSplitter>
#include <QThread>
#include <QTranslator>

#include <cstdio>

namespace {

constexpr int SettleMs = 300;
const QString ValueFile = QStringLiteral("confxml/samples/VANT-DEMO-1-values.xml");
const QString CurrentRowLabel = QStringLiteral("Scale");
const QString FindText = QStringLiteral("scale");
// Changed after opening, so the picture shows their marks.
const QStringList ChangedVars = {QStringLiteral("Ch[0].Scale"), QStringLiteral("Ch[2].Scale")};
// Folded so that the picture shows both states of a group row and more of the tree.
const QStringList CollapsedGroups = {QStringLiteral("Network"), QStringLiteral("Serial line")};

void settle()
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < SettleMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
}

QTreeWidgetItem *findRow(QTreeWidgetItem *item, const QString &label)
{
    if (item->text(0) == label)
        return item;
    for (int i = 0; i < item->childCount(); ++i) {
        if (QTreeWidgetItem *found = findRow(item->child(i), label))
            return found;
    }
    return nullptr;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    setApplicationIdentity();
    const QStringList args = app.arguments();
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: vant-conf-shot OUTPUT.png\n");
        return 2;
    }
    Startup::addLibraryPaths();
    QTranslator qtTranslator;
    Startup::installTranslation(qtTranslator, QStringLiteral("qt_"));
    QTranslator appTranslator;
    Startup::installTranslation(appTranslator, QStringLiteral("vant-conf_"));

    MainWindow window;
    window.setGeometry(100, 100, 760, 620);
    window.show();

    ConfTree *tree = window.confTree();
    if (!tree->openConfFile(ValueFile)) {
        std::fprintf(stderr, "could not open %s\n", qPrintable(ValueFile));
        return 1;
    }
    tree->updateValues();
    tree->updateExpr();
    for (const QString &name : ChangedVars) {
        if (ConfVar *var = tree->format->varByName(name))
            var->floatValue *= 2.0f;
    }
    tree->valuesChanged();
    tree->expandAll();
    for (const QString &label : CollapsedGroups) {
        if (QTreeWidgetItem *row = findRow(tree->topLevelItem(0), label))
            row->setExpanded(false);
    }
    tree->header()->resizeSection(0, 330);
    if (QTreeWidgetItem *row = findRow(tree->topLevelItem(0), CurrentRowLabel))
        tree->setCurrentItem(row);
    window.filterField()->setText(FindText);
    window.splitterWidget()->setSizes({440, 120});
    settle();

    const QPixmap picture = window.grab();
    if (picture.isNull() || !picture.save(args.at(1), "PNG")) {
        std::fprintf(stderr, "could not write %s\n", qPrintable(args.at(1)));
        return 1;
    }
    return 0;
}
