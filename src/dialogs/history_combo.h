#pragma once
// CHistoryCombo: an editable drop-down combo box whose list is a history of earlier entries, kept
// in the per-user profile (the same QSettings as CAppProfile). Entry i of the list lives under
// "<section>/<prefix><i>"; the text that was current last time under the current-item key, or
// "Last" when the prefix is empty, or else under the prefix itself.
//
// The newest entry is always at the top; an entry equal to a newer one, letter case ignored, is
// dropped, so the list never holds the same name twice nor more than m_nMaxHistoryItems items.

#include <QComboBox>
#include <QString>

class CHistoryCombo : public QComboBox {
    Q_OBJECT
public:
    explicit CHistoryCombo(QWidget* pParent = nullptr);

    // Reads the history of sKeyPrefix from sSection into the list and remembers where it lives
    // for SaveHistory. With bSaveRestoreLastCurrent the text current last time is shown again (the
    // matching item selected when the list has it). Returns that text; empty when there is none
    // or when the section or the prefix is empty (nothing is loaded then).
    QString LoadHistory(const QString& sSection, const QString& sKeyPrefix,
                        bool bSaveRestoreLastCurrent = true,
                        const QString& sKeyCurItem = QString());

    // Writes the list back. With bAddCurrentItemToHistory the box's text (blanks trimmed, when
    // not empty) is put at the top first. Entries beyond the list that an earlier, longer history
    // left in the profile are removed. False when the profile could not be written or no
    // history was loaded.
    bool SaveHistory(bool bAddCurrentItemToHistory = true);

    // With a history loaded: puts str (blanks trimmed) at the top, drops an older item equal to it
    // (letter case ignored) and the items beyond the cap, selects it and returns 0. A text that is
    // empty after trimming is never stored: -1. Without a history: a plain append, returning the
    // new item's index.
    int AddString(const QString& str);

    // The index of the first item equal to str with letter case ignored, or -1.
    int FindStringExact(const QString& str) const;

    // The cap of the list (at least 1); the default is 10.
    void SetMaxHistoryItems(int nMax);
    int GetMaxHistoryItems() const { return m_nMaxHistoryItems; }

    // The profile key of the last current text under the rule above.
    QString LastCurrentKey() const;

private:
    QString m_sSection;
    QString m_sKeyPrefix;
    QString m_sKeyCurItem;
    bool m_bSaveRestoreLastCurrent = true;
    int m_nMaxHistoryItems = 10;
};
