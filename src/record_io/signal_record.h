#pragma once
// Signals of other systems become records the program shows, measures and saves: the first ten
// seconds resampled to 409.6 Hz, 500 units per mV, each lead in the lane of its name.

#include "analysis/measurements.h"
#include "platform/systemtime.h"
#include "record_model/ecg_record.h"
#include "record_model/ecg_signal.h"
#include "record_model/lead_vocabulary.h"

#include <QString>
#include <cstddef>
#include <functional>
#include <string>

// The record of the first 4096 points of s at 409.6 Hz, stamped with start. Each lead goes to the
// lane of its name (LaneOfLeadName: letter case and blanks ignored, "MLII" is II, EDF+'s "ECG "
// passed over); leads without a lane are left out; lanes without a lead stay empty, except that
// the limb leads come from two of I, II and III when the signal has those; *absentLanes (when
// given) gets a bit for each empty lane. False with *error when no lead has a lane.
bool RecordFromSignal(const CEcgSignal& s, const SYSTEMTIME& start, ECG_RECORD& out,
                      std::string* error, uint16_t* absentLanes = nullptr);

// No ambulatory ECG recorder holds more than a month (event monitors record for up to 30 days):
// a longer signal is no recording, and DetectFileBeats refuses it before reading it.
constexpr double kMaxRecordingDays = 31.0;

struct FileBeatScan {
    double dRate = 0;    // the file's own sampling rate
    double dSeconds = 0; // the signal's length
    size_t nBeats = 0;
};

// The QRS complexes over the whole signal of a record file at its own rate (all of a WFDB record
// or an ISHNE Holter file, read piece by piece where its files lie, in memory bounded by
// analysis::kDetectionWindowBytes whatever its length; the record's lanes at 409.6 Hz for the other
// types), each handed to onBeat as a sample index with its class, in ascending order. False with
// *error naming the file and what is wrong: unreadable, longer than kMaxRecordingDays, too many
// leads at too high a rate for a detection window, or what onBeat set when it returned false.
bool DetectFileBeats(const QString& path,
                     const std::function<bool(size_t, analysis::BeatClass)>& onBeat,
                     FileBeatScan& scan, std::string* error);
