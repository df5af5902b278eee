// The property tree widget with real rows from the tree loader and a real format: values,
// conditions re-evaluated on edits, hidden and disabled rows, the description signal.
#include "expr/logicexpr.h"
#include "format/confformat.h"
#include "tests/support/guitest.h"
#include "tree/confrow.h"
#include "tree/ui/conftree.h"
#include "tree/ui/qmytreewidgetitem.h"

#include <QComboBox>
#include <QDomDocument>
#include <QInputDialog>
#include <QSignalSpy>
#include <QUndoStack>

namespace {

const char *const Description = R"(<Device id="T1">
<Format>
  <bool name="power"/>
  <byte name="mode" select="off|manual|auto"/>
  <word name="level" suffix="%"/>
  <hhmm name="start"/>
  <byte name="other"/>
  <byte name="spare"/>
</Format>
<Tree name="Device">
  <Desc>Top <b>text</b></Desc>
  <Var var="power" name="Power">Main switch</Var>
  <Var var="mode" name="Mode">Operating mode</Var>
  <Group name="Manual" expand="yes" visible="mode = 1">
    <Var var="level" name="Level" enabled="power">Output level</Var>
    <Group name="Timing">
      <Var var="start" name="Start" visible="power"/>
      <Var var="spare" name="Spare"/>
    </Group>
  </Group>
  <Group name="Auto" visible="mode = 2">
    <Var var="other" name="Other" enabled="level > 5"/>
  </Group>
  <Group name="Locked" expand="yes" enabled="power">
    <Var var="start" name="Locked start"/>
  </Group>
  <Var var="other" name="Stale" enabled="other = 0"/>
  <Var var="spare" name="Both" enabled="power and other = 9"/>
</Tree>
</Device>)";

const char *const CyrillicDescription = R"(<Device id="T3">
<Format><word name="speed" suffix="об/мин"/><byte name="baud" select="9600|19200"/></Format>
<Tree name="Привод">
  <Group name="Двигатель"><Var var="speed" name="Скорость">Частота вращения</Var></Group>
  <Group name="Связь"><Var var="baud" name="Baud rate"/></Group>
</Tree>
</Device>)";

const char *const SecondDescription = R"(<Device id="T2">
<Format><dword name="count"/></Format>
<Tree name="Other device"><Var var="count" name="Count"/></Tree>
</Device>)";

} // namespace

class TestConfTree : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void install_fillsValuesEvaluatesConditionsAndExpands();
    void install_replacesPreviousFormatAndRows();
    void edit_reevaluatesExactlyTheConditionsMentioningTheVariable();
    void edit_cancelled_printsAndRefreshesNothing();
    void doubleClick_groupOrDisabledRow_opensNoEditor_data();
    void doubleClick_groupOrDisabledRow_opensNoEditor();
    void hiddenRow_takesChildrenAlongAndGivesThemBack();
    void updateExpr_nullNameMeansAllEmptyMeansNone();
    void updateExpr_fromRow_staysInsideItsSubtree();
    void updateValue_refreshesRowAndRowsBelow();
    void showDesc_followsTheCurrentRow();
    void empty_slotsDoNothing();

    void filter_listsMatchesWithTheirGroups_data();
    void filter_listsMatchesWithTheirGroups();
    void changes_markedAgainstBaseline_undoRedoRevert();
    void why_tooltipOfGreyedRow();
    void keyboard_enterOpensEditor();

    void valueText_isTheValueAsOfTheRowsLastRefresh();
    void filter_findsValuesChangedAfterTheFirstFind();
    void rowsDrawnFromTheirState_data();
    void rowsDrawnFromTheirState();
    void textsSetFromOutside_shownUntilTheTreeRefreshesThem();

private:
    bool installFrom(const char *xml);
    QMyTreeWidgetItem *row(const QString &label) const;
    ConfVar *var(const char *name) const;
    bool shown(const QString &label) const;
    void doubleClick(const QString &label);

    ConfTree *tree = nullptr;
};

