// The HL7 figure: a record's result built (measured, its report made as a PDF, the ORU^R01 with
// the PDF embedded), sent over MLLP on loopback and acknowledged (goal: at most 100 ms). The
// acknowledging end is a minimal MLLP peer on a thread of this process, so that the figure is
// ours and not a Python server's; the "bytes" counter is the message's size.

#include "hl7/hl7_message.h"
#include "hl7/mllp.h"
#include "report/report_file.h"

#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <arpa/inet.h>
#include <atomic>
#include <benchmark/benchmark.h>
#include <cmath>
#include <cstring>
#include <memory>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

// Accepts one connection after another and answers each framed message with AA for its MSH-10.
class CAcker {
public:
    CAcker() {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (::bind(m_fd, reinterpret_cast<sockaddr*>(&a), len) != 0 || ::listen(m_fd, 4) != 0 ||
            ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&a), &len) != 0)
            return;
        m_nPort = ntohs(a.sin_port);
        m_thread = std::thread([this] { Run(); });
    }
    ~CAcker() {
        m_bStop = true;
        ::shutdown(m_fd, SHUT_RDWR);
        if (m_thread.joinable())
            m_thread.join();
        ::close(m_fd);
    }
    int Port() const { return m_nPort; }

private:
    void Run() {
        while (!m_bStop) {
            const int c = ::accept(m_fd, nullptr, nullptr);
            if (c < 0)
                return;
            std::string in;
            char buf[65536];
            ssize_t n;
            while (in.find("\x1c\r") == std::string::npos && (n = ::read(c, buf, sizeof buf)) > 0)
                in.append(buf, size_t(n));
            // MSH-10: after the ninth '|' of the first segment.
            size_t p = 0;
            for (int i = 0; i < 9 && p != std::string::npos; ++i)
                p = in.find('|', p + 1);
            const std::string id =
                p == std::string::npos ? "" : in.substr(p + 1, in.find('|', p + 1) - p - 1);
            const std::string ack =
                "\x0bMSH|^~\\&|HIS||VELMORA||20261209||ACK|A|P|2.5.1\rMSA|AA|" + id + "\r\x1c\r";
            if (::write(c, ack.data(), ack.size()) < 0)
                m_bStop = true;
            ::close(c);
        }
    }

    int m_fd = -1;
    int m_nPort = 0;
    std::atomic<bool> m_bStop{false};
    std::thread m_thread;
};

void BM_Hl7ResultSent(benchmark::State& state) {
    auto rec = std::make_unique<ECG_RECORD>();
    std::memset(rec.get(), 0, sizeof(ECG_RECORD));
    for (int p = 0; p < kPoints; ++p)
        for (int lane = 0; lane < kLeads; ++lane)
            Sample(rec->curves_buf, p, lane) =
                int16_t(600 * std::exp(-std::pow(std::fmod(p, 350.0) - 175, 2) / 30) + lane * 7);
    RECORD_INFO info;
    info.leadSystem = 1;
    WriteRecordInfo(rec->curves_buf, info);
    std::memcpy(rec->date, "2026-12-08 23:18:57", 20);
    PATIENT_CARD card{};
    std::strcpy(card.last_name, "\xc8\xe2\xe0\xed\xee\xe2");
    card.sex = 1;
    CAcker acker;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("report.pdf"));
    size_t bytes = 0;
    for (auto _ : state) {
        const ReportInput in = ReportInputFor(*rec, card, 0, QStringLiteral("Клиника"));
        std::string error;
        if (!WriteReportPdf(path, in, ReportOptions{}, &error)) {
            state.SkipWithError(error.c_str());
            break;
        }
        CHl7Result r;
        QFile pdf(path);
        pdf.open(QIODevice::ReadOnly);
        r.pdf = pdf.readAll();
        r.card = card;
        r.recordedAt = rec->date;
        r.measurements = in.measurements;
        for (const analysis::Statement& s : in.interpretation.statements)
            r.statements.push_back({s.code, s.text, s.textEn});
        CHl7Envelope e;
        e.controlId = NewHl7ControlId();
        e.createdAt = QDateTime::currentDateTime();
        const std::string message = BuildOruR01(r, e);
        bytes = message.size();
        CHl7Ack ack;
        CMllpLink link;
        link.host = "127.0.0.1";
        link.port = acker.Port();
        link.timeoutSeconds = 5;
        if (!SendHl7(link, message, e.controlId, &ack, &error)) {
            state.SkipWithError(error.c_str());
            break;
        }
    }
    state.counters["bytes"] = double(bytes);
}
BENCHMARK(BM_Hl7ResultSent)->Unit(benchmark::kMillisecond)->Repetitions(5);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv); // fonts for the report
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
