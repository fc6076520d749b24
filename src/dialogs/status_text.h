#pragma once
// A dialog's status line: what went right or wrong, with a library's or the system's English
// reason said in the interface's language and the original kept as the line's tooltip.

#include <QString>

class QLabel;

void SetStatusText(QLabel* label, const QString& text);
