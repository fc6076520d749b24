#include "dialogs/curves_definition_dlg.h"

#include "dialogs/history_combo.h"
#include "platform/cp1251.h"
#include "storage/card_fields.h"

#include <QCalendarWidget>
#include <QCoreApplication>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QShowEvent>
#include <QVBoxLayout>
#include <QValidator>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <limits>
#include <utility>

const char* const kCaptionRequireAll =
    QT_TRANSLATE_NOOP("CCurvesDefinitionDlg", "Информация о записи (заполните все поля)*");

namespace {

const QString kHistorySection = QStringLiteral("HistoryCombos");
const QString kDoctorNamePrefix = QStringLiteral("DoctorName");
const QString kDoctorPhonePrefix = QStringLiteral("DoctorPhone");

// The dates the picker offers; the card keeps the year in 16 bits and 65535 means "no date".
const QDate kFirstDate(1601, 1, 1);
const QDate kLastDate(9999, 12, 31);

struct ControlLabel {
    int nID;
    const char* szLabel;
};

constexpr ControlLabel kLabels[] = {
    {CCurvesDefinitionDlg::IDC_DOCTOR_NAME, QT_TRANSLATE_NOOP("CCurvesDefinitionDlg", "Ф.И.О.")},
    {CCurvesDefinitionDlg::IDC_DOCTOR_PHONE, QT_TRANSLATE_NOOP("CCurvesDefinitionDlg", "Телефон")},
    {CCurvesDefinitionDlg::IDC_LAST_NAME, QT_TRANSLATE_NOOP("CCurvesDefinitionDlg", "Фамилия")},
    {CCurvesDefinitionDlg::IDC_FIRST_NAME, QT_TRANSLATE_NOOP("CCurvesDefinitionDlg", "Имя")},
    {CCurvesDefinitionDlg::IDC_PATRONYMIC, QT_TRANSLATE_NOOP("CCurvesDefinitionDlg", "Отчество")},
    {CCurvesDefinitionDlg::IDC_PATIENT_ID,
     QT_TRANSLATE_NOOP("CCurvesDefinitionDlg", "Номер карты")},
    {CCurvesDefinitionDlg::IDC_MALE, QT_TRANSLATE_NOOP("CCurvesDefinitionDlg", "муж.")},
    {CCurvesDefinitionDlg::IDC_FEMALE, QT_TRANSLATE_NOOP("CCurvesDefinitionDlg", "жен.")},
    {CCurvesDefinitionDlg::IDC_WEIGHT, QT_TRANSLATE_NOOP("CCurvesDefinitionDlg", "Вес")},
    {CCurvesDefinitionDlg::IDC_HEIGHT, QT_TRANSLATE_NOOP("CCurvesDefinitionDlg", "Рост")},
    {CCurvesDefinitionDlg::IDC_BIRTH_DATE,
     QT_TRANSLATE_NOOP("CCurvesDefinitionDlg", "Дата рождения")},
    {CCurvesDefinitionDlg::IDC_POSTAL_CODE,
     QT_TRANSLATE_NOOP("CCurvesDefinitionDlg", "Почтовый код")},
    {CCurvesDefinitionDlg::IDC_REGION, QT_TRANSLATE_NOOP("CCurvesDefinitionDlg", "Область")},
    {CCurvesDefinitionDlg::IDC_DISTRICT, QT_TRANSLATE_NOOP("CCurvesDefinitionDlg", "Район")},
    {CCurvesDefinitionDlg::IDC_LOCALITY, QT_TRANSLATE_NOOP("CCurvesDefinitionDlg", "Нас. пункт")},
    {CCurvesDefinitionDlg::IDC_STREET, QT_TRANSLATE_NOOP("CCurvesDefinitionDlg", "Улица")},
    {CCurvesDefinitionDlg::IDC_HOUSE, QT_TRANSLATE_NOOP("CCurvesDefinitionDlg", "Дом")},
    {CCurvesDefinitionDlg::IDC_YEARS_OF_RESIDENCE,
     QT_TRANSLATE_NOOP("CCurvesDefinitionDlg", "Время проживания (лет)")},
};

// The plain edits and the card field each one shows (texts and numbers; the doctor's boxes, the
// sex buttons and the date picker have their own rules). Sizes, kinds and ranges come from the
// card's one table of fields.
struct EditField {
    int nID;
    const char* name;
};

constexpr EditField kEditFields[] = {
    {CCurvesDefinitionDlg::IDC_LAST_NAME, "last_name"},
    {CCurvesDefinitionDlg::IDC_FIRST_NAME, "first_name"},
    {CCurvesDefinitionDlg::IDC_PATRONYMIC, "patronymic"},
    {CCurvesDefinitionDlg::IDC_PATIENT_ID, "patient_id"},
    {CCurvesDefinitionDlg::IDC_POSTAL_CODE, "postal_code"},
    {CCurvesDefinitionDlg::IDC_REGION, "region"},
    {CCurvesDefinitionDlg::IDC_DISTRICT, "district"},
    {CCurvesDefinitionDlg::IDC_LOCALITY, "locality"},
    {CCurvesDefinitionDlg::IDC_STREET, "street"},
    {CCurvesDefinitionDlg::IDC_HOUSE, "house"},
    {CCurvesDefinitionDlg::IDC_WEIGHT, "weight"},
    {CCurvesDefinitionDlg::IDC_HEIGHT, "height"},
    {CCurvesDefinitionDlg::IDC_YEARS_OF_RESIDENCE, "years_of_residence"},
};

const CardField& FieldOf(const EditField& edit) {
    return *FindCardField(edit.name);
}

// The text of a card buffer; a buffer without its terminating zero is read to its end only.
QString CardText(const char* pBuffer, size_t nSize) {
    return FromCp1251(QByteArray(pBuffer, qsizetype(strnlen(pBuffer, nSize))));
}

// Stores text into a card buffer: blanks around it dropped (a name of blanks is no name), cut to
// the buffer's bytes, zero-filled behind.
void SetCardText(char* pBuffer, size_t nSize, const QString& text) {
    const QByteArray bytes = ToCp1251(Cp1251Left(text.trimmed(), int(nSize) - 1));
    std::memset(pBuffer, 0, nSize);
    std::memcpy(pBuffer, bytes.constData(), size_t(bytes.size()));
}

// The C library's decimal conversion: leading blanks, a sign, the digits up to the first other
// character; 0 when there is no number. *pbInRange is false when the number leaves [nMin, nMax].
long ReadNumber(const QString& text, long nMin, long nMax, bool* pbInRange) {
    const QByteArray bytes = ToCp1251(text);
    errno = 0;
    const long nValue = std::strtol(bytes.constData(), nullptr, 10);
    *pbInRange = errno != ERANGE && nValue >= nMin && nValue <= nMax;
    return nValue;
}

// The first character of text Windows-1251 cannot hold (a surrogate pair as one), or empty.
QString FirstUnencodable(const QString& text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        qsizetype n = 1;
        if (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            n = 2;
        const QString ch = text.mid(i, n);
        if (!Cp1251CanEncode(ch))
            return ch;
        i += n - 1;
    }
    return QString();
}

QString EncodingHint(const QString& strLabel, const QString& strChar) {
    return QCoreApplication::translate("CCurvesDefinitionDlg",
                                       "«%1»: символ «%2» нельзя сохранить в записи — его нет в "
                                       "кодировке Windows-1251.")
        .arg(strLabel, strChar);
}

// Refuses any text with a character the card's Windows-1251 buffers cannot hold, and remembers
// the character so that the dialog can name it.
class CCp1251Validator : public QValidator {
public:
    using QValidator::QValidator;