void TestConfTree::init()
{
    tree = new ConfTree;
    tree->resize(400, 600);
    tree->show();
    QVERIFY(QTest::qWaitForWindowExposed(tree));
    QVERIFY(installFrom(Description));
}

void TestConfTree::cleanup()
{
    delete tree;
    tree = nullptr;
}

bool TestConfTree::installFrom(const char *xml)
{
    QDomDocument doc;
    if (!doc.setContent(QString::fromUtf8(xml)))
        return false;
    const QDomElement root = doc.documentElement();
    const QString id = root.attribute(QStringLiteral("id"));
    std::unique_ptr<ConfFormat> format(ConfFormat::create(id, root.firstChildElement(QStringLiteral("Format"))));
    if (!format)
        return false;
    std::unique_ptr<ConfRow> top = tree->loadGroup(root.firstChildElement(QStringLiteral("Tree")), format.get());
    if (!top)
        return false;
    tree->install(std::move(format), id, std::move(top));
    return true;
}

QMyTreeWidgetItem *TestConfTree::row(const QString &label) const
{
    const auto found = tree->findItems(label, Qt::MatchExactly | Qt::MatchRecursive, 0);
    return found.size() == 1 ? dynamic_cast<QMyTreeWidgetItem *>(found.first()) : nullptr;
}

ConfVar *TestConfTree::var(const char *name) const
{
    return tree->format->varByName(QString::fromLatin1(name));
}

// On screen: neither the row nor any row above it hidden, and every row above it expanded.
bool TestConfTree::shown(const QString &label) const
{
    return !tree->visualItemRect(row(label)).isEmpty();
}

void TestConfTree::doubleClick(const QString &label)
{
    QTreeWidgetItem *item = row(label);
    QVERIFY(item);
    tree->scrollToItem(item);
    const QPoint at = tree->visualItemRect(item).center();
    QVERIFY(!at.isNull());
    // A double click as the window system delivers it: a click, then the second press
    // arriving as a double-click event.
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseDClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseRelease(tree->viewport(), Qt::LeftButton, Qt::NoModifier, at);
}

void TestConfTree::install_fillsValuesEvaluatesConditionsAndExpands()
{
    QCOMPARE(tree->formatId, QStringLiteral("T1"));
    QVERIFY(tree->format);
    QCOMPARE(tree->format->id(), QStringLiteral("T1"));
    QCOMPARE(tree->topLevelItemCount(), 1);
    QCOMPARE(tree->headerItem()->text(0), QStringLiteral("Property"));
    QCOMPARE(tree->headerItem()->text(1), QStringLiteral("Value"));

    QCOMPARE(row("Power")->text(1), QStringLiteral("off"));
    QCOMPARE(row("Mode")->text(1), QStringLiteral("off"));
    QCOMPARE(row("Level")->text(1), QStringLiteral("0 %"));
    QCOMPARE(row("Start")->text(1), QStringLiteral("00:00"));
    for (const char *group : {"Device", "Manual", "Timing", "Auto"})
        QCOMPARE(row(QString::fromLatin1(group))->text(1), QString());

    // Every condition has been evaluated once: mode 0, power off, other 0.
    QVERIFY(row("Manual")->isHidden());
    QVERIFY(row("Auto")->isHidden());
    QVERIFY(row("Start")->isHidden());
    QVERIFY(row("Level")->isGreyed());
    QVERIFY(!row("Stale")->isGreyed());
    QVERIFY(row("Both")->isGreyed());
    QVERIFY(!row("Power")->isGreyed());

    QVERIFY(row("Device")->isExpanded());
    QVERIFY(row("Manual")->isExpanded());
    QVERIFY(!row("Timing")->isExpanded());
    QVERIFY(!row("Auto")->isExpanded());
}

