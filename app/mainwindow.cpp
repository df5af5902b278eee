#include "app/mainwindow.h"

#include "app/comdialog.h"
#include "app/messagespane.h"
#include "app/modules.h"
#include "format/confformat.h"
#include "format/formatid.h"
#include "tree/lint.h"
#include "tree/ui/conftree.h"

#include <QAction>
#include <QCloseEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QSettings>
#include <QSplitter>
#include <QStatusBar>
#include <QTextBrowser>
#include <QToolBar>
#include <QUndoStack>

namespace {

const char *const KeyState = "Window/State";
const char *const KeyGeometry = "Window/Geometry";
const char *const KeyTree = "Window/Tree";
const char *const KeySplitter = "Window/Splitter";
const int StateVersion = 0;
const QRect DefaultGeometry(100, 100, 500, 400);

// Escape in the find field clears it, as in every search field.
class ClearOnEscape : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
            static_cast<QLineEdit *>(watched)->clear();
            return true;
        }
        return false;
    }
};

} // namespace

MainWindow::MainWindow(QWidget *parent, Qt::WindowFlags flags)
    : QMainWindow(parent, flags)
{
    setWindowTitle(tr("VANT /// Device Configurator"));
    settings = new QSettings(this);

    // Shortcuts are translatable so that a translation can move them; "Ctrl+X" leaves the
    // program and "Ctrl+C" opens the link settings, they do not cut or copy.
    QMenu *fileMenu = new QMenu(tr("&File"), this);
    fileMenu->addAction(tr("&Open"), QKeySequence(tr("Ctrl+O", "File|Open")), this,
                        &MainWindow::fileOpen);
    fileMenu->addAction(tr("&Save"), QKeySequence(tr("Ctrl+S", "File|Save")), this,
                        &MainWindow::fileSave);
    fileMenu->addAction(tr("Save &Binary"), QKeySequence(tr("Ctrl+B", "File|SaveBin")), this,
                        &MainWindow::fileSaveBin);
    fileMenu->addSeparator();
    fileMenu->addAction(tr("E&xit"), QKeySequence(tr("Ctrl+X", "Exit")), this, &QWidget::close);
    menuBar()->addMenu(fileMenu);

    tree = new ConfTree;
    buildWorkbench();

    deviceMenu = new QMenu(tr("&Device"), this);
    deviceMenu->addAction(tr("Read device &ID"), QKeySequence(tr("Ctrl+I", "Device|ID")), this,
                          &MainWindow::devID);
    deviceMenu->addSeparator();
    deviceMenu->addAction(tr("&Download configuration"),
                          QKeySequence(tr("Ctrl+D", "Device|Download")), this,
                          &MainWindow::devDownload);
    deviceMenu->addAction(tr("&Upload configuration"), QKeySequence(tr("Ctrl+U", "Device|Upload")),
                          this, &MainWindow::devUpload);
    deviceMenu->addAction(tr("Restore &backup..."), this, &MainWindow::devRestore);
    deviceMenu->addAction(tr("&Provision..."), this, &MainWindow::devProvision);
    deviceMenu->addSeparator();
    deviceMenu->addAction(tr("Update firmwa&re"), QKeySequence(tr("Ctrl+R", "Device|Firmware")),
                          this, &MainWindow::devFirmware);
    deviceMenu->addSeparator();
    deviceMenu->addAction(tr("&Link settings"), QKeySequence(tr("Ctrl+C", "Device|Link")), this,
                          &MainWindow::devCOMport);
    menuBar()->addMenu(deviceMenu);

    splitter = new QSplitter(Qt::Vertical, this);
    setCentralWidget(splitter);
    splitter->addWidget(tree);
    descView = new QTextBrowser(splitter);
    connect(tree, &ConfTree::showDesc, descView, &QTextBrowser::setHtml);
    showStartHelp();

    restoreState(settings->value(KeyState).toByteArray(), StateVersion);
    // An empty or hand-edited value, or one left by a write that failed, reads as a
    // rectangle of no size and would open a speck of a window in the corner.
    const QRect storedGeometry = settings->value(KeyGeometry).toRect();
    setGeometry(storedGeometry.isValid() ? storedGeometry : DefaultGeometry);
    tree->header()->restoreState(settings->value(KeyTree).toByteArray());
    splitter->restoreState(settings->value(KeySplitter).toByteArray());
}

