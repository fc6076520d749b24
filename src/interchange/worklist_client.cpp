#include "interchange/worklist_client.h"

#include "interchange/foreign_texts.h"
#include "storage/field_escape.h"

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcitem.h>
#include <dcmtk/dcmdata/dcuid.h>
#include <dcmtk/dcmnet/scu.h>
#include <dcmtk/oflog/oflog.h>

#include <algorithm>
#include <cstdio>

namespace {

std::string HostPort(const PacsPeer& peer) {
    return peer.host + ":" + std::to_string(peer.port);
}

// A value as it stands in the data set (after any conversion), blanks at either end trimmed.
std::string Raw(DcmItem& item, const DcmTagKey& tag) {
    OFString value;
    if (item.findAndGetOFStringArray(tag, value).bad())
        return {};
    std::string s = value.c_str();
    const size_t from = s.find_first_not_of(' ');
    if (from == std::string::npos)
        return {};
    return s.substr(from, s.find_last_not_of(' ') - from + 1);
}

enum class Coding { Utf8, Cyrillic };

std::string Decoded(DcmItem& item, const DcmTagKey& tag, Coding coding) {
    const std::string raw = Raw(item, tag);
    return coding == Coding::Cyrillic ? Iso8859_5ToUtf8(raw) : TextAsUtf8(raw);
}

// The first component group of a person name (alphabetic; the ideographic and phonetic groups
// are for other scripts), split into family, given and middle name.
void SplitName(const std::string& name, CWorklistItem& item) {
    const std::string alphabetic = name.substr(0, name.find('='));
    ForeignEcg parts;
    SplitPatientName(alphabetic, parts, '^');
    item.m_strLastName = parts.lastName;
    item.m_strFirstName = parts.firstName;
    item.m_strMiddleName = parts.patronymic;
}

DcmItem* QueryKeys(DcmDataset& query, const std::string& date) {
    OFCondition c = EC_Normal;
    auto empty = [&](DcmItem& item, const DcmTagKey& tag) {
        if (c.good())
            c = item.insertEmptyElement(tag);
    };
    for (const DcmTagKey& tag :
         {DCM_SpecificCharacterSet, DCM_PatientName, DCM_PatientID, DCM_PatientBirthDate,
          DCM_PatientSex, DCM_AccessionNumber, DCM_ReferringPhysicianName, DCM_StudyInstanceUID,
          DCM_RequestedProcedureID, DCM_RequestedProcedureDescription})
        empty(query, tag);
    DcmItem* step = nullptr;
    if (c.good())
        c = query.findOrCreateSequenceItem(DCM_ScheduledProcedureStepSequence, step);
    if (c.good())
        c = step->putAndInsertString(DCM_Modality, "ECG");
    if (c.good())
        c = step->putAndInsertString(DCM_ScheduledProcedureStepStartDate, date.c_str());
    for (const DcmTagKey& tag :
         {DCM_ScheduledProcedureStepStartTime, DCM_ScheduledStationAETitle,
          DCM_ScheduledProcedureStepID, DCM_ScheduledProcedureStepDescription})
        if (step)
            empty(*step, tag);
    return c.good() ? step : nullptr;
}

} // namespace

std::string Iso8859_5ToUtf8(const std::string& bytes) {
    std::string out;
    for (const char ch : bytes) {
        const auto b = uint8_t(ch);
        char32_t u = b;
        if (b >= 0xA1 && b != 0xAD && b != 0xF0 && b != 0xFD)
            u = 0x0360 + b; // the Cyrillic block sits at a fixed distance: 0xA1 is U+0401
        else if (b == 0xF0)
            u = 0x2116; // numero sign
        else if (b == 0xFD)
            u = 0x00A7; // section sign
        if (u < 0x80) {
            out += char(u);
        } else if (u < 0x800) {
            out += char(0xC0 | (u >> 6));
            out += char(0x80 | (u & 0x3F));
        } else {
            out += char(0xE0 | (u >> 12));
            out += char(0x80 | ((u >> 6) & 0x3F));
            out += char(0x80 | (u & 0x3F));
        }
    }
    return out;
}