void TestConfTree::install_replacesPreviousFormatAndRows()
{
    QPointer<ConfFormat> old = tree->format;
    QVERIFY(installFrom(SecondDescription));
    QVERIFY(old.isNull());
    QCOMPARE(tree->formatId, QStringLiteral("T2"));
    QCOMPARE(tree->topLevelItemCount(), 1);
    QCOMPARE(tree->topLevelItem(0)->text(0), QStringLiteral("Other device"));
    QVERIFY(!row("Power"));
    QCOMPARE(row("Count")->text(1), QStringLiteral("0 "));
}

void TestConfTree::edit_reevaluatesExactlyTheConditionsMentioningTheVariable()
{
    // "other" changes behind the tree's back, as a loaded file would change it: only a full
    // update may bring "Stale" up to date, an edit of "power" must not.
    var("other")->value = 9;

    ModalDriver driver;
    QString label;
    driver.then([&](QWidget *modal) {
        auto *dialog = qobject_cast<QInputDialog *>(modal);
        QVERIFY(dialog);
        label = dialog->labelText();
        auto *combo = dialog->findChild<QComboBox *>();
        combo->setFocus();
        QTest::keyClick(combo, Qt::Key_Down); // off -> on
        gui::click(dialog, QDialogButtonBox::Ok);
    });
    gui::DiagLines diag;
    doubleClick(QStringLiteral("Power"));

    QCOMPARE(driver.pendingSteps(), 0);
    QCOMPARE(driver.unexpected, QStringList());
    QCOMPARE(label, QStringLiteral("Power"));
    QCOMPARE(diag.out, QByteArray("Var power changed\n"));
    QCOMPARE(var("power")->value, 1);
    QCOMPARE(row("Power")->text(1), QStringLiteral("on"));

    // Mentioning power, wherever they are (Start sits inside two groups, one hidden).
    QVERIFY(!row("Level")->isGreyed());
    QVERIFY(!row("Start")->isHidden());
    QVERIFY(!row("Both")->isGreyed()); // reads the current "other"
    // Not mentioning power: untouched, stale on purpose.
    QVERIFY(!row("Stale")->isGreyed());
    QVERIFY(row("Manual")->isHidden());

    tree->updateExpr();
    QVERIFY(row("Stale")->isGreyed());
}

void TestConfTree::edit_cancelled_printsAndRefreshesNothing()
{
    var("power")->value = 1; // not yet shown: a refresh would be visible
    ModalDriver driver;
    driver.then([](QWidget *modal) { gui::click(modal, QDialogButtonBox::Cancel); });
    gui::DiagLines diag;
    doubleClick(QStringLiteral("Power"));

    QCOMPARE(driver.pendingSteps(), 0);
    QCOMPARE(diag.out, QByteArray());
    QCOMPARE(row("Power")->text(1), QStringLiteral("off"));
    QVERIFY(row("Level")->isGreyed());
    QVERIFY(row("Start")->isHidden());
}

void TestConfTree::doubleClick_groupOrDisabledRow_opensNoEditor_data()
{
    QTest::addColumn<QString>("label");
    QTest::newRow("disabledVariableRow") << "Both";
    QTest::newRow("variableRowInDisabledGroup") << "Locked start";
    QTest::newRow("topGroupRow") << "Device";
}

void TestConfTree::doubleClick_groupOrDisabledRow_opensNoEditor()
{
    QFETCH(QString, label);
    QSignalSpy doubleClicks(tree, &QTreeWidget::itemDoubleClicked);
    ModalDriver driver;
    gui::DiagLines diag;
    doubleClick(label);
    QTest::qWait(30);
    QCOMPARE(doubleClicks.size(), 1); // the click did arrive
    QCOMPARE(driver.unexpected, QStringList());
    QCOMPARE(diag.out, QByteArray());

    // Called directly, the slot ignores a group row all the same.
    tree->itemClicked(row(QStringLiteral("Manual")), 0);
    QTest::qWait(30);
    QCOMPARE(driver.unexpected, QStringList());
}