    State validate(QString& input, int& /*pos*/) const override {
        m_strRefused = FirstUnencodable(input);
        return m_strRefused.isEmpty() ? Acceptable : Invalid;
    }

    QString TakeRefused() const { return std::exchange(m_strRefused, QString()); }

private:
    mutable QString m_strRefused;
};

// The interface locale's short date format with a four-digit year: a two-digit year is ambiguous
// for a date of birth.
QString ShortDateFormat() {
    QString strFormat = QLocale().dateFormat(QLocale::ShortFormat);
    static const QRegularExpression twoDigitYear(QStringLiteral("(?<!y)yy(?!y)"));
    strFormat.replace(twoDigitYear, QStringLiteral("yyyy"));
    return strFormat;
}

} // namespace

CCurvesDefinitionDlg::CCurvesDefinitionDlg(const PATIENT_CARD& card, QWidget* pParent)
    : QDialog(pParent), m_Card(card) {
    setWindowTitle(tr("Информация о записи"));
    BuildControls();
}

CCurvesDefinitionDlg::~CCurvesDefinitionDlg() = default;

QString CCurvesDefinitionDlg::LabelOf(int nID) const {
    for (const ControlLabel& label : kLabels) {
        if (label.nID == nID)
            return tr(label.szLabel);
    }
    return QString();
}

