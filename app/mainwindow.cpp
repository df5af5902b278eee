#include "app/mainwindow.h"

#include "tree/ui/conftree.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QSettings>
#include <QSplitter>
#include <QTextBrowser>

namespace {

const char *const KeyState = "Window/State";
const char *const KeyGeometry = "Window/Geometry";
const char *const KeyTree = "Window/Tree";
const char *const KeySplitter = "Window/Splitter";
const int StateVersion = 0;
const QRect DefaultGeometry(100, 100, 500, 400);

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

    QMenu *deviceMenu = new QMenu(tr("&Device"), this);
    deviceMenu->addAction(tr("Read device &ID"), QKeySequence(tr("Ctrl+I", "Device|ID")), this,
                          &MainWindow::devID);
    deviceMenu->addSeparator();
    deviceMenu->addAction(tr("&Download configuration"),
                          QKeySequence(tr("Ctrl+D", "Device|Download")), this,
                          &MainWindow::devDownload);
    deviceMenu->addAction(tr("&Upload configuration"), QKeySequence(tr("Ctrl+U", "Device|Upload")),
                          this, &MainWindow::devUpload);
    deviceMenu->addSeparator();
    deviceMenu->addAction(tr("Update firmwa&re"), QKeySequence(tr("Ctrl+R", "Device|Firmware")),
                          this, &MainWindow::devFirmware);
    deviceMenu->addSeparator();
    deviceMenu->addAction(tr("&Link settings"), QKeySequence(tr("Ctrl+C", "Device|Link")), this,
                          &MainWindow::devCOMport);
    menuBar()->addMenu(deviceMenu);

    splitter = new QSplitter(Qt::Vertical, this);
    setCentralWidget(splitter);
    tree = new ConfTree(splitter);
    descView = new QTextBrowser(splitter);
    connect(tree, &ConfTree::showDesc, descView, &QTextBrowser::setHtml);

    restoreState(settings->value(KeyState).toByteArray(), StateVersion);
    // An empty or hand-edited value, or one left by a write that failed, reads as a
    // rectangle of no size and would open a speck of a window in the corner.
    const QRect storedGeometry = settings->value(KeyGeometry).toRect();
    setGeometry(storedGeometry.isValid() ? storedGeometry : DefaultGeometry);
    tree->header()->restoreState(settings->value(KeyTree).toByteArray());
    splitter->restoreState(settings->value(KeySplitter).toByteArray());
}

MainWindow::~MainWindow()
{
    settings->setValue(KeySplitter, splitter->saveState());
    settings->setValue(KeyTree, tree->header()->saveState());
    settings->setValue(KeyGeometry, geometry());
    settings->setValue(KeyState, saveState(StateVersion));
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    const auto answer = QMessageBox::question(this, tr("Question"),
                                              tr("Do you really want to exit ?"),
                                              QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (answer == QMessageBox::Yes)
        event->accept();
    else
        event->ignore();
}
