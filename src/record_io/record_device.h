#pragma once
// The device values a record carries in itself: read from its info block and its stored date
// text, never from a window's state or a display text, so every front-end writes the same file
// from the same record.

#include "platform/systemtime.h"
#include "record_model/ecg_record.h"
#include "storage/scp_export.h"

#include <QString>

// The lead system of the info block (1 when it holds none) and the recording time of the
// `date` text (all zero when that is no date).
ScpDeviceValues RecordDeviceValues(const ECG_RECORD& record);

// The record number text of the record's device ("K.107.18641.5752").
QString RecordNumberText(const ECG_RECORD& record);