QWidget* CCurvesDefinitionDlg::GetDlgItem(int nID) const {
    return findChild<QWidget*>(QStringLiteral("IDC_%1").arg(nID));
}

QLineEdit* CCurvesDefinitionDlg::AddTextEdit(int nID, int nMaxBytes) {
    auto* pEdit = new QLineEdit(this);
    pEdit->setObjectName(QStringLiteral("IDC_%1").arg(nID));
    // Every accepted character is one Windows-1251 byte, so this is the buffer's byte limit.
    pEdit->setMaxLength(nMaxBytes);
    pEdit->setValidator(new CCp1251Validator(pEdit));
    WatchRefusals(pEdit, nID, nMaxBytes);
    return pEdit;
}

QLineEdit* CCurvesDefinitionDlg::AddNumberEdit(int nID) {
    auto* pEdit = new QLineEdit(this);
    pEdit->setObjectName(QStringLiteral("IDC_%1").arg(nID));
    return pEdit;
}

void CCurvesDefinitionDlg::WatchRefusals(QLineEdit* pEdit, int nID, int nMaxBytes) {
    const QString strLabel = LabelOf(nID);
    connect(pEdit, &QLineEdit::inputRejected, this, [this, pEdit, strLabel, nMaxBytes] {
        const auto* pValidator = static_cast<const CCp1251Validator*>(pEdit->validator());
        const QString strChar = pValidator ? pValidator->TakeRefused() : QString();
        if (!strChar.isEmpty())
            ShowHint(pEdit, EncodingHint(strLabel, strChar));
        else
            ShowHint(pEdit, tr("«%1»: не более %2 знаков.").arg(strLabel).arg(nMaxBytes));
    });
}