void TestConfTree::hiddenRow_takesChildrenAlongAndGivesThemBack()
{
    row(QStringLiteral("Timing"))->setExpanded(true);
    QVERIFY(!shown(QStringLiteral("Level")));

    var("mode")->value = 1;
    tree->updateExpr(QStringLiteral("mode"));
    QVERIFY(shown(QStringLiteral("Manual")));
    QVERIFY(shown(QStringLiteral("Level")));
    QVERIFY(shown(QStringLiteral("Spare")));
    QVERIFY(!shown(QStringLiteral("Start"))); // its own condition keeps it hidden
    QVERIFY(!shown(QStringLiteral("Auto")));

    var("mode")->value = 2;
    tree->updateExpr(QStringLiteral("mode"));
    QVERIFY(row("Manual")->isHidden());
    QVERIFY(!shown(QStringLiteral("Level")));
    QVERIFY(!shown(QStringLiteral("Timing")));
    QVERIFY(!shown(QStringLiteral("Spare")));
    QVERIFY(shown(QStringLiteral("Auto")));

    var("mode")->value = 1;
    tree->updateExpr(QStringLiteral("mode"));
    QVERIFY(shown(QStringLiteral("Level")));
    QVERIFY(shown(QStringLiteral("Spare")));
    QVERIFY(!shown(QStringLiteral("Start")));
    QVERIFY(row("Level")->isGreyed());
}

void TestConfTree::updateExpr_nullNameMeansAllEmptyMeansNone()
{
    var("power")->value = 1;
    tree->updateExpr(QStringLiteral(""));
    QVERIFY(row("Level")->isGreyed());
    QVERIFY(row("Start")->isHidden());

    tree->updateExpr(QStringLiteral("Power")); // names match case-sensitively
    QVERIFY(row("Level")->isGreyed());

    tree->updateExpr(QString());
    QVERIFY(!row("Level")->isGreyed());
    QVERIFY(!row("Start")->isHidden());
}

void TestConfTree::updateExpr_fromRow_staysInsideItsSubtree()
{
    var("power")->value = 1;
    tree->updateExpr(QStringLiteral("power"), row(QStringLiteral("Timing")));
    QVERIFY(!row("Start")->isHidden());
    QVERIFY(row("Level")->isGreyed());
    QVERIFY(row("Both")->isGreyed());
}

void TestConfTree::updateValue_refreshesRowAndRowsBelow()
{
    var("level")->value = 42;
    var("start")->value = 605;
    var("power")->value = 1;

    tree->updateValue(row(QStringLiteral("Level")));
    QCOMPARE(row("Level")->text(1), QStringLiteral("42 %"));
    QCOMPARE(row("Start")->text(1), QStringLiteral("00:00"));

    tree->updateValue(row(QStringLiteral("Manual")));
    QCOMPARE(row("Start")->text(1), QStringLiteral("10:05"));
    QCOMPARE(row("Power")->text(1), QStringLiteral("off"));
    QCOMPARE(row("Manual")->text(1), QString());

    tree->updateValues();
    QCOMPARE(row("Power")->text(1), QStringLiteral("on"));
}

void TestConfTree::showDesc_followsTheCurrentRow()
{
    QSignalSpy spy(tree, &ConfTree::showDesc);
    QVERIFY(row("Device")->confRow()->desc().contains(QStringLiteral("<b>text</b>")));
    QVERIFY(row("Power")->confRow()->desc().contains(QStringLiteral("Main switch")));

    tree->setCurrentItem(row(QStringLiteral("Device")));
    tree->setCurrentItem(row(QStringLiteral("Power")));
    tree->setCurrentItem(row(QStringLiteral("Timing"))); // a group without description
    QCOMPARE(spy.size(), 3);
    QCOMPARE(spy.at(0).at(0).toString(), row("Device")->confRow()->desc());
    QCOMPARE(spy.at(1).at(0).toString(), row("Power")->confRow()->desc());
    // No description of its own; it is under the hidden group Manual, and the pane says why.
    QCOMPARE(spy.at(2).at(0).toString(),
             QStringLiteral("<p><i>Group &quot;Manual&quot;: Shown when: mode = 1. Now: mode = 0 (off).</i></p>"));

    // Installing clears the rows; the null current row in between publishes nothing.
    QVERIFY(installFrom(SecondDescription));
    QCOMPARE(spy.size(), 3);
}

