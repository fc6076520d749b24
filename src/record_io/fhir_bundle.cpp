#include "record_io/fhir_bundle.h"

#include "analysis/interpretation.h"
#include "record_model/record_date.h"
#include "storage/card_fields.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimeZone>
#include <QUuid>
#include <cmath>
#include <optional>

namespace {

constexpr char kLoinc[] = "http://loinc.org";
constexpr char kUcum[] = "http://unitsofmeasure.org";

struct CObservationKind {
    const char* loinc;
    const char* display;
    const char* unit; // UCUM
    std::optional<double> analysis::Measurements::*value;
};

// The measurements a receiving system knows by LOINC; QTc is Bazett's, as on the page.
const CObservationKind kObservations[] = {
    {"8867-4", "Heart rate", "/min", &analysis::Measurements::heartRateBpm},
    {"8625-6", "P-R Interval", "ms", &analysis::Measurements::prMs},
    {"8633-0", "QRS duration", "ms", &analysis::Measurements::qrsMs},
    {"8634-8", "Q-T interval", "ms", &analysis::Measurements::qtMs},
    {"8636-3", "Q-T interval corrected", "ms", &analysis::Measurements::qtcBazettMs},
    {"8626-4", "P wave axis", "deg", &analysis::Measurements::axisPDeg},
    {"8632-2", "QRS axis", "deg", &analysis::Measurements::axisQrsDeg},
    {"8638-9", "T wave axis", "deg", &analysis::Measurements::axisTDeg},
};

// A resource id from the record and what the resource is: a UUID, so that the references of
// the bundle ("urn:uuid:...") resolve inside it and stay the same for the same record.
QString IdOf(const QByteArray& what) {
    static const QUuid kNamespace =
        QUuid::fromString(QLatin1String("{3f0b7c52-6f4e-4d2a-9a43-1d8f2b6c9e10}"));
    return QUuid::createUuidV5(kNamespace, what).toString(QUuid::WithoutBraces);
}

// FHIR's dateTime with a time needs the zone: the workstation's own at that moment.
QString DateTimeText(const SYSTEMTIME& t) {
    const QDateTime local(QDate(t.wYear, t.wMonth, t.wDay), QTime(t.wHour, t.wMinute, t.wSecond),
                          QTimeZone::systemTimeZone());
    return local.toString(Qt::ISODate);
}

QJsonObject Coding(const char* system, const QString& code, const QString& display) {
    return QJsonObject{{"system", QLatin1String(system)}, {"code", code}, {"display", display}};
}

QJsonObject Reference(const QString& id) {
    return QJsonObject{{"reference", QStringLiteral("urn:uuid:") + id}};
}

QString Utf8(const std::string& text) {
    return QString::fromStdString(text);
}

QJsonObject Patient(const PATIENT_CARD& card, const QString& id) {
    QJsonObject p{{"resourceType", "Patient"}, {"id", id}};
    const std::string own = CardPatientId(card);
    const std::string derived = own.empty() ? DerivedPatientId(card) : std::string();
    if (!own.empty() || !derived.empty())
        p["identifier"] = QJsonArray{
            QJsonObject{{"system", QLatin1String(own.empty() ? kDerivedIdSystem : kCardIdSystem)},
                        {"value", Utf8(own.empty() ? derived : own)}}};
    const QString family = Utf8(CardTextUtf8(card.last_name, sizeof card.last_name));
    QJsonArray given;
    for (const QString& part : {Utf8(CardTextUtf8(card.first_name, sizeof card.first_name)),
                                Utf8(CardTextUtf8(card.patronymic, sizeof card.patronymic))})
        if (!part.isEmpty())
            given.append(part);
    if (!family.isEmpty() || !given.isEmpty()) {
        QJsonObject name{{"use", "official"}};
        QStringList text;
        if (!family.isEmpty()) {
            name["family"] = family;
            text << family;
        }
        if (!given.isEmpty()) {
            name["given"] = given;
            for (const QJsonValue& g : given)
                text << g.toString();
        }
        name["text"] = text.join(QLatin1Char(' '));
        p["name"] = QJsonArray{name};
    }
    if (card.sex <= 1)
        p["gender"] = card.sex == 1 ? "male" : "female";
    else
        p["gender"] = "unknown";
    if (CardBirthDateValid(card))
        p["birthDate"] =
            QDate(card.birth_year, card.birth_month, card.birth_day).toString(Qt::ISODate);
    return p;
}

} // namespace

