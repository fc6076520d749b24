#pragma once
// The subcommands of velmora-cli. Each takes the arguments after its name and returns the
// process's exit code: 0 success, 1 bad usage, 2 device or file failure, 3 time-out.

#include <QStringList>

int RunSimulate(const QStringList& args);
int RunReceive(const QStringList& args);
int RunReplay(const QStringList& args);
int RunPorts(const QStringList& args);
int RunRender(const QStringList& args);
int RunExport(const QStringList& args);
int RunSend(const QStringList& args);
int RunInfo(const QStringList& args);
int RunMeasure(const QStringList& args);
int RunBeats(const QStringList& args);
int RunInterpret(const QStringList& args);
int RunCompare(const QStringList& args);
int RunReport(const QStringList& args);
int RunStore(const QStringList& args);
int RunHl7(const QStringList& args);
int RunArchive(const QStringList& args);
int RunWorklist(const QStringList& args);
int RunPacs(const QStringList& args);

// The statements of an interpretation as `interpret --json` and `measure --json` give them, and
// the rate practice of --rates, else of the settings (of --config).
class COptions;
class QJsonObject;
struct PATIENT_CARD;
// The card's fields as `info --json` gives them.
QJsonObject CardObject(const PATIENT_CARD& card);
namespace analysis {
struct Interpretation;
struct InterpretationSettings;
struct RecordAnalysis;
} // namespace analysis
QJsonObject InterpretationJson(const analysis::Interpretation& in);
// A record's measurements as `measure --json` gives them, its statements among them.
QJsonObject MeasurementJson(const analysis::RecordAnalysis& a);
bool InterpretationSettingsFrom(const char* command, const COptions& opts,
                                analysis::InterpretationSettings* settings);

// The archive of --archive FILE or --db URL, else the settings' (of --config): opened.
class CArchive;
class QString;
bool OpenArchive(const COptions& opts, CArchive& archive, QString* error);
