#include "bench/gendescription.h"

#include <QStringList>

namespace bench {

namespace {

// One declaration per kind in turn, so the rows show every text form and the data area
// stays well below the 65535 bytes an image can describe (4.25 bytes a row on average).
struct KindDecl {
    const char *element;
    int size;
};
constexpr KindDecl Kinds[] = {
    {R"(<word name="%1" min="0" max="5000" suffix="ms"/>)", 2},
    {R"(<byte name="%1" select="Low|Medium|High"/>)", 1},
    {R"(<bool name="%1" false="No" true="Yes"/>)", 1},
    {R"(<float name="%1" format="2" min="-100" max="100"/>)", 4},
    {R"(<hhmm name="%1"/>)", 2},
    {R"(<dword name="%1"/>)", 4},
    {R"(<ip name="%1"/>)", 4},
    {R"(<string name="%1" size="16"/>)", 16},
};
constexpr int KindCount = int(sizeof(Kinds) / sizeof(Kinds[0]));

// Spreads count marks evenly over the slots 0..slotCount-1: exactly count slots are marked.
bool marked(int slot, int count, int slotCount)
{
    if (slotCount <= 0)
        return false;
    return (qint64(slot) + 1) * count / slotCount > qint64(slot) * count / slotCount;
}

QString memberName(int group, int row)
{
    return QStringLiteral("G%1.v%2").arg(group).arg(row);
}

} // namespace

GeneratedDescription generateDescription(const DescriptionShape &shape)
{
    GeneratedDescription out;
    out.id = shape.id;
    out.editedVar = QStringLiteral("Mode");
    out.variableRows = qMax(1, shape.variableRows);
    const int perGroup = qMax(2, shape.rowsPerGroup);
    const int memberRows = out.variableRows - 1; // every row but the edited variable's
    const int groups = (out.variableRows + perGroup - 1) / perGroup;

    // Row r (0..variableRows-1) lies in group r / perGroup; row 0 is the edited variable.
    QString format;
    format += QStringLiteral("  <Format encoding=\"CP1251\">\n"
                             "    <byte name=\"Mode\" select=\"Off|Manual|Automatic|Schedule\"/>\n");
    out.dataSize = 1;
    for (int g = 0; g < groups; ++g) {
        format += QStringLiteral("    <struct name=\"G%1\">\n").arg(g);
        for (int r = qMax(1, g * perGroup); r < qMin(out.variableRows, (g + 1) * perGroup); ++r) {
            const KindDecl &kind = Kinds[r % KindCount];
            format += QStringLiteral("      ") + QString::fromLatin1(kind.element).arg(QStringLiteral("v%1").arg(r))
                      + QLatin1Char('\n');
            out.dataSize += kind.size;
        }
        format += QStringLiteral("    </struct>\n");
    }
    format += QStringLiteral("  </Format>\n");

    QString tree;
    tree += QStringLiteral("  <Tree name=\"Generated device\">\n"
                           "    <Desc>A generated device with <b>%1</b> settings.</Desc>\n")
                .arg(out.variableRows);
    int edited = 0;
    for (int g = 0; g < groups; ++g) {
        const int first = g * perGroup;
        const int end = qMin(out.variableRows, first + perGroup);
        const int anchor = qMax(1, first); // the group's first member row, which other conditions watch
        tree += QStringLiteral("    <Group name=\"Block %1\"%2>\n"
                               "      <Desc>Block %1 of the generated device.</Desc>\n")
                    .arg(g)
                    .arg(shape.expandGroups ? QStringLiteral(" expand=\"yes\"") : QString());
        for (int r = first; r < end; ++r) {
            if (r == 0) {
                tree += QStringLiteral("      <Var var=\"Mode\" name=\"Operating mode\">Mode of the device; "
                                       "<i>Off</i> greys or hides many rows.</Var>\n");
                continue;
            }
            // Slots for the spreading are the member rows, numbered from 0.
            const int slot = r - 1;
            QString enabled, visible;
            if (marked(slot, shape.editedConditions, memberRows)) {
                switch (edited++ % 3) {
                case 0:
                    enabled = QStringLiteral("Mode != 0");
                    break;
                case 1:
                    visible = QStringLiteral("Mode = 0 or Mode ge 2");
                    break;
                default:
                    enabled = QStringLiteral("not Mode and %1 ge 0").arg(memberName(g, anchor));
                    break;
                }
                ++out.editedConditions;
            }
            // Shifted by half a period so that the two kinds fall on different rows mostly.
            if (marked((slot + memberRows / 2) % qMax(1, memberRows), shape.otherConditions, memberRows)) {
                const QString text = QStringLiteral("%1 lt 4000").arg(memberName(g, anchor));
                if (visible.isEmpty())
                    visible = text;
                else
                    enabled = text;
                ++out.otherConditions;
            }
            QString attributes;
            if (!enabled.isEmpty())
                attributes += QStringLiteral(" enabled=\"%1\"").arg(enabled);
            if (!visible.isEmpty())
                attributes += QStringLiteral(" visible=\"%1\"").arg(visible);
            tree += QStringLiteral("      <Var var=\"%1\" name=\"Setting %2.%3\"%4>Setting <b>%3</b> of block %2, "
                                   "as the device keeps it.</Var>\n")
                        .arg(memberName(g, r))
                        .arg(g)
                        .arg(r)
                        .arg(attributes);
        }
        tree += QStringLiteral("    </Group>\n");
    }
    tree += QStringLiteral("  </Tree>\n");

    out.xml = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Description id=\"%1\">\n").arg(out.id)
              + format + tree + QStringLiteral("</Description>\n");
    return out;
}

} // namespace bench
