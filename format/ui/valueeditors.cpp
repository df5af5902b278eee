#include "format/ui/valueeditors.h"

#include "format/confformat.h"
#include "format/diag.h"
#include "format/valueassign.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace {

QString editTitle()
{
    return ConfFormat::tr("Edit property value");
}

void showError(QWidget *parent, const QString &message)
{
    QMessageBox::critical(parent, ConfFormat::tr("Error"), message, QMessageBox::Ok);
}

// The prompt with what the variable holds, so a value is not refused for a limit the user
// could not see.
QString promptFor(const QString &label, const ConfVar &var)
{
    const QString limit = var.kind == KindString || var.kind == KindFile ? lengthLimitText(var) : rangeText(var);
    return limit.isEmpty() ? label : ConfFormat::tr("%1 (%2)").arg(label, limit);
}

// Numbers, times, addresses and strings are typed as text and go through the format's rule,
// which refuses what does not fit instead of clamping or cutting it unseen.
bool editText(QWidget *parent, const ConfFormat &format, ConfVar *var, const QString &label)
{
    bool ok = false;
    const QString input = QInputDialog::getText(parent, editTitle(), promptFor(label, *var), QLineEdit::Normal,
                                                editableText(format, *var), &ok);
    if (!ok)
        return false;
    QString reason;
    if (!assignValueText(format, *var, input, &reason)) {
        showError(parent, reason);
        return false;
    }
    return true;
}

bool editFile(QWidget *parent, ConfVar *var, const QString &label)
{
    QFileDialog dialog(parent, ConfFormat::tr("Open file"), QString(), ConfFormat::tr("Files (*)"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setLabelText(QFileDialog::FileName, promptFor(label, *var));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    QString reason;
    if (!assignFileContents(*var, dialog.selectedFiles().constFirst(), &reason)) {
        showError(parent, reason);
        return false;
    }
    return true;
}

} // namespace

namespace editors {

bool edit(QWidget *parent, ConfFormat &format, int id, const QString &label)
{
    ConfVar *var = format.varById(id);
    if (!var) {
        diagOut("ConfFormat::edit id=%d not found\n", id);
        return false;
    }
    return editVar(parent, format, var, label);
}

bool editVar(QWidget *parent, ConfFormat &format, ConfVar *var, const QString &label)
{
    if (!var)
        return false;
    switch (var->kind) {
    case KindInt:
        if (!var->items.isEmpty()) {
            bool ok = false;
            const QString choice = QInputDialog::getItem(parent, editTitle(), label, var->items,
                                                         var->value, false, &ok);
            // An empty choice names no item; it counts as no choice, as a cancel does.
            if (!ok || choice.isEmpty())
                return false;
            return assignValueText(format, *var, choice, nullptr);
        }
        [[fallthrough]];
    case KindTime:
    case KindIp:
    case KindFloat:
    case KindString:
        return editText(parent, format, var, label);

    case KindFile:
        return editFile(parent, var, label);

    case KindStruct:
        return false;
    }
    return false;
}

} // namespace editors