void TestConfTree::empty_slotsDoNothing()
{
    // A row shown without any description installed; its model outlives the tree.
    const std::unique_ptr<ConfRow> loose = ConfRow::variable(QStringLiteral("Loose"), 0);
    loose->setDesc(QStringLiteral("<p>x</p>"));
    ConfTree empty;
    empty.show();
    QVERIFY(!empty.format);
    QSignalSpy spy(&empty, &ConfTree::showDesc);
    auto *item = new QMyTreeWidgetItem(loose.get());
    empty.addTopLevelItem(item);

    ModalDriver driver;
    empty.setCurrentItem(item);
    empty.itemClicked(item, 0);
    empty.itemClicked(nullptr, 0);
    empty.updateValues();
    empty.updateValue(item);
    empty.updateExpr();
    QTest::qWait(30);
    QCOMPARE(spy.size(), 0);
    QCOMPARE(item->text(1), QString());
    QCOMPARE(driver.unexpected, QStringList());
}

void TestConfTree::filter_listsMatchesWithTheirGroups_data()
{
    QTest::addColumn<QByteArray>("description");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("showHidden");
    QTest::addColumn<QStringList>("listed"); // the shown variable rows, in tree order
    QTest::addColumn<int>("matches");
    // T1 at its initial values: mode off hides Manual (with Start); Start is hidden by power too.
    QTest::newRow("label") << QByteArray(Description) << "stale" << false << QStringList{"Stale"} << 1;
    QTest::newRow("variable name, any case") << QByteArray(Description) << "SPARE" << false << QStringList{"Both"} << 1;
    QTest::newRow("description text") << QByteArray(Description) << "operating" << false << QStringList{"Mode"} << 1;
    QTest::newRow("value text") << QByteArray(Description) << "00:00" << false << QStringList{"Locked start"} << 1;
    QTest::newRow("a row hidden by its condition stays hidden")
        << QByteArray(Description) << "start" << false << QStringList{"Locked start"} << 1;
    QTest::newRow("unless hidden rows are shown")
        << QByteArray(Description) << "start" << true << QStringList{"Start", "Locked start"} << 2;
    QTest::newRow("nothing") << QByteArray(Description) << "zzz" << false << QStringList() << 0;
    QTest::newRow("Cyrillic label in other case") << QByteArray(CyrillicDescription) << QString::fromUtf8("СКОР")
                                                  << false << QStringList{QString::fromUtf8("Скорость")} << 1;
    QTest::newRow("Cyrillic description") << QByteArray(CyrillicDescription) << QString::fromUtf8("вращения")
                                          << false << QStringList{QString::fromUtf8("Скорость")} << 1;
    QTest::newRow("group label") << QByteArray(CyrillicDescription) << QString::fromUtf8("связь") << false
                                 << QStringList() << 1;
}

void TestConfTree::filter_listsMatchesWithTheirGroups()
{
    QFETCH(QByteArray, description);
    QFETCH(QString, text);
    QFETCH(bool, showHidden);
    QFETCH(QStringList, listed);
    QFETCH(int, matches);
    QVERIFY(installFrom(description.constData()));
    QSignalSpy matched(tree, &ConfTree::filterMatched);
    tree->setShowHidden(showHidden);
    tree->setFilterText(text);
    QCOMPARE(matched.last().first().toInt(), matches);
    QCOMPARE(tree->matchCount(), matches);
    QStringList shownRows;
    for (QTreeWidgetItemIterator it(tree); *it; ++it) {
        auto *item = static_cast<QMyTreeWidgetItem *>(*it);
        if (!item->isGroup() && shown(item->text(0)))
            shownRows << item->text(0);
    }
    QCOMPARE(shownRows, listed);

    // An empty text gives every row back, hidden ones as their conditions say.
    tree->setFilterText(QString());
    tree->setShowHidden(false);
    QCOMPARE(tree->matchCount(), 0);
    if (description == Description) {
        QVERIFY(shown(QStringLiteral("Power")));
        QVERIFY(row("Manual")->isHidden());
    }
}