// The Edit and View menus, the find bar, the messages pane and the status bar.
void MainWindow::buildWorkbench()
{
    QMenu *editMenu = new QMenu(tr("&Edit"), this);
    QAction *undo = tree->undoStack()->createUndoAction(this, tr("&Undo"));
    undo->setShortcut(QKeySequence(tr("Ctrl+Z", "Edit|Undo")));
    QAction *redo = tree->undoStack()->createRedoAction(this, tr("&Redo"));
    redo->setShortcuts({QKeySequence(tr("Ctrl+Shift+Z", "Edit|Redo")), QKeySequence(tr("Ctrl+Y", "Edit|Redo"))});
    editMenu->addAction(undo);
    editMenu->addAction(redo);
    editMenu->addSeparator();
    editMenu->addAction(tr("Revert &all"), tree, &ConfTree::revertAll);
    editMenu->addSeparator();
    editMenu->addAction(tr("&Find"), QKeySequence(tr("Ctrl+F", "Edit|Find")), this, [this] {
        filter->setFocus();
        filter->selectAll();
    });
    menuBar()->addMenu(editMenu);

    QMenu *viewMenu = new QMenu(tr("&View"), this);
    QAction *changedOnly = viewMenu->addAction(tr("&Changed only"));
    changedOnly->setCheckable(true);
    connect(changedOnly, &QAction::toggled, tree, &ConfTree::setChangedOnly);
    QAction *showHidden = viewMenu->addAction(tr("Show &hidden rows"));
    showHidden->setCheckable(true);
    connect(showHidden, &QAction::toggled, tree, &ConfTree::setShowHidden);
    viewMenu->addSeparator();
    viewMenu->addAction(tr("&Reload description"), QKeySequence(tr("F5", "View|Reload")), this,
                        [this] { reloadDescription(); });
    menuBar()->addMenu(viewMenu);

    auto *findBar = new QToolBar(tr("Find"), this);
    findBar->setObjectName(QStringLiteral("findBar"));
    findBar->setMovable(false);
    filter = new QLineEdit(findBar);
    filter->setObjectName(QStringLiteral("filterField"));
    filter->setPlaceholderText(tr("Find a setting (Ctrl+F)"));
    filter->setClearButtonEnabled(true);
    filter->installEventFilter(new ClearOnEscape(filter));
    matchLabel = new QLabel(findBar);
    matchLabel->setObjectName(QStringLiteral("matchCount"));
    findBar->addWidget(filter);
    findBar->addWidget(matchLabel);
    addToolBar(Qt::TopToolBarArea, findBar);
    connect(filter, &QLineEdit::textChanged, tree, &ConfTree::setFilterText);
    connect(tree, &ConfTree::filterMatched, this, [this](int count) {
        matchLabel->setText(filter->text().isEmpty() ? QString() : tr("Matches: %1").arg(count));
    });

    messages = new MessagesPane(this);
    addDockWidget(Qt::BottomDockWidgetArea, messages);
    messages->hide();
    viewMenu->addSeparator();
    viewMenu->addAction(messages->toggleViewAction());

    statusLink = new QLabel(this);
    statusDevice = new QLabel(this);
    statusFile = new QLabel(this);
    statusChanges = new QLabel(this);
    for (QLabel *label : {statusLink, statusDevice, statusFile, statusChanges})
        statusBar()->addWidget(label);
    connect(tree, &ConfTree::changesChanged, this, [this] { updateTitleAndStatus(); });
    connect(tree->undoStack(), &QUndoStack::indexChanged, this, [this] { updateTitleAndStatus(); });
    updateTitleAndStatus();
}

void MainWindow::setShownName(const QString &name)
{
    shownName = name;
    updateTitleAndStatus();
}

void MainWindow::updateTitleAndStatus()
{
    const int changes = tree->changedCount();
    const QString base = tr("VANT /// Device Configurator");
    setWindowTitle(shownName.isEmpty() ? base + QStringLiteral("[*]") : shownName + QStringLiteral("[*] - ") + base);
    setWindowModified(changes > 0);
    statusFile->setText(shownName);
    statusChanges->setText(tree->format ? tr("Changed: %1").arg(changes) : QString());
    statusLink->setText(tr("Link: %1").arg(linkText()));
    if (!tree->format)
        showStartHelp();
}

