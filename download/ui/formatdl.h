#pragma once
#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;
class FormatFetch;

// Modal dialog that fetches the description of one format id into
// "confxml/" + id + ".xml" while showing progress. exec() returns Accepted only
// when the file holds the complete body of a 200 answer; Rejected otherwise,
// and then no file of that id is left behind (except when it could not even be
// created). Closing the dialog in any way cancels the transfer.
class FormatDL : public QDialog
{
    Q_OBJECT
public:
    // Starts the download at once (creating the folder confxml/ when it is
    // missing). When the file cannot be created, a critical box over parent says
    // so here and exec() returns Rejected without showing the dialog.
    FormatDL(const QString &id, QWidget *parent = nullptr);
    ~FormatDL() override;

    int exec() override;

public slots:
    // Escape and the window's close control come here: same as Cancel while
    // the transfer runs.
    void reject() override;

protected slots:
    void http_done(bool error);
    void http_dataReadProgress(int done, int total);
    void http_responseHeaderReceived(int status);
    void cancelClicked();

private:
    QLabel *label = nullptr;
    QProgressBar *progress = nullptr;
    QPushButton *buttonCancel = nullptr;
    FormatFetch *fetch = nullptr;
    int status = 0;
    bool notStarted = false;
};

// The dialog for `id` run once over `parent`, as the program's description download
// (download/ui/descriptiondownload.h): true when it was accepted.
bool runFormatDownload(const QString &id, QWidget *parent);
