#include "record_io/record_hl7.h"

#include "analysis/interpretation.h"
#include "hl7/hl7_message.h"
#include "record_model/record_date.h"

#include <algorithm>

CMllpLink HisLinkOf(const CViewSettings& settings) {
    CMllpLink link;
    link.host = settings.m_szHisHost.toStdString();
    link.port = settings.m_nHisPort;
    link.timeoutSeconds = settings.m_nHisTimeout;
    return link;
}

std::string Hl7CardFault(const PATIENT_CARD& card) {
    if (!card.last_name[0] && !card.patient_id[0])
        return "the card has neither the patient's surname nor the medical record number";
    return {};
}

bool KeepHl7Result(CHl7Outbox& outbox, const CViewSettings& settings, const ECG_RECORD& record,
                   const PATIENT_CARD& card, const CStatementSettings& how, std::string* controlId,
                   bool* bFinal, std::string* error) {
    if (const std::string fault = Hl7CardFault(card); !fault.empty()) {
        *error = fault;
        return false;
    }
    CHl7Result result;
    // The message says what the report says: the same reading of the same record.
    analysis::RecordAnalysis a =
        analysis::AnalyseRecord(record, &card, how.m_Filters, how.m_Settings);
    result.measurements = std::move(a.measurements);
    for (const analysis::Statement& s : a.interpretation.statements)
        result.statements.push_back({s.code, s.text, s.textEn});
    if (how.m_pReading && how.m_pReading->Confirmed())
        result.reading = *how.m_pReading;
    if (how.m_MakeReportPdf) {
        std::vector<uint8_t> pdf;
        std::string why;
        if (!how.m_MakeReportPdf(record, card, pdf, &why)) {
            *error = "cannot make the report: " + why;
            return false;
        }
        result.pdf = QByteArray(reinterpret_cast<const char*>(pdf.data()), qsizetype(pdf.size()));
    }
    result.card = card;
    if (SYSTEMTIME t{}; ParseRecordDate(record.date, sizeof record.date, t))
        result.recordedAt = FormatRecordDate(t);
    result.accession = how.m_Order.m_strAccession;
    result.procedureId = how.m_Order.m_strRequestedProcedureId;
    result.procedureName = how.m_Order.m_strProcedureDescription;

    CHl7Envelope envelope;
    envelope.sendingFacility = settings.m_szHisOwnFacility.toStdString();
    envelope.receivingApplication = settings.m_szHisApplication.toStdString();
    envelope.receivingFacility = settings.m_szHisFacility.toStdString();
    envelope.controlId = NewHl7ControlId();
    envelope.createdAt = QDateTime::currentDateTime();
    if (!outbox.Put(envelope.controlId, BuildOruR01(result, envelope), error))
        return false;
    *controlId = envelope.controlId;
    *bFinal = result.reading.Confirmed();
    return true;
}

CHl7SendReport SendHl7Outbox(CHl7Outbox& outbox, const CMllpLink& link, const std::string& mine) {
    CHl7SendReport report;
    outbox.Flush(link, &report.outcomes);
    report.nLeft = outbox.List().size();
    const auto it = std::find_if(report.outcomes.begin(), report.outcomes.end(),
                                 [&](const CHl7Outcome& o) { return o.controlId == mine; });
    report.bMineTried = it != report.outcomes.end();
    report.bDone = mine.empty() ? report.nLeft == 0 : report.bMineTried && it->bDelivered;
    return report;
}
