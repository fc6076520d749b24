#pragma once
// The dialogs' "Применить" and "Отмена" buttons with their icons, wired to accept and reject.

class QDialog;
class QDialogButtonBox;

QDialogButtonBox* MakeApplyCancelButtons(QDialog* dialog);
