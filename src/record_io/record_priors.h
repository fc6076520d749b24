#pragma once
// The patient's earlier ECGs from the hospital's archive (a PACS), through the interchange
// helper's C-FIND and C-GET in a process of its own: a stalled PACS runs into the settings'
// time-out, and a cancel (CHelperCancelScope, as CBackgroundTask gives it) kills the helper at
// once. The fetched objects are DICOM ECG files like any other: whoever keeps them (the archive)
// imports them through the records layer's reader.

#include "config/view_settings.h"
#include "record_model/patient_card.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <string>
#include <vector>

// One study of the patient's that holds an ECG, as the PACS lists it.
struct CPriorStudy {
    QString m_strStudyUid;
    QString m_strDate;     // YYYY-MM-DD, or empty when the PACS gives none
    QString m_strTime;     // hh:mm:ss, or empty
    QString m_strName;     // the patient's name as the PACS gives it, parts separated by blanks
    PATIENT_CARD m_Card{}; // the names (as far as the card holds them), birth date, sex and ID
    QString m_strAccession;
    int m_nEcgInstances = 0; // the ECG waveform objects in the study
};

// The patient ID the PACS files the card's records under: the card's own, else the one derived
// from its names and date of birth (what our DICOM objects carry). Empty without either.
QString PriorsPatientId(const PATIENT_CARD& card);

// The studies of the patient that hold an ECG, the newest first. False with *error (the
// settings' fault, the helper's or the PACS's reason, "cancelled").
bool FindPriors(const CViewSettings& pacs, const QString& patientId, std::vector<CPriorStudy>& out,
                std::string* error);

// The helper's answer to `find` as studies; false with *error naming what is wrong with it.
bool ParsePriorStudies(const QByteArray& answer, std::vector<CPriorStudy>& out, std::string* error);

struct CFetchedPriors {
    int m_nFetched = 0;      // objects the PACS sent
    int m_nImported = 0;     // of them new to whoever took them
    int m_nAlreadyThere = 0; // of them there before
};

// Takes the fetched files (imports them), counting into m_nImported and m_nAlreadyThere; false
// with *error when one could not be taken.
using PriorImport =
    std::function<bool(const QStringList& files, CFetchedPriors* counts, std::string* error)>;

// The ECG waveform objects of the studies, fetched in one helper run into a private folder of
// their own and handed to `import`; the folder goes afterwards. False with *error (a study the
// PACS holds no ECG of fails before anything is fetched).
bool FetchPriors(const CViewSettings& pacs, const QStringList& studyUids, const PriorImport& import,
                 CFetchedPriors* fetched, std::string* error);
