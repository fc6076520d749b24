// The combo box history kept in the per-user profile.

#include "dialogs/dialogs_test_support.h"
#include "dialogs/history_combo.h"

#include <QLineEdit>

namespace {

const QString kSection = QStringLiteral("HistoryCombos");
const QString kPrefix = QStringLiteral("DoctorName");

QStringList Items(const CHistoryCombo& combo) {
    QStringList items;
    for (int i = 0; i < combo.count(); ++i)
        items << combo.itemText(i);
    return items;
}

using HistoryCombo = HistoryProfileTest;

TEST_F(HistoryCombo, NameDifferingOnlyInCaseReplacesItsItemAtTheTop) {
    CHistoryCombo combo;
    EXPECT_TRUE(combo.LoadHistory(kSection, kPrefix).isEmpty());
    EXPECT_EQ(combo.count(), 0);

    EXPECT_EQ(combo.AddString(QStringLiteral("Петров")), 0);
    EXPECT_EQ(combo.AddString(QStringLiteral("  Сидоров ")), 0);
    EXPECT_EQ(combo.AddString(QStringLiteral("ПЕТРОВ")), 0);
    EXPECT_EQ(Items(combo), QStringList({QStringLiteral("ПЕТРОВ"), QStringLiteral("Сидоров")}));
    EXPECT_EQ(combo.currentText(), QStringLiteral("ПЕТРОВ"));
    EXPECT_EQ(combo.FindStringExact(QStringLiteral("сидоров")), 1);

    // A blank text is no entry.
    EXPECT_EQ(combo.AddString(QStringLiteral("   ")), -1);
    EXPECT_EQ(combo.count(), 2);

    ASSERT_TRUE(combo.SaveHistory(false));
    EXPECT_EQ(Entry(QStringLiteral("DoctorName0")), QStringLiteral("ПЕТРОВ"));
    EXPECT_EQ(Entry(QStringLiteral("DoctorName1")), QStringLiteral("Сидоров"));
    EXPECT_FALSE(HasEntry(QStringLiteral("DoctorName2")));
    EXPECT_EQ(Entry(QStringLiteral("DoctorName")), QStringLiteral("ПЕТРОВ"));

    // The next box restores the list and the last text, selecting its item whatever its case.
    SetEntry(QStringLiteral("DoctorName"), QStringLiteral("сидоров"));
    CHistoryCombo next;
    EXPECT_EQ(next.LoadHistory(kSection, kPrefix), QStringLiteral("сидоров"));
    EXPECT_EQ(Items(next), Items(combo));
    EXPECT_EQ(next.currentIndex(), 1);
    EXPECT_EQ(next.currentText(), QStringLiteral("Сидоров"));
}

TEST_F(HistoryCombo, NeverHoldsMoreThanTenItemsAndDropsStaleEntries) {
    // A profile an older, longer history left behind, with a gap.
    for (int i = 0; i < 14; ++i)
        SetEntry(kPrefix + QString::number(i), QStringLiteral("Врач %1").arg(i));
    SetEntry(QStringLiteral("DoctorName20"), QStringLiteral("Забытый"));
    SetEntry(QStringLiteral("DoctorPhone0"), QStringLiteral("555"));

    CHistoryCombo combo;
    combo.LoadHistory(kSection, kPrefix);
    ASSERT_EQ(combo.count(), 10);
    EXPECT_EQ(combo.itemText(9), QStringLiteral("Врач 9"));
    EXPECT_TRUE(combo.currentText().isEmpty()); // no last current text kept

    combo.setEditText(QStringLiteral("Новый"));
    ASSERT_TRUE(combo.SaveHistory(true));
    EXPECT_EQ(combo.count(), 10);
    EXPECT_EQ(combo.itemText(0), QStringLiteral("Новый"));
    EXPECT_EQ(combo.itemText(9), QStringLiteral("Врач 8"));
    for (int i = 0; i < 10; ++i)
        EXPECT_TRUE(HasEntry(kPrefix + QString::number(i))) << i;
    for (int i : {10, 11, 13, 20})
        EXPECT_FALSE(HasEntry(kPrefix + QString::number(i))) << i;
    EXPECT_EQ(Entry(QStringLiteral("DoctorPhone0")), QStringLiteral("555"));

    // A smaller cap trims the list and the profile alike.
    combo.SetMaxHistoryItems(3);
    combo.AddString(QStringLiteral("Врач 5"));
    EXPECT_EQ(combo.count(), 3);
    ASSERT_TRUE(combo.SaveHistory(false));
    EXPECT_EQ(Entry(QStringLiteral("DoctorName0")), QStringLiteral("Врач 5"));
    EXPECT_FALSE(HasEntry(QStringLiteral("DoctorName3")));
}

TEST_F(HistoryCombo, BlankTextIsNeverStored) {
    SetEntry(QStringLiteral("DoctorName"), QStringLiteral("Петров"));
    CHistoryCombo combo;
    EXPECT_EQ(combo.LoadHistory(kSection, kPrefix), QStringLiteral("Петров"));
    EXPECT_EQ(combo.currentText(), QStringLiteral("Петров")); // no item, so the text itself

    combo.setEditText(QStringLiteral("   "));
    ASSERT_TRUE(combo.SaveHistory(true));
    EXPECT_EQ(combo.count(), 0);
    EXPECT_FALSE(HasEntry(QStringLiteral("DoctorName0")));
    EXPECT_FALSE(HasEntry(QStringLiteral("DoctorName")));
}

TEST_F(HistoryCombo, KeyOfTheLastTextAndBoxesWithoutHistory) {
    CHistoryCombo own;
    own.LoadHistory(kSection, QStringLiteral("Subject"), true, QStringLiteral("SubjectNow"));
    EXPECT_EQ(own.LastCurrentKey(), QStringLiteral("SubjectNow"));
    own.setEditText(QStringLiteral("ЭКГ"));
    ASSERT_TRUE(own.SaveHistory(true));
    EXPECT_EQ(Entry(QStringLiteral("SubjectNow")), QStringLiteral("ЭКГ"));
    EXPECT_FALSE(HasEntry(QStringLiteral("Subject")));

    // Without a section or a prefix nothing is read or written and AddString only appends.
    SetEntry(QStringLiteral("0"), QStringLiteral("x"));
    CHistoryCombo plain;
    EXPECT_TRUE(plain.LoadHistory(kSection, QString()).isEmpty());
    EXPECT_TRUE(plain.LoadHistory(QString(), kPrefix).isEmpty());
    EXPECT_EQ(plain.count(), 0);
    EXPECT_EQ(plain.AddString(QStringLiteral("a")), 0);
    EXPECT_EQ(plain.AddString(QStringLiteral("a")), 1);
    EXPECT_FALSE(plain.SaveHistory(true));
}

} // namespace