void TestConfTree::changes_markedAgainstBaseline_undoRedoRevert()
{
    const auto marked = [this](const char *label) {
        return row(QString::fromLatin1(label))->data(1, ConfTree::ChangedRole).toBool();
    };
    QSignalSpy changes(tree, &ConfTree::changesChanged);
    ModalDriver driver;
    driver.then([&](QWidget *modal) {
        auto *combo = modal->findChild<QComboBox *>();
        QVERIFY(combo);
        combo->setFocus();
        QTest::keyClick(combo, Qt::Key_Down); // off -> manual
        gui::click(modal, QDialogButtonBox::Ok);
    });
    gui::DiagLines diag;
    doubleClick(QStringLiteral("Mode"));
    QCOMPARE(driver.unexpected, QStringList());
    QCOMPARE(var("mode")->value, 1);
    QVERIFY(marked("Mode"));
    QVERIFY(row("Mode")->font(1).bold());
    QVERIFY(!marked("Power"));
    QCOMPARE(tree->changedCount(), 1);
    QCOMPARE(changes.last().first().toInt(), 1);
    QCOMPARE(tree->undoStack()->count(), 1);
    QCOMPARE(tree->undoStack()->undoText(), QStringLiteral("Set Mode to manual"));
    QVERIFY(!row("Manual")->isHidden()); // conditions follow the edit

    // Changed only: the row with its groups, nothing else.
    tree->setChangedOnly(true);
    QVERIFY(shown(QStringLiteral("Mode")));
    QVERIFY(!shown(QStringLiteral("Power")));
    tree->setChangedOnly(false);

    // Undo puts the value, the text, the mark and the conditions back; redo again.
    tree->undoStack()->undo();
    QCOMPARE(var("mode")->value, 0);
    QCOMPARE(row("Mode")->text(1), QStringLiteral("off"));
    QVERIFY(!marked("Mode"));
    QVERIFY(row("Manual")->isHidden());
    tree->undoStack()->redo();
    QCOMPARE(var("mode")->value, 1);
    QVERIFY(marked("Mode"));
    QVERIFY(!row("Manual")->isHidden());

    // Revert is a step too.
    tree->revert(row("Mode"));
    QCOMPARE(var("mode")->value, 0);
    QCOMPARE(tree->undoStack()->undoText(), QStringLiteral("Revert Mode"));
    tree->undoStack()->undo();
    QCOMPARE(var("mode")->value, 1);

    // A save makes the current values the baseline; Revert all then has nothing to do.
    tree->setBaseline();
    QVERIFY(!marked("Mode"));
    QCOMPARE(tree->changedCount(), 0);
    const int steps = tree->undoStack()->count();
    tree->revertAll();
    QCOMPARE(tree->undoStack()->count(), steps);

    // Another description clears the steps.
    QVERIFY(installFrom(SecondDescription));
    QCOMPARE(tree->undoStack()->count(), 0);
}

