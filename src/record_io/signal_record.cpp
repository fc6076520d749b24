#include "record_io/signal_record.h"

#include "analysis/filters.h"
#include "analysis/qrs_detector.h"
#include "record_io/record_files.h"
#include "record_model/record_date.h"

#include <QFile>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>

bool RecordFromSignal(const CEcgSignal& s, const SYSTEMTIME& start, ECG_RECORD& out,
                      std::string* error, uint16_t* absentLanes) {
    // Which lead feeds each lane: the first of each name.
    std::array<int, kLeads> from;
    from.fill(-1);
    for (size_t l = 0; l < s.leads.size(); ++l) {
        const int lane = LaneOfLeadName(l < s.names.size() ? s.names[l] : std::string());
        if (lane >= 0 && from[size_t(lane)] < 0 && (l >= s.present.size() || s.present[l]))
            from[size_t(lane)] = int(l);
    }
    if (std::all_of(from.begin(), from.end(), [](int l) { return l < 0; })) {
        *error = "none of its leads is one of the twelve standard leads";
        return false;
    }
    // Ten seconds and a little for the resampler's edge.
    CEcgSignal cut;
    cut.dRate = s.dRate;
    const size_t keep =
        std::min(s.Length(), size_t(std::ceil((kPoints / kPointsPerSecond + 0.2) * s.dRate)));
    std::array<std::vector<float>, kLeads> lanes;
    for (int lane = 0; lane < kLeads; ++lane)
        if (from[size_t(lane)] >= 0) {
            const std::vector<float>& lead = s.leads[size_t(from[size_t(lane)])];
            cut.leads.emplace_back(lead.begin(), lead.begin() + long(keep));
            cut.names.emplace_back(std::to_string(lane));
        }
    const CEcgSignal at409 =
        s.dRate == kPointsPerSecond ? cut : analysis::Resample(cut, kPointsPerSecond);
    for (size_t k = 0, lane = 0; lane < size_t(kLeads); ++lane)
        if (from[lane] >= 0)
            lanes[lane] = at409.leads[k++];
    for (std::vector<float>& lane : lanes)
        if (!lane.empty())
            lane.resize(kPoints, 0.f); // a record shorter than ten seconds ends in zeros

    // The limb leads from two of I, II and III (Einthoven: II = I + III).
    auto& I = lanes[kLaneI];
    auto& II = lanes[kLaneII];
    auto& III = lanes[kLaneIII];
    const auto derive = [](std::vector<float>& target, auto f) {
        if (!target.empty())
            return;
        target.resize(kPoints);
        for (int i = 0; i < kPoints; ++i)
            target[size_t(i)] = f(i);
    };
    if (!I.empty() && !II.empty())
        derive(III, [&](int i) { return II[size_t(i)] - I[size_t(i)]; });
    if (!I.empty() && !III.empty())
        derive(II, [&](int i) { return I[size_t(i)] + III[size_t(i)]; });
    if (!II.empty() && !III.empty())
        derive(I, [&](int i) { return II[size_t(i)] - III[size_t(i)]; });
    if (!I.empty() && !II.empty()) {
        derive(lanes[kLaneAvr], [&](int i) { return -(I[size_t(i)] + II[size_t(i)]) / 2; });
        derive(lanes[kLaneAvl], [&](int i) { return I[size_t(i)] - II[size_t(i)] / 2; });
        derive(lanes[kLaneAvf], [&](int i) { return II[size_t(i)] - I[size_t(i)] / 2; });
    }

    std::memset(&out, 0, sizeof out);
    if (absentLanes)
        *absentLanes = 0;
    for (int lane = 0; lane < kLeads; ++lane) {
        const std::vector<float>& v = lanes[size_t(lane)];
        if (v.empty()) {
            if (absentLanes)
                *absentLanes = uint16_t(*absentLanes | 1u << lane);
            continue;
        }
        for (int p = 0; p < kPoints; ++p) {
            const double units = std::round(v[size_t(p)] / kMicrovoltsPerUnit);
            Sample(out.curves_buf, p, lane) = int16_t(std::clamp(units, -32768.0, 32767.0));
        }
    }
    RECORD_INFO info;
    info.leadSystem = 1;
    WriteRecordInfo(out.curves_buf, info);
    out.patient_id = 0xFFFFFFFFu;
    const std::string date = FormatRecordDate(start);
    std::strncpy(out.date, date.c_str(), sizeof out.date - 1);
    return true;
}

bool DetectFileBeats(const QString& path,
                     const std::function<bool(size_t, analysis::BeatClass)>& onBeat,
                     FileBeatScan& scan, std::string* error) {
    const std::string name = QFile::encodeName(path).toStdString();
    analysis::SignalPieceReader read;
    size_t frames = 0, leads = 0;
    CEcgSignal whole;
    // A type whose signal outlasts a record (a WFDB record, a Holter file) is read where it lies,
    // a window at a time; the others are their record, ten seconds.
    std::string notTyped; // an untyped file is OpenRecordSignal's to refuse, with its reasons
    if (const RecordFileType* type = RecordFileTypeOfFile(path, &notTyped);
        type && type->openPieces) {
        CSignalPieces pieces;
        if (!type->openPieces(path, pieces, error)) {
            *error = "cannot open " + name + ": " + *error;
            return false;
        }
        scan.dRate = pieces.dRate;
        frames = pieces.nFrames;
        leads = pieces.nLeads;
        read = std::move(pieces.read);
    } else {
        if (!OpenRecordSignal(path, whole, error))
            return false;
        scan.dRate = whole.dRate;
        frames = whole.Length();
        leads = whole.leads.size();
        read = [&whole](size_t first, size_t count, CEcgSignal& out, std::string*) {
            out = whole;
            for (std::vector<float>& lead : out.leads)
                lead = std::vector<float>(lead.begin() + long(first),
                                          lead.begin() + long(first + count));
            return true;
        };
    }
    scan.dSeconds = double(frames) / scan.dRate;
    scan.nBeats = 0;
    const double days = scan.dSeconds / 86400.0;
    if (days > kMaxRecordingDays) {
        char text[160];
        std::snprintf(text, sizeof text,
                      "a signal of %.1f days; no ECG recorder holds more than %.0f (event "
                      "monitors record for up to 30 days)",
                      days, kMaxRecordingDays);
        *error = "cannot detect the beats of " + name + ": " + text;
        return false;
    }
    const auto counted = [&](size_t b, analysis::BeatClass c) {
        ++scan.nBeats;
        return onBeat(b, c);
    };
    std::string why;
    if (!analysis::DetectQrsInWindows(frames, leads, scan.dRate, read, counted, &why)) {
        *error = "cannot detect the beats of " + name + ": " + why;
        return false;
    }
    return true;
}
