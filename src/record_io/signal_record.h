#pragma once
// Signals of other systems become records the program shows, measures and saves: the first ten
// seconds resampled to 409.6 Hz, 500 units per mV, each lead in the lane of its name.

#include "platform/systemtime.h"
#include "record_model/ecg_record.h"
#include "record_model/ecg_signal.h"
#include "record_model/lead_vocabulary.h"

#include <string>

// The record of the first 4096 points of s at 409.6 Hz, stamped with start. Each lead goes to the
// lane of its name (LaneOfLeadName: letter case and blanks ignored, "MLII" is II, EDF+'s "ECG "
// passed over); leads without a lane are left out; lanes without a lead stay empty, except that
// the limb leads come from two of I, II and III when the signal has those; *absentLanes (when
// given) gets a bit for each empty lane. False with *error when no lead has a lane.
bool RecordFromSignal(const CEcgSignal& s, const SYSTEMTIME& start, ECG_RECORD& out,
                      std::string* error, uint16_t* absentLanes = nullptr);
