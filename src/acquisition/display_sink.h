#pragma once
// What the reception session asks of whoever shows the record window: the view in the program,
// the progress line in the CLI, nothing in tests. Every call has a do-nothing default.

class IDisplaySink {
public:
    virtual ~IDisplaySink() = default;
    // Full-window status text by string resource identifier.
    virtual void DrawIDS(int /*stringId*/) {}
    // Redraw of the receiving progress (m_nReceived of 4096).
    virtual void DrawReceivingProgress() {}
    // Drawing of the m_nNewPoints live points that end at m_nRingPos.
    virtual void DrawMonitoringCurves() {}
    // The sweep-speed register arrived: derive zoom, step and scroll range from m_dSpeedMon.
    virtual void SetRazv() {}
    // Horizontal scroll range 0 ... maxPos, scroll bar set to the current position.
    virtual void SetScrollRange(int /*maxPos*/) {}
    // The chart pass and copying the off-screen picture to the window.
    virtual void DrawCurves() {}
    virtual void ShowPicture() {}
    // New title of the record window.
    virtual void SetRecordTitle(const char* /*title*/) {}
    // The port could not be opened; text names the device and the system's reason.
    virtual void ReportPortFailure(const char* /*text*/) {}
    // After a link loss the port does not open again (yet); the session goes on trying every
    // second. Text names the device and the system's reason, as for ReportPortFailure.
    virtual void ReportLinkDown(const char* /*text*/) {}
};
