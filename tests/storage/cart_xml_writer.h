#pragma once
// Small cart XML files for the tests and the fuzz seeds, written from what the formats are:
// a GE MUSE RestingECG (base64 little-endian int16, 8 stored leads), a GE CardioSoft
// CardiologyXML (comma-separated samples) and a Philips file with its waveforms plain or
// XLI-compressed by an encoder of our own (LZW with 10-bit codes over high then low bytes of
// second-difference codes), the inverse of what the reader undoes.

#include <QByteArray>
#include <QString>
#include <cmath>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace cartxmltest {

// A smooth beat-like wave per lead, in units: different in every lead.
inline std::vector<int> Wave(size_t n, int lead, double rate = 500) {
    std::vector<int> v(n);
    for (size_t i = 0; i < n; ++i) {
        const double t = double(i) / rate;
        const double phase = std::fmod(t, 0.8) - 0.3;
        v[i] = int(std::lround((40 + 10 * lead) * std::exp(-phase * phase / 0.0004) +
                               8 * std::sin(2 * M_PI * (0.3 + 0.1 * lead) * t)));
    }
    return v;
}

inline QByteArray Int16Base64(const std::vector<int>& v) {
    QByteArray b;
    for (int x : v) {
        b.append(char(x & 0xFF));
        b.append(char((x >> 8) & 0xFF));
    }
    return b.toBase64();
}

// LZW with fixed 10-bit codes, most significant bit first, a dictionary that stops growing at
// 1024 entries.
inline QByteArray Lzw10(const QByteArray& in) {
    std::map<std::string, int> dict;
    for (int i = 0; i < 256; ++i)
        dict[std::string(1, char(i))] = i;
    int next = 256;
    std::vector<int> codes;
    std::string w;
    for (char c : in) {
        std::string wc = w + c;
        if (dict.count(wc)) {
            w = wc;
            continue;
        }
        codes.push_back(dict[w]);
        if (next < 1024)
            dict[wc] = next++;
        w = std::string(1, c);
    }
    if (!w.empty())
        codes.push_back(dict[w]);
    QByteArray out;
    uint32_t bits = 0;
    int n = 0;
    for (int code : codes) {
        bits = (bits << 10) | uint32_t(code);
        n += 10;
        while (n >= 8) {
            out.append(char((bits >> (n - 8)) & 0xFF));
            n -= 8;
        }
    }
    if (n > 0)
        out.append(char((bits << (8 - n)) & 0xFF));
    return out;
}

// One lead's XLI chunk: the codes that make the reader's second-difference decoding give v.
inline QByteArray XliChunk(const std::vector<int>& v) {
    const size_t n = v.size();
    std::vector<int> c(n, 64);
    c[0] = v[0];
    c[1] = v[1];
    const int seed = 2 * v[1] - v[0] - v[2];
    for (size_t i = 3; i < n; ++i)
        c[i - 1] = 2 * v[i - 1] - v[i - 2] - v[i] + 64;
    QByteArray bytes(int(2 * n), 0);
    for (size_t i = 0; i < n; ++i) {
        bytes[int(i)] = char((c[i] >> 8) & 0xFF);
        bytes[int(n + i)] = char(c[i] & 0xFF);
    }
    const QByteArray packed = Lzw10(bytes);
    QByteArray chunk;
    const uint32_t size = uint32_t(packed.size());
    for (int k = 0; k < 4; ++k)
        chunk.append(char((size >> (8 * k)) & 0xFF));
    chunk.append(char(1));
    chunk.append(char(0));
    chunk.append(char(seed & 0xFF));
    chunk.append(char((seed >> 8) & 0xFF));
    return chunk + packed;
}

const char* const kTwelve[] = {"I",  "II", "III", "aVR", "aVL", "aVF",
                               "V1", "V2", "V3",  "V4",  "V5",  "V6"};

// Twelve leads as a cart records them: I, II and the chest leads free, the other four from I
// and II (integer halves, as the cart computes them).
inline std::vector<std::vector<int>> TwelveLeads(size_t n) {
    std::vector<std::vector<int>> l(12, std::vector<int>(n));
    l[0] = Wave(n, 0);
    l[1] = Wave(n, 1);
    for (int k = 6; k < 12; ++k)
        l[size_t(k)] = Wave(n, k);
    for (size_t i = 0; i < n; ++i) {
        const int a = l[0][i], b = l[1][i];
        l[2][i] = b - a;
        l[3][i] = -(a + b) / 2;
        l[4][i] = (a - l[2][i]) / 2;
        l[5][i] = (b + l[2][i]) / 2;
    }
    return l;
}

