#pragma once
// The serial link to the cardiograph over POSIX termios: exclusive open, raw 8N1 at 115200 baud
// (38400 with the slow flag), no flow control, DTR and RTS off, both queues purged on open and on
// close. Works on ttyS, ttyUSB, ttyACM, rfcomm devices and pseudo-terminals.

#include "acquisition/byte_port.h"

#include <string>

class CComMap;

class CSerialCom {
public:
    CSerialCom();
    ~CSerialCom(); // closes the port
    CSerialCom(const CSerialCom&) = delete;
    CSerialCom& operator=(const CSerialCom&) = delete;

    // Opens COM<nPort> (its device path from the COM map; the per-user map when `map` is null).
    // Closes a port that is already open first. Returns the descriptor (non-blocking), or -1;
    // then m_nLastError holds the errno of the failed step: EBUSY when another program holds
    // the port, ENOENT for a missing device or a number below 1. It is 0 after a success.
    int OpenPort(int nPort, bool bSlow, const CComMap* map = nullptr);
    // The same for an explicit device path.
    int OpenDevice(const std::string& path, bool bSlow);
    // Purges input and output and closes; nothing happens when the port is closed.
    void ClosePort();

    std::string m_strPortName; // device path of the last open
    int m_hPort = -1;
    int m_nLastError = 0;
};

// Purge input, purge output, close: the closing steps for a descriptor the session holds.
// Sets fd to -1; nothing happens when it is -1 already.
void CloseSerialHandle(int& fd);

// IBytePort over a descriptor: FIONREAD for the queued count, non-blocking reads and writes.
class CFdBytePort : public IBytePort {
public:
    explicit CFdBytePort(int fd) : m_fd(fd) {}
    int Write(const uint8_t* data, int len) override;
    int Queued() override;
    int Read(uint8_t* data, int max) override;

private:
    int m_fd;
};
