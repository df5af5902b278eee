#pragma once
// The configurator's one top-level window: the property tree above the description pane,
// the File and Device menus, and the layout kept in the per-user settings.
#include <QMainWindow>

#include <functional>
#include <memory>

#include "app/devicemodule.h"
#include "format/diag.h"

#include <QList>

class ConfTree;
class Device;
class HidBackend;
class MessagesPane;
class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QSettings;
class QSplitter;
class QTextBrowser;

class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(QWidget *parent = nullptr, Qt::WindowFlags flags = Qt::WindowFlags());
    ~MainWindow() override; // writes the layout keys

    ConfTree *confTree() const { return tree; }
    QTextBrowser *descriptionPane() const { return descView; }
    QSplitter *splitterWidget() const { return splitter; }
    QSettings *settingsStore() const { return settings; }
    QLineEdit *filterField() const { return filter; }
    MessagesPane *messagesPane() const { return messages; }
    // The HID device calls the device commands' workers use, not owned; null (the default)
    // for the real device.
    void setHidBackend(HidBackend *backend) { hidBackend = backend; }

    // One command of the Device menu, as its action runs it. Defined with the device links
    // (app/devicecommands.cpp), which this window reaches only through the device module's
    // table: the window's own code never calls it.
    void runDeviceCommand(DeviceCommand command);

protected:
    void closeEvent(QCloseEvent *event) override;

protected slots:
    void fileOpen();
    void fileSave();
    void fileSaveBin();
    // Each runs its command through the device module, which is loaded on the first.
    void devID();
    void devDownload();
    void devUpload();
    void devFirmware();
    void devRestore();
    void devProvision();
    void devCOMport();

private:
    void buildWorkbench();
    void deviceCommand(DeviceCommand command);
    // The device commands proper, in the device module.
    void identifyDevice();
    void downloadFromDevice();
    void uploadToDevice();
    void updateFirmware();
    void restoreBackup();
    void provisionDevices();
    void editLinkSettings();
    // The title names what is shown (a file, or the device's software id) and marks changes.
    void setShownName(const QString &name);
    void updateTitleAndStatus();
    // Lists what was reported while `run` ran in the messages pane, and opens the pane when
    // `failed` says the command failed.
    void showMessages(const QList<Diagnostic> &reported, bool failed);
    void setDeviceCommandsEnabled(bool enabled);
    void showStartHelp();
    void reloadDescription();
    // The link the device commands use, as the status bar names it.
    QString linkText() const;

    // Shared by the device commands: the worker for the chosen link, the wait with its
    // progress dialog, and the message for a failed transfer.
    Device *devCreate();
    int devWait(Device *worker);
    void devError(int code);
    // One operation on a fresh worker, started by `start`: the worker when it succeeded,
    // null after the failure's message box.
    std::unique_ptr<Device> devRun(const std::function<void(Device &)> &start);
    // The same on a given worker, which may run again after it; the result code. A failure
    // gets its message box only when `reportFailure` says so.
    int devRunOn(Device &worker, const std::function<void(Device &)> &start, bool reportFailure = true);

    // Before a write and on a download: the device's image kept as a backup, what an upload
    // changes shown for the user to confirm.
    bool keepBackups() const;
    bool reviewUploads() const;
    bool keepBackup(const Device &worker, QString *error);
    bool prepareWrite(Device &worker, const QByteArray *toWrite, const QString &toWriteId);
    bool confirmUpload(const Device &worker, const QByteArray &toWrite, const QString &toWriteId);
    // Reads, backs up and reviews as the settings ask, then writes; runs onWritten before the
    // box that reports success.
    bool uploadImage(const QByteArray &image, const QString &id, const std::function<void()> &onWritten = {});

    QSettings *settings = nullptr;
    QSplitter *splitter = nullptr;
    ConfTree *tree = nullptr;
    QTextBrowser *descView = nullptr;
    HidBackend *hidBackend = nullptr;
    QLineEdit *filter = nullptr;
    QLabel *matchLabel = nullptr;
    MessagesPane *messages = nullptr;
    QMenu *deviceMenu = nullptr;
    QLabel *statusLink = nullptr;
    QLabel *statusDevice = nullptr;
    QLabel *statusFile = nullptr;
    QLabel *statusChanges = nullptr;
    QString shownName;
    bool transferRunning = false; // a device command is between creating and deleting its worker
};