// A Philips 1.04 document (UTF-8 here; the reader takes the carts' UTF-16 as well) with the
// leads of TwelveLeads: XLI stores the four limb leads as what remains after predicting them
// (0 here), "Uncompressed" stores them as they are.
inline QByteArray PhilipsXml(bool xli, size_t n = 5500, const QString& lastName = "Smith",
                             const QByteArray& waveText = {}) {
    const std::vector<std::vector<int>> leads = TwelveLeads(n);
    QByteArray data;
    if (xli) {
        for (size_t k = 0; k < 12; ++k)
            data += XliChunk(k >= 2 && k <= 5 ? std::vector<int>(n, 0) : leads[k]);
    } else {
        std::vector<int> all;
        for (const auto& l : leads)
            all.insert(all.end(), l.begin(), l.end());
        data = Int16Base64(all);
    }
    if (xli)
        data = data.toBase64();
    const QString xml =
        QStringLiteral(
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<restingecgdata xmlns=\"http://www3.medical.philips.com\" status=\"Confirmed\">\n"
            " <documentinfo><documenttype>PhilipsECG</documenttype>"
            "<documentversion>1.04</documentversion></documentinfo>\n"
            " <dataacquisition date=\"2024-03-05\" time=\"14:07:09\">"
            "<machine machineid=\"M42\">PageWriter TC</machine></dataacquisition>\n"
            " <patient><generalpatientdata><patientid>77</patientid>"
            "<name><lastname>%1</lastname><firstname>Anna</firstname><middlename/></name>"
            "<age><dateofbirth>1960-02-29</dateofbirth></age><sex>Female</sex>"
            "</generalpatientdata></patient>\n"
            " <interpretations><interpretation>"
            "<globalmeasurements><heartrate>75</heartrate><rrint>800</rrint><print>160</print>"
            "<qrsdur>90</qrsdur><qtint>380</qtint><qtcb>425</qtcb><pfrontaxis>50</pfrontaxis>"
            "<qrsfrontaxis>40</qrsfrontaxis><tfrontaxis>30</tfrontaxis></globalmeasurements>"
            "<statement><leftstatement>Sinus rhythm</leftstatement>"
            "<rightstatement>V-rate 50-99</rightstatement></statement>"
            "<statement><leftstatement>Normal ECG</leftstatement><rightstatement/></statement>"
            "<severity>- NORMAL ECG -</severity></interpretation></interpretations>\n"
            " <waveforms><parsedwaveforms dataencoding=\"Base64\" compression=\"%2\" "
            "numberofleads=\"12\" leadlabels=\"I II III aVR aVL aVF V1 V2 V3 V4 V5 V6\" "
            "durationperchannel=\"%3\" samplespersecond=\"500\" resolution=\"5\">%4"
            "</parsedwaveforms></waveforms>\n"
            "</restingecgdata>\n")
            .arg(lastName, xli ? QStringLiteral("XLI") : QStringLiteral("Uncompressed"))
            .arg(int(n * 2))
            .arg(QString::fromLatin1(waveText.isEmpty() ? data : waveText));
    return xml.toUtf8();
}

// A MUSE RestingECG of 8 stored leads (I, II, V1-V6) in `encoding` ("windows-1251" writes the
// names in that code page, anything else as UTF-8 declared so).
inline QByteArray MuseXml(const QString& lastName, const QString& firstName,
                          const char* encoding = "UTF-8", size_t n = 5000,
                          const std::map<std::string, std::string>& leadOverride = {}) {
    const char* names[] = {"I", "II", "V1", "V2", "V3", "V4", "V5", "V6"};
    QString leadsXml;
    for (int k = 0; k < 8; ++k) {
        const std::vector<int> v = Wave(n, k);
        const auto o = leadOverride.find(names[k]);
        const QString base64 =
            o != leadOverride.end() ? QString::fromStdString(o->second) : Int16Base64(v);
        leadsXml += QStringLiteral("<LeadData><LeadByteCountTotal>%1</LeadByteCountTotal>"
                                   "<LeadSampleCountTotal>%2</LeadSampleCountTotal>"
                                   "<LeadAmplitudeUnitsPerBit>4.88</LeadAmplitudeUnitsPerBit>"
                                   "<LeadAmplitudeUnits>MICROVOLTS</LeadAmplitudeUnits>"
                                   "<LeadID>%3</LeadID><LeadSampleSize>2</LeadSampleSize>"
                                   "<WaveFormData>%4</WaveFormData></LeadData>\n")
                        .arg(int(2 * n))
                        .arg(int(n))
                        .arg(QString::fromLatin1(names[k]), base64);
    }
    const QString xml =
        QStringLiteral(
            "<?xml version=\"1.0\" encoding=\"%1\"?>\n"
            "<!DOCTYPE RestingECG SYSTEM \"restecg.dtd\">\n<RestingECG>\n"
            "<PatientDemographics><PatientID>A-17</PatientID><PatientAge>64</PatientAge>"
            "<AgeUnits>YEARS</AgeUnits><Gender>MALE</Gender>"
            "<PatientLastName>%2</PatientLastName><PatientFirstName>%3</PatientFirstName>"
            "</PatientDemographics>\n"
            "<TestDemographics><AcquisitionDevice>MAC5500</AcquisitionDevice>"
            "<AcquisitionTime>08:15:30</AcquisitionTime><AcquisitionDate>11-24-2023"
            "</AcquisitionDate><EditListStatus>Confirmed</EditListStatus>"
            "<OverreaderLastName>House</OverreaderLastName></TestDemographics>\n"
            "<RestingECGMeasurements><VentricularRate>60</VentricularRate>"
            "<PRInterval>150</PRInterval><QRSDuration>88</QRSDuration>"
            "<QTInterval>400</QTInterval><QTCorrected>400</QTCorrected><PAxis>45</PAxis>"
            "<RAxis>30</RAxis><TAxis>20</TAxis></RestingECGMeasurements>\n"
            "<Diagnosis><DiagnosisStatement><StmtFlag>USER-INSERT</StmtFlag>"
            "<StmtText>Sinus rhythm</StmtText></DiagnosisStatement>"
            "<DiagnosisStatement><StmtFlag>ENDSLINE</StmtFlag>"
            "<StmtText>with 1st degree AV block</StmtText></DiagnosisStatement>"
            "<DiagnosisStatement><StmtFlag>ENDSLINE</StmtFlag>"
            "<StmtText>Normal ECG</StmtText></DiagnosisStatement></Diagnosis>\n"
            "<QRSTimesTypes><GlobalRR>1000</GlobalRR></QRSTimesTypes>\n"
            "<Waveform><WaveformType>Median</WaveformType><SampleBase>500</SampleBase>"
            "</Waveform>\n"
            "<Waveform><WaveformType>Rhythm</WaveformType><SampleBase>500</SampleBase>"
            "<SampleExponent>0</SampleExponent><NumberofLeads>8</NumberofLeads>\n%4</Waveform>\n"
            "</RestingECG>\n")
            .arg(QString::fromLatin1(encoding), lastName, firstName, leadsXml);
    if (QByteArray(encoding) == "windows-1251") {
        QByteArray out;
        for (QChar c : xml) {
            const ushort u = c.unicode();
            // Cyrillic А..я into Windows-1251 (0xC0..0xFF); the rest is ASCII here.
            out.append(u >= 0x410 && u <= 0x44F ? char(0xC0 + (u - 0x410)) : char(u));
        }
        return out;
    }
    return xml.toUtf8();
}