void MainWindow::showStartHelp()
{
    if (tree->format || !descView)
        return;
    descView->setHtml(tr("<p>To begin, download the configuration from the device (Device &gt; Download "
                         "configuration, Ctrl+D) or open a value file (File &gt; Open, Ctrl+O).</p>"));
}

void MainWindow::showMessages(const QList<Diagnostic> &reported, bool failed)
{
    messages->setMessages(reported);
    // A warning (a value out of its range, a backup used in place of a damaged file) is
    // news the user has to see even when the command itself succeeded.
    bool warned = false;
    for (const Diagnostic &d : reported)
        warned = warned || d.severity != DiagSeverity::Info;
    if ((failed || warned) && !reported.isEmpty())
        messages->show();
}

void MainWindow::reloadDescription()
{
    if (!tree->format) {
        QMessageBox::warning(this, tr("Warning"), tr("No description to reload."));
        return;
    }
    const DiagCollector collector;
    const bool reloaded = tree->reloadDescription();
    QList<Diagnostic> reported = collector.diagnostics();
    // The loader stops at the first fault; an author wants them all, each where it is.
    if (!reloaded) {
        const QList<LintFinding> findings = lintDescriptionFile(descriptionPath(tree->formatId));
        if (!findings.isEmpty())
            reported.clear();
        for (const LintFinding &f : findings) {
            Diagnostic d;
            d.text = f.severity == DiagSeverity::Warning ? f.message + QStringLiteral(" [") + f.code + QLatin1Char(']')
                                                          : f.message;
            d.severity = f.severity;
            d.location = f.location;
            reported.append(d);
        }
    }
    showMessages(reported, !reloaded);
    if (reloaded)
        statusBar()->showMessage(tr("Description %1 reloaded.").arg(tree->formatId), 5000);
    else
        statusBar()->showMessage(tr("Description %1 does not load; nothing changed.").arg(tree->formatId), 5000);
}

void MainWindow::devID()
{
    deviceCommand(DeviceCommand::Identify);
}

void MainWindow::devDownload()
{
    deviceCommand(DeviceCommand::Download);
}

void MainWindow::devUpload()
{
    deviceCommand(DeviceCommand::Upload);
}

void MainWindow::devFirmware()
{
    deviceCommand(DeviceCommand::Firmware);
}

void MainWindow::devRestore()
{
    deviceCommand(DeviceCommand::Restore);
}

void MainWindow::devProvision()
{
    deviceCommand(DeviceCommand::Provision);
}

void MainWindow::devCOMport()
{
    deviceCommand(DeviceCommand::LinkSettings);
}

void MainWindow::deviceCommand(DeviceCommand command)
{
    QString error;
    if (const DeviceModule *module = modules::device(&error))
        module->run(*this, command);
    else
        modules::reportFailure(error, this);
}

QString MainWindow::linkText() const
{
    const int driver = settings->value(KeyDriver, LinkDriverAuto).toInt();
    if (driver == LinkDriverAuto)
        return tr("automatic");
    if (driver == LinkDriverSerial)
        return settings->value(KeyPort, QString::fromLatin1(DefaultPort)).toString();
    return QStringLiteral("USB-HID");
}

void MainWindow::setDeviceCommandsEnabled(bool enabled)
{
    for (QAction *action : deviceMenu->actions())
        action->setEnabled(enabled);
}

MainWindow::~MainWindow()
{
    // Only what differs from the store is written: a window closed as it was opened rewrites
    // and flushes no file, so it ends without waiting for the disk. The store is read again
    // first, so that a file changed or removed meanwhile still gets the layout.
    settings->sync();
    const auto store = [this](const char *key, const QVariant &value) {
        if (settings->value(key) != value)
            settings->setValue(key, value);
    };
    store(KeySplitter, splitter->saveState());
    store(KeyTree, tree->header()->saveState());
    store(KeyGeometry, geometry());
    store(KeyState, saveState(StateVersion));
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    const int changes = tree->changedCount();
    const QString question = tr("Do you really want to exit ?");
    const auto answer = QMessageBox::question(
        this, tr("Question"),
        changes > 0 ? tr("Values changed and not saved: %1.").arg(changes) + QLatin1Char('\n') + question : question,
        QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (answer == QMessageBox::Yes)
        event->accept();
    else
        event->ignore();
}