void TestConfTree::why_tooltipOfGreyedRow()
{
    // Its own condition, then the hidden group it is in.
    QCOMPARE(row("Level")->toolTip(0), QStringLiteral("Enabled when: power. Now: power = 0 (off).\n"
                                                      "Group \"Manual\": Shown when: mode = 1. Now: mode = 0 (off)."));
    QCOMPARE(row("Both")->toolTip(1),
             QStringLiteral("Enabled when: power and other = 9. Now: power = 0 (off), other = 0. False: power; other = 9."));
    QCOMPARE(row("Power")->toolTip(0), QString());
    // A row greyed by its group says so.
    QCOMPARE(row("Locked start")->toolTip(0),
             QStringLiteral("Group \"Locked\": Enabled when: power. Now: power = 0 (off)."));
    // A greyed row can be made current, so the description pane shows its why-text too.
    QSignalSpy desc(tree, &ConfTree::showDesc);
    tree->setCurrentItem(row("Level"));
    QCOMPARE(tree->currentItem(), row("Level"));
    QVERIFY2(desc.last().first().toString().contains(QStringLiteral("Enabled when: power. Now: power = 0 (off).")),
             qPrintable(desc.last().first().toString()));
    QCOMPARE(row("Level")->data(0, Qt::ForegroundRole).value<QBrush>(),
             tree->palette().brush(QPalette::Disabled, QPalette::Text));
    tree->setShowHidden(true);
    tree->setCurrentItem(row("Manual"));
    QVERIFY(!desc.isEmpty());
    QVERIFY2(desc.last().first().toString().contains(QStringLiteral("Shown when: mode = 1. Now: mode = 0 (off).")),
             qPrintable(desc.last().first().toString()));
}

void TestConfTree::keyboard_enterOpensEditor()
{
    tree->setCurrentItem(row("Mode"));
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_F2}) {
        ModalDriver driver;
        bool opened = false;
        driver.then([&](QWidget *modal) {
            opened = true;
            gui::click(modal, QDialogButtonBox::Cancel);
        });
        QTest::keyClick(tree, key);
        QVERIFY(opened);
    }
}

void TestConfTree::valueText_isTheValueAsOfTheRowsLastRefresh()
{
    // Behind the tree's back: the rows go on showing what they showed.
    var("power")->value = 1;
    QCOMPARE(row("Power")->text(1), QStringLiteral("off"));
    // A new baseline refreshes every row; the row shows the value now its baseline.
    tree->setBaseline();
    QCOMPARE(row("Power")->text(1), QStringLiteral("on"));
    QVERIFY(!row("Power")->data(1, ConfTree::ChangedRole).toBool());
    var("power")->value = 0;
    QCOMPARE(row("Power")->text(1), QStringLiteral("on"));
    QVERIFY(!row("Power")->data(1, ConfTree::ChangedRole).toBool());
    // Refreshed: the value differs from the baseline, and is marked.
    tree->valuesChanged({QStringLiteral("power")});
    QCOMPARE(row("Power")->text(1), QStringLiteral("off"));
    QVERIFY(row("Power")->data(1, ConfTree::ChangedRole).toBool());
    var("power")->value = 1;
    QCOMPARE(row("Power")->text(1), QStringLiteral("off"));
    // Back at the baseline value, unmarked, and it stays what it showed when the value moves
    // behind the tree's back again.
    tree->valuesChanged({QStringLiteral("power")});
    QCOMPARE(row("Power")->text(1), QStringLiteral("on"));
    QVERIFY(!row("Power")->data(1, ConfTree::ChangedRole).toBool());
    var("power")->value = 0;
    QCOMPARE(row("Power")->text(1), QStringLiteral("on"));
    QCOMPARE(tree->changedCount(), 1);
}

void TestConfTree::filter_findsValuesChangedAfterTheFirstFind()
{
    QSignalSpy matched(tree, &ConfTree::filterMatched);
    tree->setFilterText(QStringLiteral("10:05"));
    QCOMPARE(tree->matchCount(), 0);
    var("start")->value = 605;
    tree->valuesChanged({QStringLiteral("start")});
    // "Start" is hidden by its own condition; "Locked start" is on the list.
    QCOMPARE(tree->matchCount(), 1);
    QVERIFY(shown(QStringLiteral("Locked start")));
    QVERIFY(!shown(QStringLiteral("Power")));
    tree->setFilterText(QString());
    var("start")->value = 0;
    tree->valuesChanged();
    tree->setFilterText(QStringLiteral("10:05"));
    QCOMPARE(tree->matchCount(), 0);
    tree->setFilterText(QStringLiteral("00:00"));
    QCOMPARE(tree->matchCount(), 1);
    QCOMPARE(matched.last().first().toInt(), 1);
    // Another description is searched by its own texts.
    QVERIFY(installFrom(SecondDescription));
    QCOMPARE(tree->matchCount(), 0);
    tree->setFilterText(QStringLiteral("COUNT"));
    QCOMPARE(tree->matchCount(), 1);
}

