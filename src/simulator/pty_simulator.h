#pragma once
// Runs a simulated cardiograph on a pseudo-terminal: the program (or any serial tool) opens the
// slave side as if it were the device's COM port. The runner keeps a slave descriptor of its own
// open, so the master never sees a hang-up while no receiver has the port open; bytes the device
// sends while nobody reads are lost, as on a radio link with no listener.

#include "simulator/cardiograph_simulator.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

class CPtySimulator {
public:
    explicit CPtySimulator(const SimulatorOptions& options = {});
    ~CPtySimulator(); // closes both sides
    CPtySimulator(const CPtySimulator&) = delete;
    CPtySimulator& operator=(const CPtySimulator&) = delete;

    // Creates the pseudo-terminal. False on failure; LastError() is then the errno.
    bool Open();
    // The device path a receiver opens, e.g. "/dev/pts/5"; empty before Open.
    const std::string& SlavePath() const { return m_strSlavePath; }
    int LastError() const { return m_nLastError; }

    // Runs the device in real time until `stop` becomes true or, when `dSeconds` >= 0, that
    // many seconds have passed. Returns false when the pseudo-terminal fails.
    bool Run(std::atomic<bool>& stop, double dSeconds = -1.0);
    // Asks the running device for its stored record. Only stores a flag: safe from any thread
    // and from a signal handler.
    void RequestRecord() { m_bRecordRequest.store(true); }
    // Called on Run's thread when the device's link, record or silence state changes.
    void SetNoteSink(std::function<void(const std::string&)> sink) { m_noteSink = std::move(sink); }

    // The device itself; while Run runs only its StoredRecord and Options may be read.
    const CCardiographSimulator& Simulator() const { return m_sim; }
    uint64_t BytesWritten() const { return m_nWritten.load(); }
    uint64_t BytesLost() const { return m_nLost.load(); } // nobody was reading

private:
    void Note(const std::string& text) const;
    bool Pump(double dElapsed);
    void Close();

    CCardiographSimulator m_sim;
    int m_hMaster = -1;
    int m_hSlave = -1;
    std::string m_strSlavePath;
    int m_nLastError = 0;
    std::atomic<bool> m_bRecordRequest{false};
    std::atomic<uint64_t> m_nWritten{0};
    std::atomic<uint64_t> m_nLost{0};
    std::function<void(const std::string&)> m_noteSink;
};