QByteArray FhirBundleJson(const ECG_RECORD& record, const PATIENT_CARD& card,
                          const CFileStatements& statements, std::span<const uint8_t> reportPdf) {
    SYSTEMTIME taken;
    if (!ParseRecordDate(record.date, sizeof record.date, taken))
        taken = SYSTEMTIME{};
    const QString effective = DateTimeText(taken);
    // As the DICOM object: the acquisition names the report, the card its patient, and a
    // confirmed reading (each amendment) makes the report anew.
    const QByteArray acquisition = QByteArray(record.date, int(sizeof record.date)) +
                                   QByteArray::number(qulonglong(record.device_id)) + "/" +
                                   QByteArray::number(record.curve_id);
    QByteArray reading;
    if (statements.m_bConfirmed) {
        reading =
            QByteArray::fromStdString(statements.m_strHeading + '\n' + statements.m_strAmendReason);
        for (const std::string& text : StatementTexts(statements))
            reading += QByteArray::fromStdString('\n' + text);
    }
    const QString patientId =
        IdOf("patient " + QByteArray(reinterpret_cast<const char*>(&card), sizeof card));
    const QString reportId = IdOf("report " + acquisition + reading);
    const QString status = statements.m_bConfirmed ? "final" : "preliminary";
    const QJsonObject subject = Reference(patientId);

    QJsonArray entries;
    auto add = [&](const QString& id, const QJsonObject& resource) {
        entries.append(
            QJsonObject{{"fullUrl", QStringLiteral("urn:uuid:") + id}, {"resource", resource}});
    };

    const bool hasName = card.last_name[0] || card.first_name[0];
    const analysis::Measurements m =
        analysis::AnalyseRecord(record, hasName ? &card : nullptr, {}).measurements;
    QJsonArray results;
    QJsonArray observations;
    for (const CObservationKind& k : kObservations) {
        const std::optional<double>& value = m.*(k.value);
        if (!value)
            continue;
        const QString id = IdOf("observation " + acquisition + k.loinc);
        QJsonObject o{
            {"resourceType", "Observation"},
            {"id", id},
            {"status", status},
            {"category",
             QJsonArray{QJsonObject{
                 {"coding",
                  QJsonArray{Coding("http://terminology.hl7.org/CodeSystem/observation-category",
                                    "procedure", "Procedure")}}}}},
            {"code", QJsonObject{{"coding", QJsonArray{Coding(kLoinc, QLatin1String(k.loinc),
                                                              QLatin1String(k.display))}},
                                 {"text", QLatin1String(k.display)}}},
            {"subject", subject},
            {"effectiveDateTime", effective},
            {"valueQuantity", QJsonObject{{"value", std::round(*value)},
                                          {"unit", QLatin1String(k.unit)},
                                          {"system", QLatin1String(kUcum)},
                                          {"code", QLatin1String(k.unit)}}}};
        results.append(Reference(id));
        observations.append(o);
    }

    QJsonObject report{
        {"resourceType", "DiagnosticReport"},
        {"id", reportId},
        {"status", status},
        {"category",
         QJsonArray{QJsonObject{
             {"coding", QJsonArray{Coding("http://terminology.hl7.org/CodeSystem/v2-0074", "EC",
                                          "Electrocardiac (e.g., EKG, EEC, Holter)")}}}}},
        {"code", QJsonObject{{"coding", QJsonArray{Coding(kLoinc, "11524-6", "EKG study")}},
                             {"text", "ЭКГ"}}},
        {"subject", subject},
        {"effectiveDateTime", effective}};
    if (statements.m_bConfirmed) {
        report["issued"] = DateTimeText(statements.m_stMade);
        if (!statements.m_strPhysician.empty())
            report["resultsInterpreter"] =
                QJsonArray{QJsonObject{{"display", Utf8(statements.m_strPhysician)}}};
    }
    if (!results.isEmpty())
        report["result"] = results;
    // The conclusion as the page prints it: the heading (unconfirmed, or who confirmed it when),
    // an amendment's reason, then the statements and the doctor's conclusion.
    QStringList lines;
    std::vector<std::string> texts = StatementTexts(statements);
    if (!texts.empty()) {
        if (!statements.m_strHeading.empty())
            lines << Utf8(statements.m_strHeading);
        if (statements.m_bConfirmed && !statements.m_strAmendReason.empty())
            lines << Utf8(AmendmentLine(statements.m_strAmendReason));
    }
    for (const std::string& text : texts)
        lines << Utf8(text);
    if (!lines.isEmpty())
        report["conclusion"] = lines.join(QLatin1Char('\n'));
    QJsonArray codes;
    for (size_t i = 0; i < statements.m_Statements.size() && i < statements.m_Codes.size(); ++i)
        if (!statements.m_Codes[i].empty())
            codes.append(QJsonObject{
                {"coding", QJsonArray{Coding(kStatementCodeSystem, Utf8(statements.m_Codes[i]),
                                             Utf8(statements.m_Statements[i]))}},
                {"text", Utf8(statements.m_Statements[i])}});
    if (!codes.isEmpty())
        report["conclusionCode"] = codes;
    if (!reportPdf.empty()) {
        const QByteArray pdf(reinterpret_cast<const char*>(reportPdf.data()),
                             qsizetype(reportPdf.size()));
        report["presentedForm"] = QJsonArray{QJsonObject{
            {"contentType", "application/pdf"},
            {"language", "ru"},
            {"data", QString::fromLatin1(pdf.toBase64())},
            {"title", "ЭКГ"},
            {"size", qint64(pdf.size())},
            {"hash", QString::fromLatin1(
                         QCryptographicHash::hash(pdf, QCryptographicHash::Sha1).toBase64())}}};
    }
    add(reportId, report);
    for (const QJsonValue& o : observations)
        add(o.toObject().value("id").toString(), o.toObject());
    add(patientId, Patient(card, patientId));

    const QJsonObject bundle{{"resourceType", "Bundle"},
                             {"id", IdOf("bundle " + acquisition + reading)},
                             {"type", "collection"},
                             {"entry", entries}};
    return QJsonDocument(bundle).toJson(QJsonDocument::Indented);
}