// A CardioSoft CardiologyXML of twelve leads; `garbage` replaces lead V2's text when given.
inline QByteArray CardioSoftXml(size_t n = 5000, const QString& garbage = {}) {
    const std::vector<std::vector<int>> leads = TwelveLeads(n);
    QString strip;
    for (int k = 0; k < 12; ++k) {
        QString text;
        for (size_t i = 0; i < n; ++i)
            text += (i ? (i % 100 ? "," : ",\n") : "") + QString::number(leads[size_t(k)][i]);
        if (k == 7 && !garbage.isEmpty())
            text = garbage;
        strip += QStringLiteral("<WaveformData lead=\"%1\">%2</WaveformData>\n")
                     .arg(QString::fromLatin1(kTwelve[k]), text);
    }
    const QString xml =
        QStringLiteral(
            "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?>\n<CardiologyXML>\n"
            "<ObservationDateTime><Hour>9</Hour><Minute>5</Minute><Second>7</Second>"
            "<Day>14</Day><Month>6</Month><Year>2022</Year></ObservationDateTime>\n"
            "<ClinicalInfo><DeviceInfo><Desc>CardioSoft</Desc></DeviceInfo></ClinicalInfo>\n"
            "<PatientInfo><PID>P9</PID><Name><FamilyName>M\u00fcller</FamilyName>"
            "<GivenName>Jens</GivenName></Name><Age units=\"YEARS\">40</Age>"
            "<Gender>MALE</Gender></PatientInfo>\n"
            "<Interpretation><Diagnosis><DiagnosisText>Sinus bradycardia</DiagnosisText>"
            "<DiagnosisText>Otherwise normal ECG</DiagnosisText></Diagnosis></Interpretation>\n"
            "<RestingECGMeasurements><VentricularRate units=\"BPM\">50</VentricularRate>"
            "<PQInterval units=\"ms\">170</PQInterval><QRSDuration units=\"ms\">92"
            "</QRSDuration><QTInterval units=\"ms\">420</QTInterval>"
            "<QTCInterval units=\"ms\">383</QTCInterval><RRInterval units=\"ms\">1200"
            "</RRInterval><PAxis units=\"degrees\">60</PAxis><RAxis units=\"degrees\">70"
            "</RAxis><TAxis units=\"degrees\">40</TAxis></RestingECGMeasurements>\n"
            "<StripData><NumberOfLeads>12</NumberOfLeads><SampleRate units=\"Hz\">500"
            "</SampleRate><ChannelSampleCountTotal>%1</ChannelSampleCountTotal>"
            "<Resolution units=\"uVperLsb\">5</Resolution>\n%2</StripData>\n"
            "</CardiologyXML>\n")
            .arg(int(n))
            .arg(strip);
    return xml.toLatin1();
}

} // namespace cartxmltest
