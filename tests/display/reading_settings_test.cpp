// Reading a record at another speed, gain or through filters: the chart's scale follows, the
// grid does not, the record never changes, and hum drawn through the mains filter looks like
// the clean record.

#include "display/chart_renderer.h"
#include "display/reading_settings.h"
#include "platform/string_table.h"
#include "record_model/session_state.h"
#include "simulator/cardiograph_simulator.h"

#include <QGuiApplication>
#include <QPainter>
#include <QTranslator>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>

namespace {

void App() {
    static int argc = 1;
    static char name[] = "display_tests";
    static char* argv[] = {name, nullptr};
    if (!QGuiApplication::instance())
        new QGuiApplication(argc, argv);
}

std::unique_ptr<ECG_RECORD> SimulatedRecord(double mainsMv) {
    SimulatorOptions o;
    o.dMainsMv = mainsMv;
    o.dWanderMv = 0;
    o.nSeed = 3;
    const CCardiographSimulator sim(o);
    auto rec = std::make_unique<ECG_RECORD>();
    std::memset(rec.get(), 0, sizeof(ECG_RECORD));
    for (int p = 0; p < kPoints; ++p)
        for (int lane = 0; lane < kLeads; ++lane)
            Sample(rec->curves_buf, p, lane) = sim.StoredRecord()[size_t(p)][size_t(lane)];
    RECORD_INFO info;
    info.leadSystem = 1;
    info.speed = 50;
    WriteRecordInfo(rec->curves_buf, info);
    std::memcpy(rec->date, "2026-12-08 23:18:57", 20);
    return rec;
}

struct Chart {
    CSessionState s;
    CChartView view;
    CFilteredSamples filtered;
    QImage grid, image;
    int scrollMax = 0;

    Chart(const ECG_RECORD& rec, const ReadingSettings& r) {
        s.ShowRecord(rec, PATIENT_CARD{});
        FirstRun(view, 37.8, 37.8);
        ApplyReadingSettings(r, s, view, filtered);
        scrollMax = SetRazv(view, s);
        RebuildBuffers(view, 1600, 900, grid, image, CChartStyle());
        QPainter p(&image);
        DrawCurves(p, grid, view, s, CChartStyle());
    }
};

TEST(ReadingSettings, SpeedAndGainScaleTheCurvesAndThePulseButNotTheGrid) {
    App();
    const auto rec = SimulatedRecord(0);
    const Chart plain(*rec, ReadingSettings{});
    for (const double gain : {5.0, 10.0, 20.0}) {
        ReadingSettings r;
        r.gainMmPerMv = gain;
        const Chart c(*rec, r);
        EXPECT_EQ(c.grid, plain.grid) << "the grid stays 1 mm / 5 mm";
        QPoint mark[6];
        ASSERT_TRUE(CalibrationMark(c.view, 1, true, mark));
        EXPECT_NEAR(mark[0].y() - mark[2].y(), gain * 37.8 / 10, 1.0) << "1 mV is the gain in mm";
        EXPECT_NEAR(c.view.m_dScaleY, 37.8 / 500 * gain / 10, 1e-12) << "500 units are 1 mV";
    }
    // 50 mm/s is the chart's zoom 1, 25 mm/s zoom 2: the record's points take half the width,
    // and the scroll range follows (2013 and 1204).
    ReadingSettings slow, fast;
    slow.speedMmPerS = 25;
    fast.speedMmPerS = 50;
    const Chart c25(*rec, slow), c50(*rec, fast);
    EXPECT_DOUBLE_EQ(c25.view.m_dStepX * 2, c50.view.m_dStepX);
    EXPECT_EQ(c50.scrollMax, 2013);
    EXPECT_EQ(c25.scrollMax, 1204);
    EXPECT_EQ(c25.view.m_strSettings, QStringLiteral("25 мм/с 10 мм/мВ"));
    const double tenSeconds = kPoints * c25.view.m_dStepX; // pixels
    EXPECT_NEAR(tenSeconds, 4096.0 / 400 * 2.5 * 37.8, 1e-9) << "400 points per 2.5 cm";
}

TEST(ReadingSettings, FiltersDrawAFilteredCopyAndLeaveTheRecordAlone) {
    App();
    const auto clean = SimulatedRecord(0), hum = SimulatedRecord(0.3);
    const auto before = std::make_unique<ECG_RECORD>(*hum);
    ReadingSettings mains;
    mains.filters = {analysis::Filter::Mains50};
    const Chart filtered(*hum, mains), reference(*clean, mains), raw(*hum, ReadingSettings{});
    EXPECT_EQ(std::memcmp(filtered.s.m_pRecord.get(), before.get(), sizeof(ECG_RECORD)), 0)
        << "the record the window would save is as received";
    EXPECT_EQ(std::memcmp(hum.get(), before.get(), sizeof(ECG_RECORD)), 0);
    EXPECT_EQ(filtered.view.m_strSettings, QStringLiteral("50 мм/с 10 мм/мВ 50 Гц"));
    // Hum through the notch draws as the clean record does; without it, it does not.
    const auto differing = [](const QImage& a, const QImage& b) {
        int n = 0;
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x)
                n += a.pixel(x, y) != b.pixel(x, y);
        return n;
    };
    const int curvePixels = differing(reference.image, reference.grid);
    EXPECT_LT(differing(filtered.image, reference.image), curvePixels / 20);
    EXPECT_GT(differing(raw.image, reference.image), curvePixels / 2);