void TestConfTree::rowsDrawnFromTheirState_data()
{
    QTest::addColumn<QString>("label");
    QTest::addColumn<bool>("changeMode"); // mode set to manual and the tree told
    QTest::addColumn<bool>("showHidden");
    QTest::addColumn<bool>("bold");   // the value column
    QTest::addColumn<bool>("marker"); // before the value
    QTest::addColumn<bool>("italic"); // both columns
    QTest::addColumn<bool>("greyed");
    QTest::newRow("plain") << "Power" << false << false << false << false << false << false;
    QTest::newRow("changed") << "Mode" << true << false << true << true << false << false;
    QTest::newRow("unchanged beside a changed one") << "Power" << true << false << false << false << false << false;
    QTest::newRow("hidden, on show") << "Auto" << false << true << false << false << true << true;
    QTest::newRow("hidden by its own condition, on show") << "Start" << false << true << false << false << true << true;
    QTest::newRow("hidden, not on show") << "Auto" << false << false << false << false << false << false;
    QTest::newRow("greyed") << "Both" << false << false << false << false << false << true;
    QTest::newRow("greyed by its group") << "Locked start" << false << true << false << false << false << true;
}

void TestConfTree::rowsDrawnFromTheirState()
{
    QFETCH(QString, label);
    QFETCH(bool, changeMode);
    QFETCH(bool, showHidden);
    QFETCH(bool, bold);
    QFETCH(bool, marker);
    QFETCH(bool, italic);
    QFETCH(bool, greyed);
    if (changeMode) {
        var("mode")->value = 1;
        tree->valuesChanged({QStringLiteral("mode")});
    }
    tree->setShowHidden(showHidden);
    QTreeWidgetItem *item = row(label);
    QVERIFY(item);
    QCOMPARE(item->font(1).bold(), bold);
    QVERIFY(!item->font(0).bold());
    QCOMPARE(!item->icon(1).isNull(), marker);
    QVERIFY(item->icon(0).isNull());
    for (int column : {0, 1})
        QCOMPARE(item->font(column).italic(), italic);
    const QBrush disabled = tree->palette().brush(QPalette::Disabled, QPalette::Text);
    QCOMPARE(item->data(0, Qt::ForegroundRole).value<QBrush>() == disabled, greyed);
    // Shown again as it was once the state goes.
    tree->setShowHidden(false);
    if (changeMode) {
        var("mode")->value = 0;
        tree->valuesChanged({QStringLiteral("mode")});
    }
    QVERIFY(!item->font(1).bold() && !item->font(0).italic() && item->icon(1).isNull());
}

void TestConfTree::textsSetFromOutside_shownUntilTheTreeRefreshesThem()
{
    QTreeWidgetItem *power = row(QStringLiteral("Power"));
    power->setText(1, QStringLiteral("marked"));
    power->setText(0, QStringLiteral("Renamed"));
    QCOMPARE(power->text(1), QStringLiteral("marked"));
    QCOMPARE(power->text(0), QStringLiteral("Renamed"));
    QCOMPARE(static_cast<QMyTreeWidgetItem *>(power)->confRow()->label(), QStringLiteral("Power"));
    QCOMPARE(row("Renamed"), power);
    tree->updateValue(power);
    QCOMPARE(power->text(1), QStringLiteral("off"));
    QCOMPARE(power->text(0), QStringLiteral("Renamed"));
    // A group has no value of its own to refresh.
    QTreeWidgetItem *group = row(QStringLiteral("Timing"));
    group->setText(1, QStringLiteral("note"));
    tree->updateValues();
    QCOMPARE(group->text(1), QStringLiteral("note"));
}

VANT_GUI_TEST_MAIN(TestConfTree)
#include "tst_conftree.moc"