void CCurvesDefinitionDlg::BuildControls() {
    auto label = [this](int nID, QWidget* pBuddy) {
        auto* pLabel = new QLabel(LabelOf(nID), this);
        pLabel->setBuddy(pBuddy);
        return pLabel;
    };

    // Doctor.
    m_cbDoctorName = new CHistoryCombo(this);
    m_cbDoctorPhone = new CHistoryCombo(this);
    auto* pDoctor = new QGroupBox(tr("Врач"), this);
    auto* pDoctorGrid = new QGridLayout(pDoctor);
    const std::pair<int, CHistoryCombo*> combos[] = {{IDC_DOCTOR_NAME, m_cbDoctorName},
                                                     {IDC_DOCTOR_PHONE, m_cbDoctorPhone}};
    for (int i = 0; i < 2; ++i) {
        auto [nID, pCombo] = combos[i];
        pCombo->setObjectName(QStringLiteral("IDC_%1").arg(nID));
        pCombo->lineEdit()->setMaxLength(kNameBytes);
        pCombo->setValidator(new CCp1251Validator(pCombo));
        pCombo->setMinimumContentsLength(kNameBytes);
        WatchRefusals(pCombo->lineEdit(), nID, kNameBytes);
        pDoctorGrid->addWidget(label(nID, pCombo), i, 0);
        pDoctorGrid->addWidget(pCombo, i, 1);
    }
    pDoctorGrid->setColumnStretch(1, 1);

    // Patient: names on the left, sex, weight, height and date of birth on the right.
    auto* pPatient = new QGroupBox(tr("Пациент"), this);
    auto* pPatientGrid = new QGridLayout(pPatient);
    const int nameIDs[] = {IDC_LAST_NAME, IDC_FIRST_NAME, IDC_PATRONYMIC};
    for (int i = 0; i < 3; ++i) {
        QLineEdit* pEdit = AddTextEdit(nameIDs[i], kNameBytes);
        pPatientGrid->addWidget(label(nameIDs[i], pEdit), i, 0);
        pPatientGrid->addWidget(pEdit, i, 1);
    }
    // The hospital's medical record number; optional, it ties the record to its patient.
    QLineEdit* pPatientId = AddTextEdit(IDC_PATIENT_ID, kPatientIdBytes);
    pPatientGrid->addWidget(label(IDC_PATIENT_ID, pPatientId), 3, 0);
    pPatientGrid->addWidget(pPatientId, 3, 1);

    m_btnMale = new QRadioButton(LabelOf(IDC_MALE), this);
    m_btnMale->setObjectName(QStringLiteral("IDC_%1").arg(int(IDC_MALE)));
    m_btnFemale = new QRadioButton(LabelOf(IDC_FEMALE), this);
    m_btnFemale->setObjectName(QStringLiteral("IDC_%1").arg(int(IDC_FEMALE)));
    auto* pSex = new QHBoxLayout;
    pSex->addWidget(m_btnMale);
    pSex->addWidget(m_btnFemale);
    pSex->addStretch(1);
    pPatientGrid->addLayout(pSex, 0, 3);

    QLineEdit* pWeight = AddNumberEdit(IDC_WEIGHT);
    pPatientGrid->addWidget(label(IDC_WEIGHT, pWeight), 1, 2);
    pPatientGrid->addWidget(pWeight, 1, 3);
    QLineEdit* pHeight = AddNumberEdit(IDC_HEIGHT);
    pPatientGrid->addWidget(label(IDC_HEIGHT, pHeight), 2, 2);
    pPatientGrid->addWidget(pHeight, 2, 3);

    m_dtpBirth = new QDateEdit(this);
    m_dtpBirth->setObjectName(QStringLiteral("IDC_%1").arg(int(IDC_BIRTH_DATE)));
    m_dtpBirth->setCalendarPopup(true);
    m_dtpBirth->setDisplayFormat(ShortDateFormat());
    // The day before the first date stands for "not chosen": a date of birth is never guessed.
    m_dtpBirth->setDateRange(kFirstDate.addDays(-1), kLastDate);
    m_dtpBirth->setSpecialValueText(tr("не указана"));
    m_dtpBirth->setDate(m_dtpBirth->minimumDate());
    // Until a date is chosen the calendar opens on this year rather than on the stand-in day.
    m_dtpBirth->calendarWidget()->setCurrentPage(QDate::currentDate().year(),
                                                 QDate::currentDate().month());
    pPatientGrid->addWidget(label(IDC_BIRTH_DATE, m_dtpBirth), 3, 2);
    pPatientGrid->addWidget(m_dtpBirth, 3, 3);

    // Address, inside the patient's group.
    auto* pAddress = new QGroupBox(tr("Адрес"), pPatient);
    auto* pAddressGrid = new QGridLayout(pAddress);
    const int addressIDs[] = {IDC_POSTAL_CODE, IDC_REGION, IDC_DISTRICT,
                              IDC_LOCALITY,    IDC_STREET, IDC_HOUSE};
    for (int i = 0; i < 6; ++i) {
        QLineEdit* pEdit = AddTextEdit(addressIDs[i], kAddressBytes);
        const int nRow = i / 2;
        const int nColumn = (i % 2) * 2;
        pAddressGrid->addWidget(label(addressIDs[i], pEdit), nRow, nColumn);
        pAddressGrid->addWidget(pEdit, nRow, nColumn + 1);
    }
    QLineEdit* pYears = AddNumberEdit(IDC_YEARS_OF_RESIDENCE);
    pAddressGrid->addWidget(label(IDC_YEARS_OF_RESIDENCE, pYears), 3, 0);
    pAddressGrid->addWidget(pYears, 3, 1);
    pAddressGrid->setColumnStretch(1, 1);
    pAddressGrid->setColumnStretch(3, 1);
    pPatientGrid->addWidget(pAddress, 4, 0, 1, 4);
    pPatientGrid->setColumnStretch(1, 1);
    pPatientGrid->setColumnStretch(3, 1);

    // The hint line explaining a refused input, and the buttons.
    m_pHint = new QLabel(this);
    m_pHint->setObjectName(QStringLiteral("IDC_%1").arg(int(IDC_HINT)));
    m_pHint->setWordWrap(true);
    m_pHint->setStyleSheet(QStringLiteral("color: #b00000;"));
    m_pHint->hide();

    m_btnOK = new QPushButton(tr("Применить"), this);
    m_btnOK->setObjectName(QStringLiteral("IDOK"));
    m_btnOK->setDefault(true);
    m_btnCancel = new QPushButton(tr("Отмена"), this);
    m_btnCancel->setObjectName(QStringLiteral("IDCANCEL"));
    auto* pButtons = new QDialogButtonBox(this);
    pButtons->addButton(m_btnOK, QDialogButtonBox::AcceptRole);
    pButtons->addButton(m_btnCancel, QDialogButtonBox::RejectRole);
    connect(pButtons, &QDialogButtonBox::accepted, this, &CCurvesDefinitionDlg::accept);
    connect(pButtons, &QDialogButtonBox::rejected, this, &CCurvesDefinitionDlg::reject);

    auto* pMain = new QVBoxLayout(this);
    pMain->addWidget(pDoctor);
    pMain->addWidget(pPatient);
    pMain->addWidget(m_pHint);
    pMain->addWidget(pButtons);
}

