#pragma once
// The patient's earlier ECGs in the hospital's archive (DCMTK's SCU): a C-FIND of the studies
// that hold an ECG (Study Root, STUDY level, by the Patient ID), and a C-GET of a study's ECG
// waveform objects into a folder. Every wait is bounded by the peer's time-out, as for the store:
// a PACS that stalls in mid-transfer is an error once it has been silent that long.

#include "interchange/pacs_client.h"

#include <string>
#include <vector>

// One study as the PACS lists it; texts as UTF-8 whatever character set the PACS answered in.
struct CPacsStudy {
    std::string m_strStudyUid;
    std::string m_strDate;        // DICOM DA: YYYYMMDD (or empty)
    std::string m_strTime;        // DICOM TM: HHMMSS[.FFFFFF] (or empty)
    std::string m_strPatientName; // DICOM PN: family^given^middle
    std::string m_strPatientId;
    std::string m_strBirthDate; // DA
    std::string m_strSex;       // M, F, O or empty
    std::string m_strAccession;
    int m_nEcgInstances = 0; // 12-lead and general ECG waveform objects in the study
};

// The SOP classes fetched: the 12-lead and the general ECG waveform.
bool IsEcgWaveformClass(const std::string& sopClass);

// The studies of the patient that hold an ECG (ModalitiesInStudy ECG), each with its count of
// ECG waveform objects (a series-level and an instance-level C-FIND in the same association).
bool FindEcgStudies(const PacsPeer& peer, const std::string& patientId,
                    std::vector<CPacsStudy>& out, std::string* error);

// The ECG waveform objects of the studies, by C-GET in one association, written into `folder`
// as INSTANCE_UID.dcm (written whole and renamed into place; *files their paths in the order
// they came). A study the PACS holds no ECG of fails before anything is fetched; a PACS that
// refuses the C-GET fails with what it answered.
bool GetEcgStudies(const PacsPeer& peer, const std::vector<std::string>& studyUids,
                   const std::string& folder, std::vector<std::string>* files, std::string* error);

// The helper's answer to `find`: the line "velmora studies 1", then one line per study of nine
// fields separated by tabs (study UID, date, time, name, patient ID, birth date, sex, accession,
// ECG count), a backslash, tab or line end in a field written as \\, \t, \n.
std::string WriteStudyList(const std::vector<CPacsStudy>& studies);
