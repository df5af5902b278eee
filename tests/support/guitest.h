#pragma once
// Support for widget tests: a main() that keeps the settings store in a temporary folder, and a
// driver that answers modal dialogs the way a user would, from a timer, while the code under
// test sits in the dialog's own event loop.
#include <QApplication>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QQueue>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

#include "tests/support/diagcapture.h"
#include "format/diag.h"

// The per-user settings live under XDG_CONFIG_HOME on this platform; pointing it at a fresh
// folder before the application exists keeps the user's own settings out of reach, whoever
// runs the test and however.
#define VANT_GUI_TEST_MAIN(TestObject)                                                   \
    int main(int argc, char *argv[])                                                     \
    {                                                                                    \
        QTemporaryDir configHome;                                                        \
        if (!configHome.isValid())                                                       \
            return 1;                                                                    \
        qputenv("XDG_CONFIG_HOME", configHome.path().toLocal8Bit());                     \
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))                              \
            qputenv("QT_QPA_PLATFORM", "offscreen");                                     \
        QApplication app(argc, argv);                                                    \
        TestObject tc;                                                                   \
        QTEST_SET_MAIN_SOURCE_PATH                                                       \
        return QTest::qExec(&tc, argc, argv);                                            \
    }

class ModalDriver : public QObject
{
public:
    using Step = std::function<void(QWidget *)>;

    // A dialog that a step left open for longer than stuckMs counts as unexpected and is
    // closed, so that a test that went wrong fails instead of hanging.
    explicit ModalDriver(int pollMs = 5, int stuckMs = 10000)
        : stuckMs(stuckMs)
    {
        connect(&timer, &QTimer::timeout, this, &ModalDriver::poll);
        timer.start(pollMs);
    }
    ~ModalDriver() override { timer.stop(); }

    // Each step receives the next modal dialog that opens, in order.
    void then(Step step) { steps.enqueue(std::move(step)); }
    int pendingSteps() const { return steps.size(); }

    // Dialogs that opened when no step was left: their titles, in order. The driver closes
    // them so that a test that went wrong fails instead of hanging.
    QStringList unexpected;

private:
    void poll()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        if (modal == current) {
            if (since.elapsed() > stuckMs) {
                unexpected << QStringLiteral("left open: ") + modal->windowTitle();
                closeDialog(modal);
            }
            return;
        }
        current = modal;
        since.start();
        if (steps.isEmpty()) {
            unexpected << modal->windowTitle();
            closeDialog(modal);
            return;
        }
        steps.dequeue()(modal);
    }

    static void closeDialog(QWidget *modal)
    {
        if (auto *dialog = qobject_cast<QDialog *>(modal))
            dialog->reject();
        else
            modal->close();
    }

    int stuckMs;
    QElapsedTimer since;
    QTimer timer;
    QQueue<Step> steps;
    QPointer<QWidget> current;
};

namespace gui {

inline QPushButton *dialogButton(QWidget *dialog, QDialogButtonBox::StandardButton which)
{
    const auto boxes = dialog->findChildren<QDialogButtonBox *>();
    for (QDialogButtonBox *box : boxes) {
        if (QPushButton *b = box->button(which))
            return b;
    }
    return nullptr;
}

inline void click(QWidget *dialog, QDialogButtonBox::StandardButton which)
{
    QPushButton *b = dialogButton(dialog, which);
    QVERIFY2(b, "dialog has no such button");
    QTest::mouseClick(b, Qt::LeftButton);
}

// Replaces the text of the dialog's line edit by typing, as a user selecting all and typing.
inline void typeInto(QLineEdit *edit, const QString &text)
{
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_Delete);
    for (const QChar c : text) {
        if (c.unicode() < 0x80) {
            QTest::keyClick(edit, c.toLatin1());
        } else {
            // Letters without a key code of their own arrive as text, as from a keyboard layout.
            QTest::sendKeyEvent(QTest::Press, edit, Qt::Key_unknown, QString(c), Qt::NoModifier);
            QTest::sendKeyEvent(QTest::Release, edit, Qt::Key_unknown, QString(c), Qt::NoModifier);
        }
    }
}

// What a message box showed, for assertions after it is gone.
struct BoxSeen
{
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    QWidget *parent = nullptr;
    QString details;
    bool seen = false;
};

inline BoxSeen readBox(QWidget *modal)
{
    BoxSeen seen;
    auto *box = qobject_cast<QMessageBox *>(modal);
    if (!box)
        return seen;
    seen.seen = true;
    seen.title = box->windowTitle();
    seen.text = box->text();
    seen.icon = box->icon();
    seen.buttons = box->standardButtons();
    if (auto *b = box->defaultButton())
        seen.defaultButton = box->standardButton(b);
    seen.parent = box->parentWidget();
    seen.details = box->detailedText();
    return seen;
}

// Collects the diagnostic lines while it lives.
using DiagLines = DiagCapture;

} // namespace gui
