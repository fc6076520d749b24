#include "dialogs/status_text.h"

#include "platform/reason_text.h"

#include <QLabel>

void SetStatusText(QLabel* label, const QString& text) {
    const ShownReason shown = ShowableReason(text);
    label->setText(shown.text);
    label->setToolTip(shown.detail);
}