bool WorklistItemOf(DcmItem& answer, CWorklistItem& item, std::string* error) {
    OFString charset;
    answer.findAndGetOFStringArray(DCM_SpecificCharacterSet, charset);
    std::string set = charset.c_str();
    set.erase(0, set.find_first_not_of(' '));
    set.erase(set.find_last_not_of(' ') + 1);
    Coding coding = Coding::Utf8;
    if (!set.empty() && set != "ISO_IR 192" && set != "ISO_IR 6") {
        // DCMTK converts with iconv when it was built with it; ISO_IR 144 we read ourselves
        // when it cannot, anything else not at all. A set DCMTK does not know it reports as
        // converted, with the set removed and the bytes as they were: only a data set that now
        // says UTF-8 was converted.
        OFString now;
        if (answer.convertToUTF8().good() &&
            answer.findAndGetOFStringArray(DCM_SpecificCharacterSet, now).good() &&
            now == "ISO_IR 192")
            coding = Coding::Utf8;
        else if (set == "ISO_IR 144")
            coding = Coding::Cyrillic;
        else {
            *error = "the worklist server answers in the character set \"" + set +
                     "\", which cannot be converted here";
            return false;
        }
    }
    item = CWorklistItem{};
    SplitName(Decoded(answer, DCM_PatientName, coding), item);
    item.m_strPatientId = Decoded(answer, DCM_PatientID, coding);
    item.m_strBirthDate = Raw(answer, DCM_PatientBirthDate);
    item.m_strSex = Raw(answer, DCM_PatientSex);
    CRecordOrder& order = item.m_Order;
    order.m_strAccession = Decoded(answer, DCM_AccessionNumber, coding);
    order.m_strStudyUid = Raw(answer, DCM_StudyInstanceUID);
    order.m_strRequestedProcedureId = Decoded(answer, DCM_RequestedProcedureID, coding);
    order.m_strProcedureDescription = Decoded(answer, DCM_RequestedProcedureDescription, coding);
    order.m_strReferringPhysician = Decoded(answer, DCM_ReferringPhysicianName, coding);
    DcmItem* step = nullptr;
    if (answer.findAndGetSequenceItem(DCM_ScheduledProcedureStepSequence, step).good() && step) {
        order.m_strScheduledStepId = Decoded(*step, DCM_ScheduledProcedureStepID, coding);
        order.m_strScheduledStart = Raw(*step, DCM_ScheduledProcedureStepStartDate) +
                                    Raw(*step, DCM_ScheduledProcedureStepStartTime);
        order.m_strStationAeTitle = Raw(*step, DCM_ScheduledStationAETitle);
        // A request without a description of its own is known by its step's.
        if (order.m_strProcedureDescription.empty())
            order.m_strProcedureDescription =
                Decoded(*step, DCM_ScheduledProcedureStepDescription, coding);
    }
    // A time may carry fractions (HHMMSS.FFFFFF): the second is enough.
    if (const size_t dot = order.m_strScheduledStart.find('.'); dot != std::string::npos)
        order.m_strScheduledStart.resize(dot);
    return true;
}

bool QueryModalityWorklist(const PacsPeer& peer, const std::string& date,
                           std::vector<CWorklistItem>* items, std::string* error) {
    DcmSCU scu;
    ConfigureScu(scu, peer);
    const OFList<OFString> syntaxes = OfferedSyntaxes();
    OFCondition c = scu.addPresentationContext(UID_FINDModalityWorklistInformationModel, syntaxes);
    if (c.good())
        c = scu.initNetwork();
    if (c.bad()) {
        *error = std::string("cannot set up the network for the worklist query (DCMTK: ") +
                 c.text() + ")";
        return false;
    }
    c = scu.negotiateAssociation();
    if (c == DUL_ASSOCIATIONREJECTED) {
        *error = "the worklist server refused our AE title " + peer.callingAeTitle + " (" +
                 HostPort(peer) + ", called as " + peer.calledAeTitle + ")";
        return false;
    }
    if (c.bad()) {
        *error = "the worklist server at " + HostPort(peer) + " does not answer";
        return false;
    }
    const T_ASC_PresentationContextID id =
        scu.findPresentationContextID(UID_FINDModalityWorklistInformationModel, "");
    if (id == 0) {
        scu.releaseAssociation();
        *error = "the server at " + HostPort(peer) + " (" + peer.calledAeTitle +
                 ") keeps no modality worklist";
        return false;
    }
    DcmDataset query;
    if (!QueryKeys(query, date)) {
        scu.releaseAssociation();
        *error = "cannot build the worklist query";
        return false;
    }
    OFList<QRResponse*> responses;
    c = scu.sendFINDRequest(id, &query, &responses);
    std::vector<CWorklistItem> found;
    std::string why;
    Uint16 last = 0;
    for (QRResponse* r : responses) {
        last = r->m_status;
        if (why.empty() && r->m_dataset && DICOM_PENDING_STATUS(r->m_status)) {
            CWorklistItem item;
            if (WorklistItemOf(*r->m_dataset, item, &why))
                found.push_back(std::move(item));
        }
        delete r;
    }
    if (c.bad()) {
        scu.abortAssociation();
        *error = "the worklist server at " + HostPort(peer) + " stopped answering within " +
                 std::to_string(std::clamp(peer.timeoutSeconds, 1, 3600)) + " s";
        return false;
    }
    scu.releaseAssociation();
    if (last != 0) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "%04X", last);
        *error = "the worklist server at " + HostPort(peer) +
                 " could not answer the query (status 0x" + hex + ")";
        return false;
    }
    if (!why.empty()) {
        *error = why;
        return false;
    }
    *items = std::move(found);
    return true;
}

std::string WorklistAnswerText(const std::vector<CWorklistItem>& items) {
    std::string out = "velmora-worklist 1\n";
    for (const CWorklistItem& item : items) {
        const CRecordOrder& o = item.m_Order;
        const std::pair<const char*, const std::string*> fields[] = {
            {"last", &item.m_strLastName},
            {"first", &item.m_strFirstName},
            {"middle", &item.m_strMiddleName},
            {"id", &item.m_strPatientId},
            {"birth", &item.m_strBirthDate},
            {"sex", &item.m_strSex},
            {"accession", &o.m_strAccession},
            {"study", &o.m_strStudyUid},
            {"procedure_id", &o.m_strRequestedProcedureId},
            {"procedure", &o.m_strProcedureDescription},
            {"step_id", &o.m_strScheduledStepId},
            {"start", &o.m_strScheduledStart},
            {"station", &o.m_strStationAeTitle},
            {"referring", &o.m_strReferringPhysician}};
        out += "entry";
        for (const auto& [key, value] : fields) {
            out += '\t';
            out += key;
            out += '=';
            out += EscapeField(*value);
        }
        out += '\n';
    }
    out += "end\t" + std::to_string(items.size()) + "\n";
    return out;
}
