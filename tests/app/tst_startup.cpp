// Program start: translations and plug-in paths taken from the working directory, and the real
// program run from start to end.
#include "app/mainwindow.h"
#include "app/startup.h"
#include "tests/support/guitest.h"
#include "tree/ui/conftree.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMenuBar>
#include <QProcess>
#include <QSettings>
#include <QHash>
#include <QTranslator>

namespace {

const QString BinDir = QStringLiteral(VANT_BINARY_DIR "/bin");

struct Texts
{
    QString title;
    QString header;
    QString fileMenu;
    QString exitShortcut;
    QStringList menuTexts;   // every menu and menu entry: "text|shortcut"
    QStringList mnemonicClashes; // two entries of one menu (or the bar) with the same & letter
};

QChar mnemonic(const QString &text)
{
    const qsizetype at = text.indexOf(QLatin1Char('&'));
    return at >= 0 && at + 1 < text.size() ? text.at(at + 1).toLower() : QChar();
}

// Entries of one menu that share a mnemonic letter: the key would not reach the second one.
QStringList clashesIn(const QList<QAction *> &actions)
{
    QStringList clashes;
    QHash<QChar, QString> seen;
    for (const QAction *a : actions) {
        const QChar letter = mnemonic(a->text());
        if (letter.isNull())
            continue;
        if (seen.contains(letter))
            clashes << seen.value(letter) + QLatin1Char('/') + a->text();
        seen.insert(letter, a->text());
    }
    return clashes;
}

// Builds the window after installing the two translators the way main() does, from the
// current working directory.
Texts startAndRead()
{
    QTranslator qtTranslator;
    Startup::installTranslation(qtTranslator, QStringLiteral("qt_"));
    QTranslator appTranslator;
    Startup::installTranslation(appTranslator, QStringLiteral("vant-conf_"));
    MainWindow window;
    Texts t;
    // As shown: the modified marker "[*]" shows nothing while nothing changed.
    t.title = window.isWindowModified() ? QStringLiteral("(modified)") : window.windowTitle().remove(QStringLiteral("[*]"));
    t.header = window.confTree()->headerItem()->text(0);
    t.fileMenu = window.menuBar()->actions().at(0)->text();
    const auto actions = window.menuBar()->actions().at(0)->menu()->actions();
    t.exitShortcut = actions.last()->shortcut().toString(QKeySequence::PortableText);
    const auto menus = window.menuBar()->actions();
    t.mnemonicClashes = clashesIn(menus);
    for (const QAction *m : menus) {
        t.menuTexts << m->text();
        const auto entries = m->menu()->actions();
        t.mnemonicClashes << clashesIn(entries);
        for (const QAction *a : entries) {
            if (!a->isSeparator())
                t.menuTexts << a->text() + QLatin1Char('|') + a->shortcut().toString(QKeySequence::PortableText);
        }
    }
    return t;
}

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void translations_data();
    void translations();
    void translationBesideTheProgramOnly_isNotUsed();
    void libraryPaths_data();
    void libraryPaths();
    void realProgram_endsWithZeroAndSavesLayout_data();
    void realProgram_endsWithZeroAndSavesLayout();

private:
    QString savedCwd;
    QStringList savedLibraryPaths;
    std::unique_ptr<QTemporaryDir> work;
};

void TestStartup::init()
{
    savedCwd = QDir::currentPath();
    savedLibraryPaths = QCoreApplication::libraryPaths();
    work = std::make_unique<QTemporaryDir>();
    QVERIFY(work->isValid());
    QVERIFY(QDir::setCurrent(work->path()));
}

void TestStartup::cleanup()
{
    QDir::setCurrent(savedCwd);
    QCoreApplication::setLibraryPaths(savedLibraryPaths);
    QLocale::setDefault(QLocale::c());
    work.reset();
}

void TestStartup::translations_data()
{
    QTest::addColumn<bool>("withFile");
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("header");
    QTest::addColumn<QString>("fileMenu");

    QTest::newRow("noFile_english") << false << "en_US" << "VANT /// Device Configurator"
                                    << "Property" << "&File";
    QTest::newRow("noFile_russianLocale_english") << false << "ru_RU" << "VANT /// Device Configurator"
                                                  << "Property" << "&File";
    QTest::newRow("file_russian") << true << "ru_RU" << QString::fromUtf8("VANT /// Конфигуратор устройств")
                                  << QString::fromUtf8("Параметр") << QString::fromUtf8("&Файл");
    QTest::newRow("file_germanLocale_stillRussian") << true << "de_DE"
                                                    << QString::fromUtf8("VANT /// Конфигуратор устройств")
                                                    << QString::fromUtf8("Параметр") << QString::fromUtf8("&Файл");
}

