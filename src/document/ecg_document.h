#pragma once
// The record window's document: the record, received in the window or read from a file, and
// what belongs to it: the patient card, the file it came from or was last saved as, the lanes
// that file had no lead for, the filters the record is read through and the measurements made
// through them. The view shows it and the record commands act on it; neither knows the other.
// GUI-free.

#include "analysis/filters.h"
#include "analysis/interpretation.h"
#include "analysis/measurements.h"
#include "record_io/record_files.h"
#include "record_model/doctor_reading.h"
#include "record_model/session_state.h"
#include "storage/record_definition.h"

#include <QObject>
#include <QString>
#include <vector>

class CEcgDocument : public QObject {
    Q_OBJECT
public:
    // The record itself stays in the session state: the reception writes its points there.
    explicit CEcgDocument(CSessionState& state, QObject* parent = nullptr);

    const ECG_RECORD& Record() const { return *m_state.m_pRecord; }
    // The patient card; the card dialog edits it in place.
    PATIENT_CARD& Card() { return m_state.m_Card; }
    const PATIENT_CARD& Card() const { return m_state.m_Card; }
    // A bit for each lane the record's file had no lead for.
    uint16_t AbsentLanes() const { return m_state.m_nAbsentLanes; }
    // A finished record is there (received or opened): it can be saved, sent and printed.
    bool Loaded() const { return m_state.m_bLoaded != 0; }
    // A finished record is there and no reception fills the window again.
    bool Finished() const { return Loaded() && !m_state.m_bSessionOn; }

    // A send of the record (mail or PACS) is under way: the window says so and no second one
    // starts.
    bool Sending() const { return m_state.m_bSending != 0; }
    void SetSending(bool bSending);

    // The file the record came from or was last saved as; empty for a record received here.
    const QString& FilePath() const { return m_strFilePath; }
    // The window's title for that file: its name, and for a longer recording that this is its
    // beginning ("rec.hea (первые 10 с из 30 мин)"). Empty without a file.
    QString FileTitle() const;
    // Takes a file's record and card as the window's.
    void Take(const CLoadedRecord& loaded, const QString& path);
    // The record was saved as path: the window is that file from now on.
    void SavedAs(const QString& path);
    // A reception starts filling the record anew: no file holds it any more.
    void ReceptionStarted();

    // The filters the record is read through: its measurements are made through them.
    const std::vector<analysis::Filter>& Filters() const { return m_filters; }
    void SetFilters(const std::vector<analysis::Filter>& filters);
    // The measurements of the finished record; null while there is none (an empty window, a
    // reception under way).
    const analysis::Measurements* Measurements() const {
        return m_bMeasured ? &m_measurements : nullptr;
    }
    // The automatic interpretation of those measurements for the card's patient; null with
    // them.
    const analysis::Interpretation* Interpretation() const {
        return m_bMeasured ? &m_interpretation : nullptr;
    }
    // Measures and interprets the record when a finished one is there, else forgets both; said
    // by MeasurementsChanged.
    void Remeasure();
    // The limits of a normal sinus rate the interpretation uses.
    void SetRatePractice(analysis::RatePractice practice);

    // What the opened file says its writer found (another cart's measurements and statements),
    // shown beside the program's own; empty for a received or archived record.
    const CFileFindings& FileFindings() const { return m_fileFindings; }
    const CFileStatements& FileStatements() const { return m_fileStatements; }

    // Every save and send first fills the record definition from the card and puts the card's
    // texts into the record (source and notes), as the window shows them.
    const RECORD_DEFINITION& ApplyCard();
    // What of the window's record is in no file: nothing, the received record itself (it could
    // not be kept in the folder of received records), or the card typed since it was opened,
    // kept or saved.
    enum class Unkept { Nothing, Record, Card };
    Unkept WhatIsUnkept() const { return m_unkept; }
    void RecordNotKept() { m_unkept = Unkept::Record; }
    // The card was changed: it is unkept, and the interpretation follows its sex and age.
    void CardEdited();

    // The record's id in the archive; 0 while it is in none (or not yet).
    qint64 ArchiveId() const { return m_nArchiveId; }
    void SetArchiveId(qint64 id) { m_nArchiveId = id; }
    // Takes a record opened from the archive: no file holds it, title names it there.
    void TakeArchived(const CLoadedRecord& loaded, qint64 id, const QString& title);
    // The doctor's confirmed reading of an archived record (version 0: none): what the report
    // and the files carry instead of the automatic statements. Said by ReadingChanged.
    const CDoctorReading& Reading() const { return m_reading; }
    void SetReading(const CDoctorReading& reading);

    // The worklist order the record is bound to (unbound: none), which its files and stores
    // carry. A new reception keeps it (the order is chosen before the ECG is taken); a record
    // opened from a file or the archive brings its own.
    const CRecordOrder& Order() const { return m_order; }
    // Binds the record to an order (chosen in the worklist): unkept until saved, like a card.
    void BindOrder(const CRecordOrder& order);

    // The name a save proposes: the patient's surname and initials ("ЭКГ" without a card), the
    // record's date and time (its number when it has no date), and the extension.
    QString ProposedFileName(const char* extension) const;

signals:
    void SendingChanged();
    void MeasurementsChanged();
    // The window's file changed (opened or saved as): path is absolute.
    void FileChanged(const QString& path);
    // A file was opened into the window, or the window's record saved as one.
    void Opened(const QString& path);
    void Saved(const QString& path);
    // The card was changed in the window.
    void CardChanged();
    void ReadingChanged();
    void OrderChanged();

private:
    CSessionState& m_state;
    RECORD_DEFINITION m_definition{};
    QString m_strFilePath;
    double m_dSourceSeconds = 0;
    std::vector<analysis::Filter> m_filters;
    analysis::Measurements m_measurements;
    analysis::Interpretation m_interpretation;
    analysis::InterpretationSettings m_interpretationSettings;
    bool m_bMeasured = false;
    Unkept m_unkept = Unkept::Nothing;
    qint64 m_nArchiveId = 0;
    QString m_strArchiveTitle;
    CDoctorReading m_reading;
    CFileFindings m_fileFindings;
    CFileStatements m_fileStatements;
    CRecordOrder m_order;
};