void CCurvesDefinitionDlg::ShowHint(QWidget* pField, const QString& strText) {
    m_pHint->setText(strText);
    m_pHint->show();
    if (pField)
        pField->setFocus(Qt::OtherFocusReason);
}

void CCurvesDefinitionDlg::HideHint() {
    m_pHint->hide();
    m_pHint->clear();
}

void CCurvesDefinitionDlg::showEvent(QShowEvent* pEvent) {
    if (!m_bInitialised) {
        m_bInitialised = true;
        OnInitDialog();
    }
    QDialog::showEvent(pEvent);
}

void CCurvesDefinitionDlg::OnInitDialog() {
    // The card's date of birth when it is a date the picker can show; otherwise the picker says
    // none is chosen.
    const QDate birth(m_Card.birth_year, m_Card.birth_month, m_Card.birth_day);
    if (birth.isValid() && birth >= kFirstDate && birth <= kLastDate) {
        m_dtBirth = birth;
        m_dtpBirth->setDate(birth);
    } else {
        m_dtBirth = QDate();
    }

    if (!m_strCaption.isEmpty())
        setWindowTitle(m_strCaption);

    m_cbDoctorName->LoadHistory(kHistorySection, kDoctorNamePrefix, true);
    m_cbDoctorPhone->LoadHistory(kHistorySection, kDoctorPhonePrefix, true);

    // The card's own doctor wins over the text kept from the last confirmation, which may have
    // been another record's: the box shows exactly what the card holds.
    const QString strName = CardText(m_Card.doctor_name, sizeof m_Card.doctor_name);
    if (!strName.isEmpty())
        m_cbDoctorName->setEditText(strName);
    const QString strPhone = CardText(m_Card.doctor_phone, sizeof m_Card.doctor_phone);
    if (!strPhone.isEmpty())
        m_cbDoctorPhone->setEditText(strPhone);

    // A sex nobody chose stays unchosen: neither button is checked.
    if (m_Card.sex == 1)
        m_btnMale->setChecked(true);
    else if (m_Card.sex == 0)
        m_btnFemale->setChecked(true);

    for (const EditField& edit : kEditFields) {
        const CardField& f = FieldOf(edit);
        static_cast<QLineEdit*>(GetDlgItem(edit.nID))
            ->setText(f.kind == CardFieldKind::Text ? CardText(CardFieldText(m_Card, f), f.size)
                                                    : QString::number(CardNumber(m_Card, f)));
    }
    HideHint();
    if (m_bRequireAll)
        ShowMissing(m_Card);
}