void TestStartup::translations()
{
    QFETCH(bool, withFile);
    QFETCH(QString, locale);
    QFETCH(QString, title);
    QFETCH(QString, header);
    QFETCH(QString, fileMenu);

    QLocale::setDefault(QLocale(locale));
    if (withFile)
        QVERIFY(QFile::copy(BinDir + QStringLiteral("/vant-conf_ru.qm"), QStringLiteral("vant-conf_ru.qm")));

    const Texts t = startAndRead();
    QCOMPARE(t.title, title);
    QCOMPARE(t.header, header);
    QCOMPARE(t.fileMenu, fileMenu);
    QCOMPARE(t.exitShortcut, QStringLiteral("Ctrl+X"));
    QVERIFY2(t.mnemonicClashes.isEmpty(), qPrintable(t.mnemonicClashes.join(QLatin1String(", "))));
    if (!withFile)
        return;
    // Every menu entry is translated and keeps the shortcut it has in English.
    QFile::remove(QStringLiteral("vant-conf_ru.qm"));
    const Texts english = startAndRead();
    QCOMPARE(t.menuTexts.size(), english.menuTexts.size());
    for (int i = 0; i < t.menuTexts.size(); ++i) {
        QVERIFY2(t.menuTexts[i].section(QLatin1Char('|'), 0, 0) != english.menuTexts[i].section(QLatin1Char('|'), 0, 0)
                     || english.menuTexts[i].startsWith(QLatin1String("Messages")),
                 qPrintable(english.menuTexts[i]));
        QCOMPARE(t.menuTexts[i].section(QLatin1Char('|'), 1), english.menuTexts[i].section(QLatin1Char('|'), 1));
    }
}

void TestStartup::translationBesideTheProgramOnly_isNotUsed()
{
    const QString beside = QCoreApplication::applicationDirPath() + QStringLiteral("/vant-conf_ru.qm");
    QFile::remove(beside);
    QVERIFY(QFile::copy(BinDir + QStringLiteral("/vant-conf_ru.qm"), beside));
    const Texts t = startAndRead();
    QFile::remove(beside);
    QCOMPARE(t.title, QStringLiteral("VANT /// Device Configurator"));
}

void TestStartup::libraryPaths_data()
{
    QTest::addColumn<bool>("withLib");
    QTest::newRow("libFolderPresent_searchedFirst") << true;
    QTest::newRow("libFolderMissing_leftOut") << false;
}

void TestStartup::libraryPaths()
{
    QFETCH(bool, withLib);
    if (withLib)
        QVERIFY(QDir().mkdir(QStringLiteral("lib")));
    const QString here = QDir(work->path()).canonicalPath();

    Startup::addLibraryPaths();
    const QStringList paths = QCoreApplication::libraryPaths();
    if (withLib) {
        QCOMPARE(paths.mid(0, 2), (QStringList{here + QStringLiteral("/lib"), here}));
    } else {
        QCOMPARE(paths.value(0), here);
        QVERIFY(!paths.contains(here + QStringLiteral("/lib")));
    }
}

void TestStartup::realProgram_endsWithZeroAndSavesLayout_data()
{
    QTest::addColumn<QVariant>("stored"); // geometry in the store before the run
    QTest::addColumn<QRect>("after");

    QTest::newRow("emptyStore_defaultGeometrySaved") << QVariant() << QRect(100, 100, 500, 400);
    QTest::newRow("storedGeometry_restoredAndSavedAgain") << QVariant(QRect(20, 30, 640, 480))
                                                          << QRect(20, 30, 640, 480);
}

// The program is started with its test hook, which ends the event loop with 1 shortly after
// start; the working directory holds no translation, so the English texts are used.
void TestStartup::realProgram_endsWithZeroAndSavesLayout()
{
    QFETCH(QVariant, stored);
    QFETCH(QRect, after);

    QTemporaryDir configHome;
    QVERIFY(configHome.isValid());
    const QString storePath = configHome.path() + QStringLiteral("/VANT/Device-Configurator.conf");
    if (stored.isValid()) {
        QSettings seed(storePath, QSettings::IniFormat);
        seed.setValue(QStringLiteral("Window/Geometry"), stored);
    }

    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome.path());
    env.insert(QStringLiteral("VANT_CONF_QUIT_AFTER_MS"), QStringLiteral("200"));
    program.setProcessEnvironment(env);
    program.setWorkingDirectory(work->path());
    program.start(BinDir + QStringLiteral("/vant-conf"), {});
    QVERIFY2(program.waitForStarted(10000), qPrintable(program.errorString()));
    QVERIFY2(program.waitForFinished(30000), "the program did not end");
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);

    QSettings saved(storePath, QSettings::IniFormat);
    QCOMPARE(saved.value(QStringLiteral("Window/Geometry")).toRect(), after);
    for (const char *key : {"Window/State", "Window/Tree", "Window/Splitter"})
        QVERIFY2(!saved.value(QString::fromLatin1(key)).toByteArray().isEmpty(), key);
}

VANT_GUI_TEST_MAIN(TestStartup)
#include "tst_startup.moc"
