// Start, stop, completion and the link-loss restart of a reception session.

#include "acquisition/acquisition_session.h"

#include "acquisition/stream_decoder.h"
#include "record_model/record_date.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

namespace {

constexpr char kSourcePlaceholder[] = "{%Source%}";
constexpr char kNotesPlaceholder[] = "{%Notes%}";

} // namespace

CAcquisitionSession::CAcquisitionSession(ISerialLink& link, ITickSource& timer,
                                         IDisplaySink& display)
    : m_link(link), m_timer(timer), m_display(display) {}

void CAcquisitionSession::OnEkard() {
    m_bMonitoring = 0;
    m_bConnected = 0;
    m_bLoaded = 0;
    m_dSpeedMon = m_dSpeed;
    std::memset(m_seen, 0, sizeof m_seen);
    m_pShowCurves = m_pCurves;

    if (!m_bSessionOn)
        StartSession();
    else
        StopSession();
}

void CAcquisitionSession::StartSession() {
    if (m_nTimer == 0) {
        ResetValues();
        std::memset(m_pRecord.get(), 0, sizeof(ECG_RECORD));
        m_stDevice = SYSTEMTIME{};
        m_bRingWrapped = 0;
        m_nRingPos = 0;
        m_nRingPosPrev = 0;
        m_nReceived = 0;
        m_bRecordDone = 0;
        m_bSynced = 0;
        m_nCarry = 0;
        m_nSearchFrom = 0;
        m_bLinkLost = 0;
        m_hCom = m_link.Open(m_nCom);
        m_nIdleTicks = 0;
        if (m_hCom != -1) {
            m_bReopening = 0;
            m_nTimer = m_timer.StartTimer(kTimerPeriodMs);
        } else if (m_bReopening) {
            // The device went away with the link: the timer runs on to try it again.
            m_nTimer = m_timer.StartTimer(kTimerPeriodMs);
            m_display.ReportLinkDown(m_link.LastError().c_str());
        } else {
            m_display.ReportPortFailure(m_link.LastError().c_str());
        }
    }
    m_bSessionOn = 1;
    m_bLiveView = 1;
    m_display.ShowPicture();
}

void CAcquisitionSession::StopSession() {
    FinishRecord();
    m_stStop = LocalTime();
    m_Time.Initialize(m_stStop); // the chart's labels count from the moment of stopping
    m_display.SetScrollRange(kScrollRangeZoom1);
    if (m_nTimer != 0)
        StopTimerAndClosePort();
    m_bSessionOn = 0;
    m_bLiveView = 0;
    m_bLoaded = 1;
    m_bReopening = 0;
    std::snprintf(m_szInfo, sizeof m_szInfo, "%s", FormatRecordDate(m_stStop).c_str());
    SetDateText(m_szInfo);
    m_display.DrawCurves();
    m_display.ShowPicture();
}

void CAcquisitionSession::StopTimerAndClosePort() {
    m_timer.StopTimer();
    m_nTimer = 0;
    m_bPolling = 0;
    m_link.Close();
    m_hCom = -1;
}

void CAcquisitionSession::OnTimer(int timerId) {
    if (timerId != kTimerId || m_nTimer == 0)
        return; // not ours, or a tick that arrives after the session ended
    EventComKard();
    if (m_bRecordDone && m_nTimer != 0) {
        m_bConnected = 0;
        StopTimerAndClosePort();
        m_bSessionOn = 0;
        m_bLiveView = 0;
        FinishRecord();
        m_Time.Initialize(m_stDevice); // a device that sent no date leaves the base unchanged
        OnWriteKard();
        m_display.DrawIDS(IDS_PROCESSING);
        m_nFirstLane = 0;
        m_nLanes = 0;
        m_display.DrawCurves();
    }
}

void CAcquisitionSession::LinkLost(bool bPortFailed) {
    m_bConnected = 0;
    if (m_bStopOnLinkLoss && HasPoints()) {
        OnEkard(); // the stop path: what arrived becomes the record, stamped with the stop time
        m_bLinkLost = 1;
        return;
    }
    m_bSessionOn = 0;
    StopTimerAndClosePort();
    m_bReopening = 1;
    if (bPortFailed)
        m_display.DrawIDS(IDS_CONNECTION_LOST);
    OnEkard(); // no session and no timer: the start path clears the partial record and reopens
}

void CAcquisitionSession::TryReopen() {
    if (++m_nIdleTicks < kReopenTicks)
        return;
    m_nIdleTicks = 0;
    m_hCom = m_link.Open(m_nCom);
    if (m_hCom == -1) {
        m_display.ReportLinkDown(m_link.LastError().c_str());
        return;
    }
    m_bReopening = 0; // from here the ticks read the port as after any start
}

