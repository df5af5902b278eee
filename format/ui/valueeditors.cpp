#include "format/ui/valueeditors.h"

#include "format/confformat.h"
#include "format/diag.h"
#include "format/valueparse.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QRegularExpression>
#include <QVBoxLayout>
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

// A number box that takes "." and "," alike as the decimal separator, whatever the locale, and
// shows the value as the property tree does ("-0.50"). A spin box of the locale would show
// "-0,50" under a Russian locale, and read "22.5" typed there as 22.
class DecimalSpinBox : public QDoubleSpinBox
{
public:
    using QDoubleSpinBox::QDoubleSpinBox;

    QString textFromValue(double value) const override
    {
        return QString::number(value, 'f', decimals());
    }

    double valueFromText(const QString &text) const override
    {
        return normalised(text).toDouble();
    }

    QValidator::State validate(QString &input, int &) const override
    {
        input.replace(QLatin1Char(','), QLatin1Char('.'));
        const QString text = normalised(input);
        static const QRegularExpression shape(QStringLiteral("^[+-]?[0-9]*(\\.[0-9]*)?$"));
        if (!shape.match(text).hasMatch())
            return QValidator::Invalid;
        const qsizetype point = text.indexOf(QLatin1Char('.'));
        if (point >= 0 && text.size() - point - 1 > decimals())
            return QValidator::Invalid;
        bool ok = false;
        const double value = text.toDouble(&ok);
        if (!ok)
            return QValidator::Intermediate; // "", "-", ".", "-."
        return value >= minimum() && value <= maximum() ? QValidator::Acceptable : QValidator::Intermediate;
    }

private:
    static QString normalised(QString text)
    {
        return text.replace(QLatin1Char(','), QLatin1Char('.')).trimmed();
    }
};

bool askDecimal(QWidget *parent, const QString &label, const ConfVar *var, double *number)
{
    QDialog dialog(parent);
    dialog.setWindowTitle(editTitle());
    auto *layout = new QVBoxLayout(&dialog);
    auto *text = new QLabel(label, &dialog);
    auto *box = new DecimalSpinBox(&dialog);
    box->setDecimals(qBound(0, var->decimals, 100));
    box->setRange(double(var->floatMin), double(var->floatMax));
    box->setValue(double(var->floatValue));
    text->setBuddy(box);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(text);
    layout->addWidget(box);
    layout->addWidget(buttons);
    box->selectAll();
    if (dialog.exec() != QDialog::Accepted)
        return false;
    box->interpretText();
    *number = box->value();
    return true;
}

// The slot holds a 2-byte length and at most size - 2 content bytes.
bool editFile(QWidget *parent, ConfVar *var)
{
    const QString path = QFileDialog::getOpenFileName(parent, ConfFormat::tr("Open file"), QString(),
                                                      ConfFormat::tr("Files (*)"));
    if (path.isEmpty())
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        showError(parent, ConfFormat::tr("Can't open file."));
        return false;
    }
    const qint64 limit = qint64(var->size) - 2;
    if (file.size() > limit) {
        showError(parent, ConfFormat::tr("File too large."));
        return false;
    }
    // Read one byte more than fits: a file that grew since its size was taken, or one that
    // reports no size at all (a device or a pipe), must not be cut silently or read without end.
    const QByteArray data = file.read(qMax<qint64>(limit, 0) + 1);
    if (file.error() != QFileDevice::NoError) {
        showError(parent, ConfFormat::tr("Can't open file."));
        return false;
    }
    if (data.size() > limit) {
        showError(parent, ConfFormat::tr("File too large."));
        return false;
    }
    var->fileData = data;
    var->fileLength = qint32(data.size());
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
    bool ok = false;

    switch (var->kind) {
    case KindInt:
        if (!var->items.isEmpty()) {
            const QString choice = QInputDialog::getItem(parent, editTitle(), label, var->items,
                                                         var->value, false, &ok);
            if (!ok || choice.isEmpty())
                return false;
            var->value = qint32(var->items.indexOf(choice));
            return true;
        } else {
            const int number = QInputDialog::getInt(parent, editTitle(), label, var->value,
                                                    var->min, var->max, 1, &ok);
            if (!ok)
                return false;
            var->value = number;
            return true;
        }

    case KindTime: {
        const QString input = QInputDialog::getText(parent, editTitle(), label, QLineEdit::Normal,
                                                    format.varText(var), &ok);
        if (!ok)
            return false;
        qint32 minutes = 0;
        if (!parseTimeText(input, &minutes)) {
            showError(parent, ConfFormat::tr("Incorrect format for time."));
            return false;
        }
        var->value = minutes;
        return true;
    }

    case KindIp: {
        const QString input = QInputDialog::getText(parent, editTitle(), label, QLineEdit::Normal,
                                                    format.varText(var), &ok);
        if (!ok)
            return false;
        qint32 address = 0;
        if (!parseIpText(input, &address)) {
            showError(parent, ConfFormat::tr("Incorrect format for IP address."));
            return false;
        }
        var->value = address;
        return true;
    }

    case KindFloat: {
        double number = 0;
        if (!askDecimal(parent, label, var, &number))
            return false;
        var->floatValue = float(number);
        return true;
    }

    case KindString: {
        const QString input = QInputDialog::getText(parent, editTitle(), label, QLineEdit::Normal,
                                                    var->text, &ok);
        if (!ok)
            return false;
        const QString stored = input.left(qMax(var->size - 1, 0));
        const QString unstorable = format.unstorableCharacters(stored);
        if (!unstorable.isEmpty()) {
            showError(parent, ConfFormat::tr("These characters cannot be stored on the device (%1): %2")
                                  .arg(format.encoding(), unstorable));
            return false;
        }
        var->text = stored;
        return true;
    }

    case KindFile:
        return editFile(parent, var);

    case KindStruct:
        return false;
    }
    return false;
}

} // namespace editors