void CCurvesDefinitionDlg::RequireAll(CardUse use) {
    m_bRequireAll = true;
    m_use = use;
    m_strCaption = tr(kCaptionRequireAll);
}

void CCurvesDefinitionDlg::accept() {
    if (OnOK())
        QDialog::accept();
}

bool CCurvesDefinitionDlg::OnOK() {
    // Everything is checked before anything is taken, so a refused confirmation changes neither
    // the card nor the histories.
    const std::pair<int, QWidget*> textControls[] = {{IDC_DOCTOR_NAME, m_cbDoctorName},
                                                     {IDC_DOCTOR_PHONE, m_cbDoctorPhone},
                                                     {IDC_LAST_NAME, nullptr},
                                                     {IDC_FIRST_NAME, nullptr},
                                                     {IDC_PATRONYMIC, nullptr},
                                                     {IDC_PATIENT_ID, nullptr},
                                                     {IDC_POSTAL_CODE, nullptr},
                                                     {IDC_REGION, nullptr},
                                                     {IDC_DISTRICT, nullptr},
                                                     {IDC_LOCALITY, nullptr},
                                                     {IDC_STREET, nullptr},
                                                     {IDC_HOUSE, nullptr}};
    for (const auto& [nID, pCombo] : textControls) {
        QWidget* pField = pCombo ? pCombo : GetDlgItem(nID);
        const QString text = pCombo ? static_cast<QComboBox*>(pCombo)->currentText()
                                    : static_cast<QLineEdit*>(pField)->text();
        const QString strChar = FirstUnencodable(text);
        if (!strChar.isEmpty()) {
            ShowHint(pField, EncodingHint(LabelOf(nID), strChar));
            return false;
        }
    }
    long numbers[std::size(kEditFields)] = {};
    for (size_t i = 0; i < std::size(kEditFields); ++i) {
        const CardField& f = FieldOf(kEditFields[i]);
        if (f.kind == CardFieldKind::Text)
            continue;
        auto* pEdit = static_cast<QLineEdit*>(GetDlgItem(kEditFields[i].nID));
        const long nMin = long(CardNumberMin(f.kind)), nMax = long(CardNumberMax(f.kind));
        bool bInRange = false;
        numbers[i] = ReadNumber(pEdit->text(), nMin, nMax, &bInRange);
        if (!bInRange) {
            ShowHint(pEdit, tr("«%1»: число должно быть от %2 до %3.")
                                .arg(LabelOf(kEditFields[i].nID))
                                .arg(nMin)
                                .arg(nMax));
            return false;
        }
    }

    PATIENT_CARD card = m_Card;
    const QString strDoctorName = m_cbDoctorName->currentText();
    const QString strDoctorPhone = m_cbDoctorPhone->currentText();
    SetCardText(card.doctor_name, sizeof card.doctor_name, strDoctorName);
    SetCardText(card.doctor_phone, sizeof card.doctor_phone, strDoctorPhone);
    card.sex = m_btnMale->isChecked() ? 1 : m_btnFemale->isChecked() ? 0 : kSexNotGiven;
    for (size_t i = 0; i < std::size(kEditFields); ++i) {
        const CardField& f = FieldOf(kEditFields[i]);
        if (f.kind == CardFieldKind::Text)
            SetCardText(CardFieldText(card, f), f.size,
                        static_cast<QLineEdit*>(GetDlgItem(kEditFields[i].nID))->text());
        else
            SetCardNumber(card, f, numbers[i]);
    }
    const QDate birth = BirthDateChosen() ? m_dtpBirth->date() : QDate();
    if (birth.isValid() && birth.year() > 0 && birth.year() < 65535) {
        card.birth_year = uint16_t(birth.year());
        card.birth_month = uint16_t(birth.month());
        card.birth_day = uint16_t(birth.day());
    } else if (CardBirthDateValid(card)) {
        card.birth_year = card.birth_month = card.birth_day = 0; // not chosen
    }
    if (m_bRequireAll && !ShowMissing(card))
        return false;
    HideHint();

    m_dtBirth = birth;
    m_strDoctorName = strDoctorName;
    if (!m_strDoctorName.trimmed().isEmpty())
        m_cbDoctorName->AddString(m_strDoctorName);
    m_cbDoctorName->SaveHistory(true);
    m_strDoctorPhone = strDoctorPhone;
    if (!m_strDoctorPhone.trimmed().isEmpty())
        m_cbDoctorPhone->AddString(m_strDoctorPhone);
    m_cbDoctorPhone->SaveHistory(true);
    m_Card = card;
    return true;
}

