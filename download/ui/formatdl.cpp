#include "download/ui/formatdl.h"

#include "download/formatfetch.h"

#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

FormatDL::FormatDL(const QString &id, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("FormatDL"));
    resize(201, 94);
    setWindowTitle(tr("Downloading Format"));

    label = new QLabel(this);
    label->setObjectName(QStringLiteral("label"));
    label->setText(tr("Downloading..."));

    progress = new QProgressBar(this);
    progress->setObjectName(QStringLiteral("progress"));
    progress->setValue(0);

    buttonCancel = new QPushButton(this);
    buttonCancel->setObjectName(QStringLiteral("buttonCancel"));
    buttonCancel->setText(tr("Cancel"));

    // The label and the bar above, Cancel at the right below them; a layout rather than fixed
    // places, so the Russian texts and large fonts fit.
    auto *column = new QVBoxLayout(this);
    column->addWidget(label);
    column->addWidget(progress);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(buttonCancel);
    column->addLayout(buttons);

    fetch = new FormatFetch(id, this);
    if (!fetch->start()) {
        notStarted = true;
        // A refused id or server setting has already been reported on the
        // diagnostic output; the caller reports the missing description.
        // The dialog itself is never shown then, so the box belongs to the window
        // that asked for the description.
        if (fetch->failure() == FormatFetch::Failure::CannotCreateFile)
            QMessageBox::critical(parentWidget(), tr("Error"), tr("Error creating file '%1'.").arg(fetch->fileName()));
        return;
    }
    connect(buttonCancel, &QPushButton::clicked, this, &FormatDL::cancelClicked);
    connect(fetch, &FormatFetch::responseHeaderReceived, this, &FormatDL::http_responseHeaderReceived);
    connect(fetch, &FormatFetch::dataReadProgress, this, &FormatDL::http_dataReadProgress);
    connect(fetch, &FormatFetch::finished, this, [this](bool ok) { http_done(!ok); });
}

// The fetch is a child: destroying it ends a running request and removes the
// partial file.
FormatDL::~FormatDL() = default;

int FormatDL::exec()
{
    if (notStarted) {
        setResult(Rejected);
        return Rejected;
    }
    // The transfer may have ended before the loop started.
    if (!fetch->isRunning())
        return result();
    return QDialog::exec();
}

void FormatDL::http_responseHeaderReceived(int code)
{
    status = code;
}

void FormatDL::http_dataReadProgress(int done, int total)
{
    if (total <= 0)
        progress->setValue(50);
    else
        progress->setValue(int(qBound(qint64(0), qint64(done) * 100 / total, qint64(100))));
}

// error: the description was not stored (transfer failed, status not 200, too
// large, or cancelled); the fetch has already removed the file.
void FormatDL::http_done(bool error)
{
    if (error)
        QDialog::reject();
    else
        accept();
}

void FormatDL::cancelClicked()
{
    disconnect(fetch, nullptr, this, nullptr);
    fetch->abort();
    QDialog::reject();
}

void FormatDL::reject()
{
    if (fetch && fetch->isRunning())
        cancelClicked();
    else
        QDialog::reject();
}

bool runFormatDownload(const QString &id, QWidget *parent)
{
    FormatDL download(id, parent);
    return download.exec() == QDialog::Accepted;
}
