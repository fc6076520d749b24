#pragma once
// CCurvesDefinitionDlg: the patient card dialog (caption "Информация о записи"), and DefineCurves,
// which runs it on a record window's card.
//
// The dialog edits a copy of the card and fills it on confirmation: texts cut to their buffers in
// Windows-1251 bytes (29 for the names and the doctor's fields, 128 for the address), numbers
// read with the C library's decimal conversion, the date of birth from the date picker. A
// character Windows-1251 cannot hold is refused where it is typed, with a hint, rather than
// stored as '?'. The doctor's name and phone offer the history of earlier entries.

#include "record_model/patient_card.h"
#include "storage/card_fields.h"

#include <QDate>
#include <QDialog>
#include <QString>

class CHistoryCombo;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

class CCurvesDefinitionDlg : public QDialog {
    Q_OBJECT
public:
    // Control identifiers of the dialog, usable with GetDlgItem.
    enum {
        IDD = 133,
        IDC_DOCTOR_NAME = 1011,
        IDC_DOCTOR_PHONE = 1012,
        IDC_LAST_NAME = 1013,
        IDC_FIRST_NAME = 1015,
        IDC_MALE = 1016,
        IDC_FEMALE = 1017,
        IDC_WEIGHT = 1018,
        IDC_HEIGHT = 1020,
        IDC_PATRONYMIC = 1021,
        IDC_POSTAL_CODE = 1023,
        IDC_LOCALITY = 1026,
        IDC_STREET = 1027,
        IDC_HOUSE = 1028,
        IDC_YEARS_OF_RESIDENCE = 1029,
        IDC_REGION = 1030,
        IDC_DISTRICT = 1031,
        IDC_BIRTH_DATE = 1032,
        IDC_PATIENT_ID = 1033,
        IDC_HINT = 1100, // the line that explains a refused input
    };

    // Byte lengths of the card's texts without their terminating zero.
    static constexpr int kNameBytes = 29;
    static constexpr int kAddressBytes = 128;
    static constexpr int kPatientIdBytes = 31;

    // The dialog works on a copy of card; the view's card changes only through GetCard() after
    // a confirmation.
    explicit CCurvesDefinitionDlg(const PATIENT_CARD& card, QWidget* pParent = nullptr);
    ~CCurvesDefinitionDlg() override;

    // Replaces the caption when not empty; set before the dialog is shown.
    QString m_strCaption;
    // The texts of the doctor's boxes taken on confirmation.
    QString m_strDoctorName;
    QString m_strDoctorPhone;
    // The date picker's value; invalid when the card held no date the picker could show.
    QDate m_dtBirth;

    // The working copy of the card; after a confirmation, the confirmed card.
    const PATIENT_CARD& GetCard() const { return m_Card; }

    // The control with the given identifier, or nullptr.
    QWidget* GetDlgItem(int nID) const;

    // The dialog asks for every field `use` needs: the caption says so, the hint line names the
    // fields still empty, and it is not confirmed until they are filled. Call before showing.
    void RequireAll(CardUse use);

    // Confirms the dialog when every field can be stored; otherwise it stays open, the offending
    // field has the focus and the hint line says why.
    void accept() override;

protected:
    void showEvent(QShowEvent* pEvent) override;

    // Fills the controls from the card and the histories; runs once, when first shown.
    void OnInitDialog();
    // Takes the controls' data into the card; false (the dialog stays open) when a field holds
    // what the card cannot store.
    bool OnOK();

private:
    void BuildControls();
    QLineEdit* AddTextEdit(int nID, int nMaxBytes);
    QLineEdit* AddNumberEdit(int nID);
    void WatchRefusals(QLineEdit* pEdit, int nID, int nMaxBytes);
    void ShowHint(QWidget* pField, const QString& strText);
    void HideHint();
    QString LabelOf(int nID) const;
    bool BirthDateChosen() const;
    // Names the fields card still lacks for the required use in the hint line and focuses the
    // first; false when there are any.
    bool ShowMissing(const PATIENT_CARD& card);

    PATIENT_CARD m_Card;
    bool m_bInitialised = false;
    bool m_bRequireAll = false;
    CardUse m_use = CardUse::Export;

    CHistoryCombo* m_cbDoctorName = nullptr;
    CHistoryCombo* m_cbDoctorPhone = nullptr;
    QRadioButton* m_btnMale = nullptr;
    QRadioButton* m_btnFemale = nullptr;
    QDateEdit* m_dtpBirth = nullptr;
    QLabel* m_pHint = nullptr;
    QPushButton* m_btnOK = nullptr;
    QPushButton* m_btnCancel = nullptr;
};

// Caption of the card dialog when every field has to be filled in (string 148).
extern const char* const kCaptionRequireAll;

// Runs the card dialog modally on card: on confirmation the dialog's names, doctor's fields,
// address, years of residence, height, weight, date of birth and sex are copied into card and the
// result is 0; on cancellation card is unchanged and the result is 1. With bRequireAll the dialog
// asks for every field `use` needs and names the missing ones.
int DefineCurves(QWidget* pParent, PATIENT_CARD& card, bool bRequireAll,
                 CardUse use = CardUse::Export);
