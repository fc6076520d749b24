#include "dialogs/history_combo.h"

#include <QLineEdit>
#include <QSettings>

namespace {

// Largest index ever looked at when removing stale entries; a profile holds nothing beyond it.
constexpr int kMaxStaleIndex = 999;

// The per-user profile; the same file as CAppProfile's. QSettings objects of one process share
// their contents, so a fresh object per use sees every earlier write.
QSettings OpenProfile() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("velmora"),
                     QStringLiteral("velmora"));
}

QString KeyOf(const QString& sSection, const QString& sEntry) {
    return sSection + u'/' + sEntry;
}

} // namespace

CHistoryCombo::CHistoryCombo(QWidget* pParent) : QComboBox(pParent) {
    setEditable(true);
    // The history decides where items go; Enter must not append the typed text on its own.
    setInsertPolicy(QComboBox::NoInsert);
    setDuplicatesEnabled(false);
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
}

QString CHistoryCombo::LastCurrentKey() const {
    if (!m_sKeyCurItem.isEmpty())
        return m_sKeyCurItem;
    if (m_sKeyPrefix.isEmpty())
        return QStringLiteral("Last");
    return m_sKeyPrefix;
}

QString CHistoryCombo::LoadHistory(const QString& sSection, const QString& sKeyPrefix,
                                   bool bSaveRestoreLastCurrent, const QString& sKeyCurItem) {
    if (sSection.isEmpty() || sKeyPrefix.isEmpty())
        return QString();
    m_sSection = sSection;
    m_sKeyPrefix = sKeyPrefix;
    m_sKeyCurItem = sKeyCurItem;
    m_bSaveRestoreLastCurrent = bSaveRestoreLastCurrent;

    // A second load replaces the list rather than appending a second copy of it.
    clear();
    const QSettings profile = OpenProfile();
    for (int i = 0; i < m_nMaxHistoryItems; ++i) {
        const QString entry =
            profile.value(KeyOf(m_sSection, m_sKeyPrefix + QString::number(i))).toString();
        if (entry.isEmpty())
            break;
        addItem(entry);
    }
    // Adding the first item makes it current; the box starts empty unless a last text is kept.
    setCurrentIndex(-1);
    setEditText(QString());

    QString sLast;
    if (m_bSaveRestoreLastCurrent) {
        sLast = profile.value(KeyOf(m_sSection, LastCurrentKey())).toString();
        if (!sLast.isEmpty()) {
            const int nIndex = FindStringExact(sLast);
            if (nIndex >= 0)
                setCurrentIndex(nIndex);
            else
                setEditText(sLast);
        }
    }
    return sLast;
}

int CHistoryCombo::FindStringExact(const QString& str) const {
    for (int i = 0; i < count(); ++i) {
        if (itemText(i).compare(str, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

int CHistoryCombo::AddString(const QString& str) {
    if (m_sSection.isEmpty() || m_sKeyPrefix.isEmpty()) {
        addItem(str);
        return count() - 1;
    }
    const QString sText = str.trimmed();
    if (sText.isEmpty())
        return -1;
    insertItem(0, sText);
    for (int i = 1; i < count(); ++i) {
        if (itemText(i).compare(sText, Qt::CaseInsensitive) == 0) {
            removeItem(i);
            break;
        }
    }
    while (count() > m_nMaxHistoryItems)
        removeItem(m_nMaxHistoryItems);
    setCurrentIndex(0);
    return 0;
}

void CHistoryCombo::SetMaxHistoryItems(int nMax) {
    m_nMaxHistoryItems = qMax(1, nMax);
}

bool CHistoryCombo::SaveHistory(bool bAddCurrentItemToHistory) {
    if (m_sSection.isEmpty() || m_sKeyPrefix.isEmpty())
        return false;
    // The text to keep as the last current one is the text shown now; AddString may select the
    // trimmed item, which is what the user sees afterwards.
    if (bAddCurrentItemToHistory) {
        const QString sText = currentText().trimmed();
        if (!sText.isEmpty())
            AddString(sText);
    }

    QSettings profile = OpenProfile();
    // Never more entries than a load reads back, or the extra one would linger unseen.
    const int n = qMin(count(), m_nMaxHistoryItems);
    for (int i = 0; i < n; ++i)
        profile.setValue(KeyOf(m_sSection, m_sKeyPrefix + QString::number(i)), itemText(i));

    // Entries a longer history left behind, gaps included, so none can come back later.
    profile.beginGroup(m_sSection);
    const QStringList keys = profile.childKeys();
    for (const QString& key : keys) {
        if (!key.startsWith(m_sKeyPrefix) || key.size() == m_sKeyPrefix.size())
            continue;
        const QString sIndex = key.mid(m_sKeyPrefix.size());
        bool bNumber = false;
        const int nIndex = sIndex.toInt(&bNumber);
        if (bNumber && nIndex >= n && nIndex <= kMaxStaleIndex && QString::number(nIndex) == sIndex)
            profile.remove(key);
    }
    profile.endGroup();

    // A blank text is no entry: the key goes rather than bringing the blanks back next time.
    if (m_bSaveRestoreLastCurrent) {
        const QString sCurrent = currentText().trimmed();
        if (sCurrent.isEmpty())
            profile.remove(KeyOf(m_sSection, LastCurrentKey()));
        else
            profile.setValue(KeyOf(m_sSection, LastCurrentKey()), sCurrent);
    }
    profile.sync();
    return profile.status() == QSettings::NoError;
}
