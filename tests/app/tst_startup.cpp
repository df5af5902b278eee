// Program start: translations and plug-in paths taken from the working directory, the installed
// translations for a Russian locale, the per-user work folder, and the real program run from
// start to end.
#include "app/mainwindow.h"
#include "app/startup.h"
#include "tests/support/filecontents.h"
#include "tests/support/guitest.h"
#include "tree/ui/conftree.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QFile>
#include <QMenuBar>
#include <QProcess>
#include <QSettings>
#include <QHash>
#include <QTranslator>

namespace {

const QString BinDir = QStringLiteral(VANT_BINARY_DIR "/bin");
const QString ShippedDescriptions = QStringLiteral(VANT_SOURCE_DIR "/confxml");

// While it lives, the per-user data folder is a temporary one; a blocked one is a file, so that
// nothing can be made under it, not even by root.
struct TemporaryDataHome
{
    QTemporaryDir dir;
    QByteArray saved = qgetenv("XDG_DATA_HOME");
    explicit TemporaryDataHome(bool blocked = false)
    {
        const QString path = blocked ? dir.filePath(QStringLiteral("file")) : dir.path();
        if (blocked)
            writeFile(path, "x");
        qputenv("XDG_DATA_HOME", QFile::encodeName(path));
    }
    ~TemporaryDataHome() { qputenv("XDG_DATA_HOME", saved); }
    QString workFolder() const { return dir.path() + QStringLiteral("/VANT/Device-Configurator/work"); }
};

struct Texts
{
    QString title;
    QString frameworkCancel; // a text of Qt's own, translated by qt_ru.qm
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
// current working directory and then, as the locale asks, from the installed folders.
Texts startAndRead(const QStringList &installed = {})
{
    QTranslator qtTranslator;
    Startup::installTranslation(qtTranslator, QStringLiteral("qt_"), installed);
    QTranslator appTranslator;
    Startup::installTranslation(appTranslator, QStringLiteral("vant-conf_"), installed);
    MainWindow window;
    Texts t;
    t.frameworkCancel = QCoreApplication::translate("QPlatformTheme", "Cancel");
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
    void installedTranslations_data();
    void installedTranslations();
    void workFolder_data();
    void workFolder();
    void workFolder_keepsTheUsersFilesAndAddsWhatIsMissing();
    void workFolder_cannotBeMade_staysPut();
    void libraryPaths_data();
    void libraryPaths();
    void realProgram_endsWithZeroAndSavesLayout_data();
    void realProgram_endsWithZeroAndSavesLayout();
    void realProgram_simulatedDevices_data();
    void realProgram_simulatedDevices();

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

void TestStartup::installedTranslations_data()
{
    QTest::addColumn<bool>("inWorkingDirectory");
    QTest::addColumn<bool>("installed");
    QTest::addColumn<QString>("locale");
    QTest::addColumn<bool>("russian"); // the program's texts; Qt's own follow the locale

    QTest::newRow("installed_russianLocale_russian") << false << true << "ru_RU" << true;
    QTest::newRow("installed_russianInUkraine_russian") << false << true << "ru_UA" << true;
    QTest::newRow("installed_englishLocale_english") << false << true << "en_US" << false;
    QTest::newRow("installed_germanLocale_english") << false << true << "de_DE" << false;
    QTest::newRow("installed_ukrainianLocale_english") << false << true << "uk_UA" << false;
    QTest::newRow("nothingInstalled_russianLocale_english") << false << false << "ru_RU" << false;
    QTest::newRow("workingDirectory_englishLocale_stillRussian") << true << true << "en_US" << true;
}

// The installed folders are those main() passes, with a temporary folder standing in for the
// program's own; Qt's folder is the real one, which holds qt_ru.qm.
void TestStartup::installedTranslations()
{
    QFETCH(bool, inWorkingDirectory);
    QFETCH(bool, installed);
    QFETCH(QString, locale);
    QFETCH(bool, russian);

    QTemporaryDir shipped;
    QVERIFY(shipped.isValid());
    const QString qm = BinDir + QStringLiteral("/vant-conf_ru.qm");
    if (installed)
        QVERIFY(QFile::copy(qm, shipped.filePath(QStringLiteral("vant-conf_ru.qm"))));
    if (inWorkingDirectory)
        QVERIFY(QFile::copy(qm, QStringLiteral("vant-conf_ru.qm")));
    QLocale::setDefault(QLocale(locale));

    const QString qtFolder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    const Texts t = startAndRead({shipped.path(), qtFolder});
    QCOMPARE(t.title, russian ? QString::fromUtf8("VANT /// Конфигуратор устройств")
                              : QStringLiteral("VANT /// Device Configurator"));
    if (inWorkingDirectory)
        return; // the framework's file would come from the working directory too, and there is none
    if (!QFile::exists(qtFolder + QStringLiteral("/qt_ru.qm")))
        QSKIP("Qt's Russian translation is not installed (qt6-translations-l10n)");
    const bool russianLocale = QLocale(locale).language() == QLocale::Russian;
    QCOMPARE(t.frameworkCancel, russianLocale ? QString::fromUtf8("Отмена") : QStringLiteral("Cancel"));
}

void TestStartup::workFolder_data()
{
    QTest::addColumn<QString>("here"); // what the working directory holds: "", "folder", "file"
    QTest::addColumn<bool>("entered");

    QTest::newRow("noConfxml_entersTheSeededWorkFolder") << "" << true;
    QTest::newRow("confxmlFolder_staysPut") << "folder" << false;
    QTest::newRow("confxmlFile_staysPut") << "file" << false;
}

void TestStartup::workFolder()
{
    QFETCH(QString, here);
    QFETCH(bool, entered);

    const TemporaryDataHome dataHome;
    QVERIFY(dataHome.dir.isValid());
    if (here == QLatin1String("folder"))
        QVERIFY(QDir().mkdir(QStringLiteral("confxml")));
    else if (here == QLatin1String("file"))
        QVERIFY(writeFile(QStringLiteral("confxml"), "not a folder"));

    const QString folder = Startup::enterWorkFolder(ShippedDescriptions);
    const QString userWork = dataHome.workFolder();
    if (!entered) {
        QCOMPARE(folder, QString());
        QCOMPARE(QDir::currentPath(), QDir(work->path()).canonicalPath());
        QVERIFY(!QFileInfo::exists(userWork));
        return;
    }
    QCOMPARE(folder, userWork);
    QCOMPARE(QDir::currentPath(), QDir(userWork).canonicalPath());
    for (const char *file : {"confxml/VANT-DEMO-1.xml", "confxml/samples/VANT-DEMO-1-values.xml"}) {
        QCOMPARE(readFile(QLatin1String(file)), readFile(QStringLiteral(VANT_SOURCE_DIR "/") + QLatin1String(file)));
    }
}

void TestStartup::workFolder_keepsTheUsersFilesAndAddsWhatIsMissing()
{
    const TemporaryDataHome dataHome;
    QVERIFY(dataHome.dir.isValid());
    const QString confxml = dataHome.workFolder() + QStringLiteral("/confxml");
    QVERIFY(QDir().mkpath(confxml));
    QVERIFY(writeFile(confxml + QStringLiteral("/VANT-DEMO-1.xml"), "mine"));

    QCOMPARE(Startup::enterWorkFolder(ShippedDescriptions), dataHome.workFolder());
    QCOMPARE(readFile(confxml + QStringLiteral("/VANT-DEMO-1.xml")), QByteArray("mine"));
    QVERIFY(QFile::exists(confxml + QStringLiteral("/samples/VANT-DEMO-1-values.xml")));
}

void TestStartup::workFolder_cannotBeMade_staysPut()
{
    const TemporaryDataHome dataHome(true);
    QVERIFY(dataHome.dir.isValid());
    QCOMPARE(Startup::enterWorkFolder(ShippedDescriptions), QString());
    QCOMPARE(QDir::currentPath(), QDir(work->path()).canonicalPath());
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

void TestStartup::realProgram_simulatedDevices_data()
{
    QTest::addColumn<bool>("moduleBeside");
    QTest::newRow("device module beside the program") << true;
    QTest::newRow("device module missing") << false;
}

// Simulated devices are made by the device module, loaded at start for them; without the
// module the program says so and runs on to its end.
void TestStartup::realProgram_simulatedDevices()
{
    QFETCH(bool, moduleBeside);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QString program = BinDir + QStringLiteral("/vant-conf");
    if (!moduleBeside) {
        QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("bin"))));
        QVERIFY(QFile::copy(program, dir.filePath(QStringLiteral("bin/vant-conf"))));
        program = dir.filePath(QStringLiteral("bin/vant-conf"));
    }

    QProcess run;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("VANT_CONF_QUIT_AFTER_MS"), QStringLiteral("200"));
    env.insert(QStringLiteral("VANT_HID_SIM"), dir.filePath(QStringLiteral("device.bin")));
    run.setProcessEnvironment(env);
    run.setWorkingDirectory(work->path());
    run.start(program, {});
    QVERIFY2(run.waitForStarted(10000), qPrintable(run.errorString()));
    QVERIFY2(run.waitForFinished(30000), "the program did not end");
    QCOMPARE(run.exitStatus(), QProcess::NormalExit);
    QCOMPARE(run.exitCode(), 0);
    const QString errors = QString::fromLocal8Bit(run.readAllStandardError());
    if (moduleBeside)
        QVERIFY2(!errors.contains(QLatin1String("Cannot load")), qPrintable(errors));
    else
        QVERIFY2(errors.contains(QLatin1String("Cannot load a module of the program: vant-conf-device.so is in none of ")),
                 qPrintable(errors));
}

VANT_GUI_TEST_MAIN(TestStartup)
#include "tst_startup.moc"