bool CCurvesDefinitionDlg::BirthDateChosen() const {
    return m_dtpBirth->date() != m_dtpBirth->minimumDate();
}

bool CCurvesDefinitionDlg::ShowMissing(const PATIENT_CARD& card) {
    // The card's fields that a save needs, with the control that fills each one.
    struct NeededField {
        const char* name;
        int nID;
        const char* szLabel;
    };
    static constexpr NeededField kNeeded[] = {
        {"doctor_name", IDC_DOCTOR_NAME, QT_TR_NOOP("Ф.И.О. врача")},
        {"doctor_phone", IDC_DOCTOR_PHONE, QT_TR_NOOP("Телефон врача")},
        {"last_name", IDC_LAST_NAME, QT_TR_NOOP("Фамилия")},
        {"first_name", IDC_FIRST_NAME, QT_TR_NOOP("Имя")},
        {"patronymic", IDC_PATRONYMIC, QT_TR_NOOP("Отчество")},
        {"height", IDC_HEIGHT, QT_TR_NOOP("Рост")},
        {"weight", IDC_WEIGHT, QT_TR_NOOP("Вес")},
        {"birth_year", IDC_BIRTH_DATE, QT_TR_NOOP("Дата рождения")},
        {"sex", IDC_MALE, QT_TR_NOOP("Пол")},
    };
    QStringList labels;
    QWidget* pFirst = nullptr;
    for (const std::string& name : MissingCardFields(card, m_use))
        for (const NeededField& needed : kNeeded)
            if (name == needed.name) {
                labels << tr("«%1»").arg(tr(needed.szLabel));
                if (!pFirst)
                    pFirst = GetDlgItem(needed.nID);
            }
    if (labels.isEmpty())
        return true;
    ShowHint(
        pFirst,
        tr("Для сохранения и отправки не заполнено: %1.").arg(labels.join(QStringLiteral(", "))));
    return false;
}

int DefineCurves(QWidget* pParent, PATIENT_CARD& card, bool bRequireAll, CardUse use) {
    CCurvesDefinitionDlg dlg(card, pParent);
    if (bRequireAll)
        dlg.RequireAll(use);
    if (dlg.exec() != QDialog::Accepted)
        return 1;

    CopyCardFields(card, dlg.GetCard());
    return 0;
}
