#pragma once
// A failure as the interface says it. The program's own words are in the interface's language;
// the reason a library or the system gave comes in English ("No such file or directory",
// "Association Rejected", "Connection refused"). In the Russian interface that English is said in
// Russian where the program knows the reason, and kept whole only as the detail.

#include <QString>

struct ShownReason {
    QString text;   // what the balloon or the message box says
    QString detail; // the original English reason, set apart; empty when there was none
};

// `message` as the interface shows it. In the English interface it stays as it is. In the Russian
// one, line by line, an English tail after ": " (or a line all English) becomes its known Russian
// reason, or goes to the detail alone when the program does not know it.
ShownReason ShowableReason(const QString& message);
