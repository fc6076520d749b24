#pragma once
// A peer on loopback that takes connections and never answers: what a PACS that has stalled
// looks like from our side.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

class CStalledPeer {
public:
    CStalledPeer() : m_fd(::socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t n = sizeof a;
        if (m_fd >= 0 && ::bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
            ::listen(m_fd, 4) == 0 && ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&a), &n) == 0)
            m_nPort = ntohs(a.sin_port);
    }
    ~CStalledPeer() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    CStalledPeer(const CStalledPeer&) = delete;
    CStalledPeer& operator=(const CStalledPeer&) = delete;

    // The port it listens on; 0 when it could not listen.
    int Port() const { return m_nPort; }

private:
    int m_fd;
    int m_nPort = 0;
};
