// The record window's document without a window: what it says of its file, when it measures,
// and that its measurements follow the filters the record is read through.

#include "document/ecg_document.h"
#include "record_io/records_test_support.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <cstring>
#include <gtest/gtest.h>

namespace {

QCoreApplication* App() {
    static int argc = 1;
    static char name[] = "document_tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app = new QCoreApplication(argc, argv);
    return app;
}

CLoadedRecord Loaded(double sourceSeconds = 0) {
    CLoadedRecord l;
    l.pRecord = MakeRecord();
    l.card = MakeCard();
    l.dSourceSeconds = sourceSeconds;
    return l;
}

TEST(EcgDocument, TheFileNamesTheWindowAndALongerRecordingSaysItIsItsBeginning) {
    App();
    CSessionState state;
    CEcgDocument doc(state);
    QSignalSpy file(&doc, &CEcgDocument::FileChanged);
    EXPECT_TRUE(doc.FileTitle().isEmpty()) << "a new window has no file";
    for (const auto& [seconds, title] :
         {std::pair{0.0, "r.hea"}, std::pair{45.4, "r.hea (первые 10 с из 45 с)"},
          std::pair{1800.0, "r.hea (первые 10 с из 30 мин)"},
          std::pair{3900.0, "r.hea (первые 10 с из 1 ч 5 мин)"},
          std::pair{7200.0, "r.hea (первые 10 с из 2 ч)"}}) {
        doc.Take(Loaded(seconds), QStringLiteral("/data/r.hea"));
        EXPECT_EQ(doc.FileTitle().toStdString(), title);
    }
    EXPECT_EQ(file.size(), 5);
    EXPECT_EQ(file.last()[0].toString(), QStringLiteral("/data/r.hea"));
    doc.SavedAs(QStringLiteral("/data/saved.ecg"));
    EXPECT_EQ(doc.FileTitle(), QStringLiteral("saved.ecg")) << "the saved file holds all there is";
    doc.ReceptionStarted();
    EXPECT_TRUE(doc.FilePath().isEmpty()) << "a new reception is in no file";
}

TEST(EcgDocument, ASaveProposesThePatientAndTheMomentNotTheCardiographsNumber) {
    App();
    CSessionState state;
    CEcgDocument doc(state);
    CLoadedRecord a = Loaded();
    doc.Take(a, QStringLiteral("/data/a.ecg"));
    const QString first = doc.ProposedFileName(".ecg");
    EXPECT_EQ(first, QStringLiteral("Иванов-Щукин И.И. 2026-12-08 23-18-57.ecg"));
    CLoadedRecord b = Loaded();
    std::memcpy(b.pRecord->date, "2026-12-09 08:01:02", 20);
    doc.Take(b, QStringLiteral("/data/b.ecg"));
    EXPECT_NE(doc.ProposedFileName(".ecg"), first) << "the next record of the same cardiograph";

    // No card: no name is made up; nothing in a name becomes a folder or a pattern.
    CLoadedRecord c = Loaded();
    c.card = PATIENT_CARD{};
    doc.Take(c, QStringLiteral("/data/c.ecg"));
    EXPECT_EQ(doc.ProposedFileName(".scp"), QStringLiteral("ЭКГ 2026-12-08 23-18-57.scp"));
    std::strcpy(doc.Card().last_name, "A/B*\\x\ny");
    EXPECT_EQ(doc.ProposedFileName(".pdf"), QStringLiteral("A_B__x_y 2026-12-08 23-18-57.pdf"));
}

TEST(EcgDocument, ItMeasuresOnlyAFinishedRecordAndThroughItsFilters) {
    App();
    CSessionState state;
    CEcgDocument doc(state);
    QSignalSpy measured(&doc, &CEcgDocument::MeasurementsChanged);
    doc.Remeasure();
    EXPECT_EQ(doc.Measurements(), nullptr) << "an empty window";
    doc.Take(Loaded(), QStringLiteral("r.dat"));
    ASSERT_NE(doc.Measurements(), nullptr);
    const analysis::Measurements raw = *doc.Measurements();
    EXPECT_EQ(raw.beats, analysis::MeasureRecord(doc.Record(), {}).beats);

    const std::vector<analysis::Filter> filters = {analysis::Filter::Baseline067,
                                                   analysis::Filter::Muscle35};
    doc.SetFilters(filters);
    ASSERT_NE(doc.Measurements(), nullptr);
    const analysis::Measurements filtered = analysis::MeasureRecord(doc.Record(), filters);
    EXPECT_EQ(doc.Measurements()->qrsMs, filtered.qrsMs);
    EXPECT_EQ(doc.Measurements()->sokolowLyonMv, filtered.sokolowLyonMv);
    const int before = int(measured.size());
    doc.SetFilters(filters);
    EXPECT_EQ(int(measured.size()), before) << "the same filters measure nothing again";

    state.m_bSessionOn = 1; // a reception fills the window again
    doc.Remeasure();
    EXPECT_EQ(doc.Measurements(), nullptr);
}

TEST(EcgDocument, SendingIsSaidOnceWhenItChanges) {
    App();
    CSessionState state;
    CEcgDocument doc(state);
    QSignalSpy sending(&doc, &CEcgDocument::SendingChanged);
    doc.SetSending(true);
    doc.SetSending(true);
    EXPECT_TRUE(doc.Sending());
    EXPECT_EQ(state.m_bSending, 1) << "the chart's \"Идет передача данных\" reads the session";
    doc.SetSending(false);
    EXPECT_EQ(sending.size(), 2);
}

} // namespace
