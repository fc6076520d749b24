#pragma once
// Sending a record to the hospital's archive (a PACS, over DICOM) and checking the link: the
// record written as a DICOM ECG object into a private folder, then handed to the interchange
// helper's C-STORE (or C-ECHO), which runs in its own process: the window stays responsive, a
// cancel ends it at once, and a PACS that stalls runs into the settings' time-out.

#include "config/view_settings.h"
#include "record_model/ecg_record.h"
#include "record_model/patient_card.h"

#include <QObject>
#include <QProcess>
#include <QString>

class CPrivateFolder;
#include <memory>
#include <string>

// What is wrong with the settings for reaching the PACS ("" when nothing is).
QString PacsSettingsFault(const CViewSettings& settings);

class CPacsJob : public QObject {
    Q_OBJECT
public:
    explicit CPacsJob(QObject* parent = nullptr);
    ~CPacsJob() override;

    // Starts a C-ECHO; false with *error when it cannot start (Finished is then not emitted).
    bool StartEcho(const CViewSettings& settings, std::string* error);
    // Writes the record with its card as DICOM and starts its C-STORE.
    bool StartStore(const CViewSettings& settings, const ECG_RECORD& record,
                    const PATIENT_CARD& card, std::string* error);
    bool IsRunning() const;
    // Ends a running job; Finished comes with "cancelled".
    void Cancel();

    // The same, waiting for the end: for velmora-cli.
    bool Wait(std::string* error);

signals:
    void Finished(bool bOk, const QString& reason);

private:
    bool CanStart(const CViewSettings& settings, std::string* error) const;
    bool Start(const CViewSettings& settings, const QStringList& head, std::string* error);
    void OnFinished(int exitCode, QProcess::ExitStatus status);

    std::unique_ptr<QProcess> m_pProcess;
    std::unique_ptr<CPrivateFolder> m_pFolder;
    bool m_bCancelled = false;
    bool m_bDone = false;
    bool m_bOk = false;
    QString m_strReason;
};