    // Empty lanes stay empty under every filter.
    auto partial = std::make_unique<ECG_RECORD>(*clean);
    for (int p = 0; p < kPoints; ++p)
        Sample(partial->curves_buf, p, 7) = 0;
    const std::vector<analysis::Filter> all = {
        analysis::Filter::Baseline005, analysis::Filter::Baseline067, analysis::Filter::Mains50,
        analysis::Filter::Mains60,     analysis::Filter::Muscle35,    analysis::Filter::Muscle40};
    for (const analysis::Filter f : all) {
        const std::vector<int16_t> out = FilteredSamples(*partial, {f});
        ASSERT_EQ(out.size(), size_t(kPoints * kLeads));
        for (int p = 0; p < kPoints; ++p)
            ASSERT_EQ(out[size_t(p * kLeads + 7)], 0) << int(f);
    }
    EXPECT_TRUE(FilteredSamples(*partial, {}).empty());

    ReadingSettings band;
    band.filters = {analysis::Filter::Mains50, analysis::Filter::Baseline067,
                    analysis::Filter::Muscle35};
    band.speedMmPerS = 25;
    EXPECT_EQ(ReadingSettingsText(band, 25), QStringLiteral("25 мм/с 10 мм/мВ 50 Гц 0.67-35 Гц"));
    for (const char* name :
         {"mains50", "mains60", "baseline", "baseline067", "muscle35", "muscle40"})
        EXPECT_TRUE(FilterNamed(name)) << name;
    EXPECT_FALSE(FilterNamed("notch"));
}

// An English translator stands in for the interface's: the chart's texts follow it, each from
// its own context, while the string table's raw text stays the Russian it keeps.
class EnglishChart : public QTranslator {
public:
    bool isEmpty() const override { return false; }
    QString translate(const char* context, const char* source, const char*, int) const override {
        const QString key =
            QString::fromUtf8(context) + QLatin1Char('|') + QString::fromUtf8(source);
        if (key == QStringLiteral("StringTable|Идет прием данных"))
            return QStringLiteral("Receiving data");
        if (key == QStringLiteral("ReadingSettings|%1 мм/с %2 мм/мВ"))
            return QStringLiteral("%1 mm/s %2 mm/mV");
        if (key == QStringLiteral("ReadingSettings|%1-%2 Гц"))
            return QStringLiteral("%1-%2 Hz");
        if (key == QStringLiteral("ReadingSettings|   %1 уд/мин"))
            return QStringLiteral("   %1 bpm");
        return QString();
    }
};

TEST(ReadingSettings, TextsFollowTheInterfaceLanguage) {
    App();
    ReadingSettings band;
    band.filters = {analysis::Filter::Baseline067, analysis::Filter::Muscle35};
    EnglishChart english;
    ASSERT_TRUE(QCoreApplication::installTranslator(&english));
    const QString settings = ReadingSettingsText(band, 25);
    const QString calipers = CaliperText({812.4, 1.254, 73.86});
    const QString receiving = LoadString(ids::Receiving);
    const char* raw = LoadStringUtf8(ids::Receiving);
    QCoreApplication::removeTranslator(&english);
    EXPECT_EQ(settings, QStringLiteral("25 mm/s 10 mm/mV 0.67-35 Hz"));
    EXPECT_EQ(calipers, QStringLiteral("812 мс   1.25 мВ   74 bpm")) << "untranslated parts stay";
    EXPECT_EQ(receiving, QStringLiteral("Receiving data"));
    EXPECT_STREQ(raw, "Идет прием данных");
    EXPECT_EQ(LoadString(ids::Receiving), QStringLiteral("Идет прием данных"));
}

} // namespace
