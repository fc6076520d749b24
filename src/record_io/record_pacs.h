#pragma once
// Sending a record to the hospital's archive (a PACS, over DICOM) and checking the link, through
// the interchange helper's C-STORE (or C-ECHO) in a process of its own: the window stays
// responsive, a cancel ends it at once, and a PACS that stalls runs into the settings' time-out.
// Nothing here waits on the caller's thread: the printed report, when one goes, is drawn on a
// thread of its own, the record reaches the helper through its standard input as the pipe takes
// it, and the helper builds the DICOM objects in memory and stores them in the same run.

#include "config/view_settings.h"
#include "record_io/record_files.h"
#include "record_model/ecg_record.h"
#include "record_model/patient_card.h"

#include <QByteArray>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QThread>
#include <memory>
#include <string>
#include <vector>

// What is wrong with the settings for reaching the PACS ("" when nothing is).
QString PacsSettingsFault(const CViewSettings& settings);

// What keeps a card from going to the PACS ("" when nothing does): an archive files what it
// keeps by the patient, so a record without the patient's surname is never sent.
std::string PacsCardFault(const PATIENT_CARD& card);

class CPacsJob : public QObject {
    Q_OBJECT
public:
    explicit CPacsJob(QObject* parent = nullptr);
    ~CPacsJob() override;

    // Starts a C-ECHO; false with *error when it cannot start (Finished is then not emitted).
    bool StartEcho(const CViewSettings& settings, std::string* error);
    // Starts the C-STORE of the record with its card as a DICOM ECG object, prepared as a save to
    // .dcm prepares it (the card's date of birth checked, its texts put into a copy of the
    // record, its statements as `how` says): one helper run builds the object and stores it. With
    // how's report maker, the printed report goes too, as an encapsulated PDF in the ECG's study
    // (its own series), in the same run; it is drawn first, off the caller's thread, and a
    // failure to draw it ends the job with that reason.
    // False with *error when the card (PacsCardFault, a date of birth that cannot be) or the
    // settings keep it from starting.
    bool StartStore(const CViewSettings& settings, const ECG_RECORD& record,
                    const PATIENT_CARD& card, std::string* error,
                    const CStatementSettings& how = {});
    // Starts the C-STORE of a DICOM ECG file as it stands, its own UIDs and all. The helper
    // refuses, before any association, a file that is no DICOM ECG object it can read.
    bool StartStoreFile(const CViewSettings& settings, const QString& path, std::string* error);
    bool IsRunning() const;
    // Ends a running job; Finished comes with "cancelled".
    void Cancel();

    // The same, waiting for the end: for velmora-cli.
    bool Wait(std::string* error);

    // The SOP instance UID the PACS took, once a store has succeeded (else empty).
    const QString& StoredInstance() const { return m_strInstance; }
    // The encapsulated report's SOP instance UID, when one was stored with the ECG (else empty).
    const QString& StoredReportInstance() const { return m_strReportInstance; }

signals:
    void Finished(bool bOk, const QString& reason);

private:
    bool CanStart(const CViewSettings& settings, std::string* error) const;
    bool Start(const CViewSettings& settings, const QStringList& head, const QByteArray& input,
               std::string* error);
    void OnFinished(int exitCode, QProcess::ExitStatus status);
    void Finish(bool bOk, const QString& reason);

    std::unique_ptr<QProcess> m_pProcess;
    // The report being drawn before the helper starts; a cancelled drawing is left to end here.
    std::unique_ptr<QThread> m_pDrawing;
    std::vector<std::unique_ptr<QThread>> m_Abandoned;
    bool m_bDrawing = false;
    bool m_bCancelled = false;
    bool m_bDone = false;
    bool m_bOk = false;
    QString m_strReason;
    QString m_strInstance;
    QString m_strReportInstance;
};
