#pragma once
// One record window's reception: the start/stop command, the 40 ms poll tick that reads the port
// and decodes the device's frames into the record, completion, manual stop and the link-loss
// restart. Plain C++ on the session state; the port, the timer and the display are interfaces,
// so tests drive it tick by tick with fakes.

#include "acquisition/byte_port.h"
#include "acquisition/display_sink.h"
#include "record_model/session_state.h"

#include <string>

// The port a session opens at start and closes at stop, completion and link loss.
class ISerialLink : public IBytePort {
public:
    // Opens COM<nCom>; returns a handle (>= 0) or -1.
    virtual int Open(int nCom) = 0;
    // Purges and closes; nothing when closed.
    virtual void Close() = 0;
    // Why the last Open failed, naming the device ("/dev/ttyUSB0: Permission denied").
    virtual std::string LastError() const { return {}; }
};

// The acquisition timer: a QTimer in the programs, a manual tick in tests.
class ITickSource {
public:
    virtual ~ITickSource() = default;
    // Starts ticking every periodMs; returns the timer id (non-zero).
    virtual int StartTimer(int periodMs) = 0;
    virtual void StopTimer() = 0;
};

constexpr int kTimerId = 1;
constexpr int kTimerPeriodMs = 40;
constexpr int kIdleTicksLimit = 100; // more than this many empty ticks: the link is lost
constexpr int kReopenTicks = 25;     // after a link loss, a port that will not open: every second
constexpr int kWarmupTicks = 10;     // ticks with input below this count are dropped

class CAcquisitionSession : public CSessionState {
public:
    CAcquisitionSession(ISerialLink& link, ITickSource& timer, IDisplaySink& display);

    // Command 32772: starts a session when none runs, otherwise stops it.
    void OnEkard();
    // Timer message: a poll tick for timer 1, then completion when the record is in.
    void OnTimer(int timerId);
    // Stamps a completed record with the device's (or the local) date and the placeholders.
    void OnWriteKard();

    // One poll tick: wake-up text, read, text events, warm-up, frame decoding, display.
    int EventComKard();
    // Applies one register pair from the device.
    int TranslateCountOfReg(uint8_t reg, uint8_t value);
    // Lane value of a payload under the current lead system.
    int ZnaCurve(const uint8_t* payload, int lane) const;

    // What a link loss does once points have arrived. Off (the window): the session restarts and
    // the partial record goes, as it always has. On (the command line): the session ends as the
    // stop command ends it, so that what arrived can be written; m_bLinkLost then says why.
    bool m_bStopOnLinkLoss = false;
    // The link was lost and the port has not opened again: the timer keeps running without a
    // port and every kReopenTicks ticks the port is tried again, until it opens or the user stops.
    int m_bReopening = 0;
    // The last session ended by a link loss under m_bStopOnLinkLoss.
    int m_bLinkLost = 0;

protected:
    // The local wall-clock time used for stop stamps and records without a device date.
    virtual SYSTEMTIME LocalTime() const { return GetLocalTime(); }
    // Writes the record info block and the stamps; reorders a wrapped live ring oldest first.
    void FinishRecord();

private:
    void UpdateDisplay();
    // The line was silent too long (bPortFailed false) or the port itself failed: a read or a
    // status query returned an error, as when the device node goes with a pulled adapter.
    void LinkLost(bool bPortFailed);
    void TryReopen();
    void StopTimerAndClosePort();
    void StartSession();
    void StopSession();
    void SetDateText(const char* text);

    ISerialLink& m_link;
    ITickSource& m_timer;
    IDisplaySink& m_display;
};