void CAcquisitionSession::FinishRecord() {
    RECORD_INFO info;
    info.leadSystem = uint32_t(m_nLeadSystem);
    info.sensitivity = uint32_t(m_nSensitivity);
    info.speed = uint32_t(int(m_dSpeed));
    info.heartRate = uint32_t(m_nHeartRate);
    info.newFormat = m_bNewFormat ? 1 : 0;
    info.filter = uint32_t(m_nFilter);
    info.serial = m_nSerial;
    info.curveNo = m_nCurveNo;
    info.serialHi = m_nSerialHi;

    ECG_RECORD& rec = *m_pRecord;
    if (m_bRingWrapped) {
        // The live ring went round: put the oldest point first, through a zeroed scratch copy.
        auto scratch = std::make_unique<ECG_RECORD>();
        const size_t tail = size_t(kPoints - m_nRingPos) * kBytesPerPoint;
        std::memcpy(scratch->curves_buf, m_pCurves + m_nRingPos * kLeads, tail);
        std::memcpy(reinterpret_cast<unsigned char*>(scratch->curves_buf) + tail, m_pCurves,
                    size_t(m_nRingPos) * kBytesPerPoint);
        WriteRecordInfo(scratch->curves_buf, info);
        std::memcpy(rec.curves_buf, scratch->curves_buf, kCurvesBufSize);
    } else {
        WriteRecordInfo(m_pCurves, info);
    }
    rec.patient_id = m_nPatientId;
    rec.curve_id = m_nCurveNo;
    rec.device_id = DeviceId(m_nSerial, m_nSerialHi);
}

void CAcquisitionSession::OnWriteKard() {
    if (m_bPolling || !m_pRecord || !m_pShowCurves)
        return;
    ECG_RECORD& rec = *m_pRecord;
    rec.patient_id = m_nPatientId;
    rec.curve_id = m_nCurveNo;
    rec.device_id = DeviceId(m_nSerial, m_nSerialHi);
    std::memcpy(rec.source, kSourcePlaceholder, sizeof kSourcePlaceholder);
    std::memcpy(rec.notes, kNotesPlaceholder, sizeof kNotesPlaceholder);

    if (m_stDevice.wYear == 0) {
        // The device sent no date: the record carries the local date and time.
        m_bLoaded = 1;
        m_stDevice = LocalTime();
    }
    SetDateText(FormatRecordDate(m_stDevice).c_str());
}

void CAcquisitionSession::SetDateText(const char* text) {
    char* date = m_pRecord->date;
    std::memset(date, 0, sizeof m_pRecord->date);
    std::strncpy(date, text, sizeof m_pRecord->date - 1); // 19 characters and a zero
    m_display.SetRecordTitle(date);
}

int CAcquisitionSession::ZnaCurve(const uint8_t* payload, int lane) const {
    return ::ZnaCurve(payload, lane, m_nLeadSystem);
}

int CAcquisitionSession::EventComKard() {
    m_bPolling = 1;
    std::memset(m_pRxBuf.get(), 0, kRxBufSize);
    m_nNewPoints = 0;
    m_nRxCount = 0;

    if (m_hCom == -1) {
        TryReopen(); // the link was lost and the port is not back yet
        return 0;
    }
    if (!m_bConnected)
        m_link.Write(reinterpret_cast<const uint8_t*>(kWakeUp), kWakeUpLength); // retried next tick

    // A failing status query or read is a port that has gone (a hung-up pseudo-terminal, a
    // pulled adapter): waiting for it to speak again would wait for ever.
    const int queued = m_link.Queued();
    if (queued < 0) {
        LinkLost(true);
        return 0;
    }
    if (queued == 0) {
        if (++m_nIdleTicks > kIdleTicksLimit)
            LinkLost(false);
        return 0;
    }
    m_nIdleTicks = 0;
    // One read of what is queued, at most 2048 bytes; the rest waits for the next tick.
    const int got = m_link.Read(m_pRxBuf.get(), std::min(queued, kMaxChunk));
    if (got < 0) {
        LinkLost(true);
        return 0;
    }
    m_nRxCount = got;

    if (!m_bConnected) {
        if (cmp_driver_buffer(m_pRxBuf.get(), m_nRxCount, "CONNECTION"))
            m_bConnected = 1;
    } else if (cmp_driver_buffer(m_pRxBuf.get(), m_nRxCount, "DISCONNECT")) {
        m_bConnected = 0;
    }

    // The first ticks with input after a reset only look for the text events.
    if (++m_nWarmupTicks < kWarmupTicks)
        return 0;
    m_nWarmupTicks = kWarmupTicks + 1;

    if (DecodeChunk(*this, m_display) == ChunkEnd::Display)
        UpdateDisplay();
    return 0;
}

void CAcquisitionSession::UpdateDisplay() {
    if (!m_bConnected) {
        m_display.DrawIDS(IDS_CONNECTION_LOST);
        return;
    }
    if (m_nReceived > 0 && m_nReceived < kPoints)
        m_display.DrawReceivingProgress();
    if (m_nRingPos != 0 && m_nReceived == 0)
        m_display.DrawMonitoringCurves();
}

int CAcquisitionSession::TranslateCountOfReg(uint8_t reg, uint8_t value) {
    return ::TranslateCountOfReg(*this, m_display, reg, value);
}
