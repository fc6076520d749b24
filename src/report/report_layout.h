#pragma once
// Where everything of the printed report goes on the page, in millimetres from its top left
// corner: the header, the grid area with its strips (each a lead over a stretch of the record),
// the calibration pulses, the footer. Pure geometry: the renderer draws what this lays out.

#include <string>
#include <vector>

enum class ReportLayout { Leads12x1, Leads6x2, Leads3x4Rhythm1, Leads3x4Rhythm3 };
enum class ReportPaper { A4, Letter };

struct ReportOptions {
    ReportLayout layout = ReportLayout::Leads3x4Rhythm1;
    double speedMmPerS = 25; // 25 or 50
    double gainMmPerMv = 10; // 5, 10 or 20
    ReportPaper paper = ReportPaper::A4;
};

// "12x1", "6x2", "3x4+1", "3x4+3" and back; false for anything else.
bool ParseReportLayout(const std::string& text, ReportLayout& out);
const char* ReportLayoutName(ReportLayout layout);

struct ReportStrip {
    int lane;        // the record's lane 0..11
    double fromS;    // the record's time at the strip's left end
    double seconds;  // its length in time
    double xMm, yMm; // its left end and baseline on the page
    double widthMm;  // seconds * speed
    bool bRowStart;  // the first strip of its row: the calibration pulse stands before it
};

struct RectMm {
    double x = 0, y = 0, w = 0, h = 0;
};

struct ReportPage {
    double widthMm = 0, heightMm = 0; // landscape
    RectMm header, grid, footer;
    double rowHeightMm = 0;
    double pulseWidthMm = 0; // the calibration pulse: 0.2 s wide at the speed
    double pulseXMm = 0;     // where the pulses stand, left of the strips
    std::vector<ReportStrip> strips;
    double shownSeconds = 0; // of the record in the widest strip (less than 10 s at 50 mm/s)
};

ReportPage LayOutReport(const ReportOptions& options);
