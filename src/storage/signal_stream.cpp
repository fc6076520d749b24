#include "storage/signal_stream.h"

#include "record_model/record_date.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <string_view>

namespace {

constexpr std::string_view kMagic = "velmora-signal 1";
constexpr size_t kMaxHeader = 64 * 1024;

// One line of text: control characters (a newline in a name) become blanks, on the way out and
// on the way in alike.
std::string OneLine(const std::string& text) {
    std::string line = text;
    for (char& c : line)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = ' ';
    return line;
}

std::string Number(double v) {
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

bool ParseDouble(std::string_view text, double& v) {
    const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
    return r.ec == std::errc() && r.ptr == text.data() + text.size() && std::isfinite(v);
}

bool ParseSize(std::string_view text, size_t& v) {
    const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
    return r.ec == std::errc() && r.ptr == text.data() + text.size();
}

bool ParseBirth(std::string_view text, ForeignEcg& ecg) {
    unsigned y = 0, m = 0, d = 0;
    if (text.size() != 10 || text[4] != '-' || text[7] != '-')
        return false;
    const auto number = [&](size_t at, size_t n, unsigned& v) {
        const auto r = std::from_chars(text.data() + at, text.data() + at + n, v);
        return r.ec == std::errc() && r.ptr == text.data() + at + n;
    };
    if (!number(0, 4, y) || !number(5, 2, m) || !number(8, 2, d) || y < 1 || m < 1 || m > 12 ||
        d < 1 || int(d) > DaysInMonth(int(y), int(m)))
        return false;
    ecg.birthYear = uint16_t(y);
    ecg.birthMonth = uint16_t(m);
    ecg.birthDay = uint16_t(d);
    return true;
}

} // namespace

std::string WriteSignalStream(const ForeignEcg& ecg) {
    const CEcgSignal& s = ecg.signal;
    std::string out(kMagic);
    out += "\nrate " + Number(s.dRate) + "\ntotal_seconds " + Number(ecg.dTotalSeconds) + "\n";
    if (ecg.start.wYear != 0)
        out += "start " + FormatRecordDate(ecg.start) + "\n";
    const std::pair<const char*, const std::string*> texts[] = {{"last_name", &ecg.lastName},
                                                                {"first_name", &ecg.firstName},
                                                                {"patronymic", &ecg.patronymic},
                                                                {"patient_id", &ecg.patientId}};
    for (const auto& [key, value] : texts)
        if (!value->empty())
            out += std::string(key) + " " + OneLine(*value) + "\n";
    if (ecg.birthYear != 0) {
        char birth[16];
        std::snprintf(birth, sizeof birth, "%04u-%02u-%02u", unsigned(ecg.birthYear) % 10000,
                      unsigned(ecg.birthMonth) % 100, unsigned(ecg.birthDay) % 100);
        out += std::string("birth ") + birth + "\n";
    }
    if (ecg.sex >= 0)
        out += ecg.sex == 1 ? "sex M\n" : "sex F\n";
    for (size_t l = 0; l < s.leads.size(); ++l)
        out += "lead " + OneLine(l < s.names.size() ? s.names[l] : std::string()) + "\n";
    out += "samples " + std::to_string(s.Length()) + "\ndata\n";
    const size_t at = out.size();
    out.resize(at + s.leads.size() * s.Length() * sizeof(float));
    char* p = out.data() + at;
    for (const std::vector<float>& lead : s.leads) {
        if (!lead.empty())
            std::memcpy(p, lead.data(), lead.size() * sizeof(float));
        p += lead.size() * sizeof(float);
    }
    return out;
}

bool ReadSignalStream(const uint8_t* data, size_t size, ForeignEcg& ecg, std::string* error) {
    const std::string_view all(reinterpret_cast<const char*>(data), size);
    auto fail = [&](const std::string& why) {
        *error = "the interchange helper's answer is broken: " + why;
        return false;
    };
    ForeignEcg read;
    size_t at = 0, samples = 0;
    bool haveRate = false, haveSamples = false, first = true;
    for (;;) {
        const size_t end = all.find('\n', at);
        if (end == std::string_view::npos || end > kMaxHeader)
            return fail("no end of its header");
        const std::string_view line = all.substr(at, end - at);
        at = end + 1;
        if (first) {
            if (line != kMagic)
                return fail("it does not start as a signal stream");
            first = false;
            continue;
        }
        if (line == "data")
            break;
        const size_t blank = line.find(' ');
        const std::string_view key = line.substr(0, blank);
        const std::string_view value =
            blank == std::string_view::npos ? std::string_view() : line.substr(blank + 1);
        if (key == "rate") {
            if (!ParseDouble(value, read.signal.dRate) || read.signal.dRate < 1 ||
                read.signal.dRate > 100000)
                return fail("a sampling rate of " + std::string(value));
            haveRate = true;
        } else if (key == "total_seconds") {
            if (!ParseDouble(value, read.dTotalSeconds) || read.dTotalSeconds < 0)
                return fail("a length of " + std::string(value) + " s");
        } else if (key == "start") {
            if (value.size() != size_t(kRecordDateLength) ||
                !ParseRecordDate(value.data(), value.size(), read.start))
                return fail("a start that is no date: " + std::string(value));
        } else if (key == "last_name") {
            read.lastName = OneLine(std::string(value));
        } else if (key == "first_name") {
            read.firstName = OneLine(std::string(value));
        } else if (key == "patronymic") {
            read.patronymic = OneLine(std::string(value));
        } else if (key == "patient_id") {
            read.patientId = OneLine(std::string(value));
        } else if (key == "birth") {
            if (!ParseBirth(value, read))
                return fail("a birth date that is no date: " + std::string(value));
        } else if (key == "sex") {
            if (value != "M" && value != "F")
                return fail("a sex of " + std::string(value));
            read.sex = value == "M" ? 1 : 0;
        } else if (key == "lead") {
            if (read.signal.names.size() >= kMaxStreamLeads)
                return fail("more than " + std::to_string(kMaxStreamLeads) + " leads");
            read.signal.names.push_back(OneLine(std::string(value)));
        } else if (key == "samples") {
            if (!ParseSize(value, samples) || samples == 0 || samples > kMaxStreamSamples)
                return fail("a sample count of " + std::string(value));
            haveSamples = true;
        } else {
            return fail("an unknown line \"" + std::string(line.substr(0, 40)) + "\"");
        }
    }
    if (!haveRate || !haveSamples || read.signal.names.empty())
        return fail("no rate, sample count or lead");
    const size_t leads = read.signal.names.size();
    if (size - at != leads * samples * sizeof(float))
        return fail("its samples are " + std::to_string(size - at) + " bytes, not " +
                    std::to_string(leads * samples * sizeof(float)));
    read.signal.leads.assign(leads, std::vector<float>(samples));
    read.signal.present.assign(leads, true);
    for (size_t l = 0; l < leads; ++l) {
        std::vector<float>& lead = read.signal.leads[l];
        std::memcpy(lead.data(), data + at + l * samples * sizeof(float), samples * sizeof(float));
        for (float& v : lead)
            if (!std::isfinite(v))
                return fail("a sample that is not a number");
    }
    ecg = std::move(read);
    return true;
}
