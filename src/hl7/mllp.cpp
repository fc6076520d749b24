#include "hl7/mllp.h"

#include <QDeadlineTimer>
#include <QList>
#include <QTcpSocket>
#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <memory>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

QByteArray MllpFrame(const std::string& message) {
    QByteArray frame;
    frame.reserve(qsizetype(message.size()) + 3);
    frame += kMllpStart;
    frame.append(message.data(), qsizetype(message.size()));
    frame += kMllpEnd1;
    frame += kMllpEnd2;
    return frame;
}

MllpState MllpTakeFrame(const QByteArray& buffer, QByteArray* message, qsizetype* consumed,
                        std::string* error) {
    if (buffer.isEmpty())
        return MllpState::Incomplete;
    if (buffer[0] != kMllpStart) {
        *error = "the answer is no MLLP frame (its first byte is " +
                 std::to_string(uint8_t(buffer[0])) + ")";
        return MllpState::Garbage;
    }
    const qsizetype end = buffer.indexOf(kMllpEnd1, 1);
    if (end < 0 || end + 1 >= buffer.size()) {
        if (buffer.size() > kMaxAckBytes) {
            *error = "the answer's frame runs past " + std::to_string(kMaxAckBytes) + " bytes";
            return MllpState::Garbage;
        }
        return MllpState::Incomplete;
    }
    if (buffer[end + 1] != kMllpEnd2) {
        *error = "the answer's frame ends without its carriage return";
        return MllpState::Garbage;
    }
    *message = buffer.mid(1, end - 1);
    *consumed = end + 2;
    return MllpState::Complete;
}

std::string Hl7Unescape(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        const size_t close = text.find('\\', i + 1);
        if (close == std::string::npos) {
            out += text.substr(i);
            break;
        }
        const std::string seq = text.substr(i + 1, close - i - 1);
        if (seq == "F")
            out += '|';
        else if (seq == "S")
            out += '^';
        else if (seq == "T")
            out += '&';
        else if (seq == "R")
            out += '~';
        else if (seq == "E")
            out += '\\';
        else if (seq == ".br")
            out += '\n';
        i = close;
    }
    return out;
}

namespace {

QList<QByteArray> Fields(const QByteArray& segment, char separator) {
    return segment.split(separator);
}

std::string FieldText(const QList<QByteArray>& f, int i) {
    return i < f.size() ? f[i].toStdString() : std::string();
}

} // namespace

bool ParseHl7Ack(const QByteArray& message, CHl7Ack* ack, std::string* error) {
    *ack = {};
    // Segments end in CR; some systems answer with LF or CR LF.
    QByteArray text = message;
    text.replace('\n', '\r');
    const QList<QByteArray> segments = text.split('\r');
    if (segments.isEmpty() || !segments[0].startsWith("MSH") || segments[0].size() < 8) {
        *error = "the answer is no HL7 message (no MSH segment first)";
        return false;
    }
    const char field = segments[0][3];
    const char component = segments[0][4];
    if (field == component || field == '\\' || component == '\\') {
        *error = "the answer's MSH segment has no valid delimiters";
        return false;
    }
    bool bMsa = false;
    std::string errText;
    for (const QByteArray& s : segments) {
        if (s.size() < 3)
            continue;
        const QList<QByteArray> f = Fields(s, field);
        if (f[0] == "MSA" && !bMsa) {
            bMsa = true;
            ack->code = FieldText(f, 1);
            ack->controlId = FieldText(f, 2);
            ack->text = Hl7Unescape(FieldText(f, 3));
        } else if (f[0] == "ERR" && errText.empty()) {
            // ERR-8 (the text for the user), else ERR-3's text component, else the older ERR-1.
            errText = FieldText(f, 8);
            if (errText.empty()) {
                const QList<QByteArray> code =
                    f.size() > 3 ? f[3].split(component) : QList<QByteArray>();
                errText = code.size() > 1 ? code[1].toStdString() : std::string();
            }
            if (errText.empty())
                errText = FieldText(f, 1);
            errText = Hl7Unescape(errText);
        }
    }
    if (!bMsa || ack->code.empty()) {
        *error = "the answer has no acknowledgement code (no MSA-1)";
        return false;
    }
    if (ack->text.empty())
        ack->text = errText;
    return true;
}

namespace {

// A wait short enough that a cancel is seen soon.
constexpr int kSliceMs = 100;

bool Cancelled(const CMllpLink& link) {
    return link.cancelled && link.cancelled();
}

// Connects within the deadline, asking for a cancel every slice: QTcpSocket's blocking connect
// would not hear one, and one cut into slices gives up at the first slice's end. The connected
// descriptor, or -1 with *why (empty when cancelled).
int ConnectCancellable(const CMllpLink& link, const QDeadlineTimer& deadline, std::string* why) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const std::string port = std::to_string(link.port);
    if (const int rc = ::getaddrinfo(link.host.c_str(), port.c_str(), &hints, &found); rc != 0) {
        *why = std::string("host not found (") + ::gai_strerror(rc) + ")";
        return -1;
    }
    std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> addresses(found, &::freeaddrinfo);
    *why = "no address";
    for (const addrinfo* a = found; a; a = a->ai_next) {
        const int fd =
            ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0) {
            *why = std::strerror(errno);
            continue;
        }
        int rc = ::connect(fd, a->ai_addr, a->ai_addrlen);
        int err = rc == 0 ? 0 : errno;
        while (err == EINPROGRESS || err == EINTR) {
            if (Cancelled(link)) {
                ::close(fd);
                why->clear();
                return -1;
            }
            if (deadline.hasExpired()) {
                err = ETIMEDOUT;
                break;
            }
            pollfd p{fd, POLLOUT, 0};
            rc = ::poll(&p, 1, int(std::min<qint64>(deadline.remainingTime(), kSliceMs)));
            if (rc > 0) {
                socklen_t n = sizeof err;
                if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &n) != 0)
                    err = errno;
            } else if (rc < 0 && errno != EINTR) {
                err = errno;
            }
        }
        if (err == 0)
            return fd;
        ::close(fd);
        *why = err == ETIMEDOUT ? "no answer within " + std::to_string(link.timeoutSeconds) + " s"
                                : std::strerror(err);
    }
    return -1;
}

} // namespace

bool SendHl7(const CMllpLink& link, const std::string& message, const std::string& controlId,
             CHl7Ack* ack, std::string* error) {
    *ack = {};
    const std::string where = link.host + ":" + std::to_string(link.port);
    const int timeoutMs = link.timeoutSeconds * 1000;
    QTcpSocket socket;
    QDeadlineTimer deadline(timeoutMs);
    std::string unreached;
    const int fd = ConnectCancellable(link, deadline, &unreached);
    if (fd < 0) {
        *error = unreached.empty()
                     ? std::string("cancelled")
                     : "cannot reach the hospital system at " + where + ": " + unreached;
        return false;
    }
    if (!socket.setSocketDescriptor(fd)) {
        ::close(fd);
        *error = "cannot reach the hospital system at " + where + ": " +
                 socket.errorString().toStdString();
        return false;
    }
    const QByteArray frame = MllpFrame(message);
    if (socket.write(frame) != frame.size()) {
        *error = "cannot send to " + where + ": " + socket.errorString().toStdString();
        return false;
    }
    deadline = QDeadlineTimer(timeoutMs);
    while (socket.bytesToWrite() > 0) {
        if (Cancelled(link)) {
            *error = "cancelled";
            return false;
        }
        if (socket.waitForBytesWritten(int(std::min<qint64>(deadline.remainingTime(), kSliceMs))))
            continue;
        if (socket.state() == QAbstractSocket::ConnectedState && !deadline.hasExpired())
            continue;
        *error = socket.state() == QAbstractSocket::ConnectedState
                     ? "the hospital system at " + where + " took no message within " +
                           std::to_string(link.timeoutSeconds) + " s"
                     : "the hospital system at " + where +
                           " closed the connection while the message was sent: " +
                           socket.errorString().toStdString();
        return false;
    }
    deadline = QDeadlineTimer(timeoutMs);
    QByteArray buffer, answer;
    for (;;) {
        qsizetype consumed = 0;
        std::string why;
        const MllpState state = MllpTakeFrame(buffer, &answer, &consumed, &why);
        if (state == MllpState::Garbage) {
            *error = "the hospital system at " + where + " answered no acknowledgement: " + why;
            return false;
        }
        if (state == MllpState::Complete)
            break;
        if (Cancelled(link)) {
            *error = "cancelled";
            return false;
        }
        if (!socket.waitForReadyRead(int(std::min<qint64>(deadline.remainingTime(), kSliceMs)))) {
            if (socket.state() == QAbstractSocket::ConnectedState &&
                socket.error() != QAbstractSocket::RemoteHostClosedError && !deadline.hasExpired())
                continue;
            if (socket.state() != QAbstractSocket::ConnectedState ||
                socket.error() == QAbstractSocket::RemoteHostClosedError) {
                *error = "the hospital system at " + where +
                         " closed the connection without acknowledging the message" +
                         (buffer.isEmpty() ? "" : " (the answer was cut short)");
            } else {
                *error = "no acknowledgement from the hospital system at " + where + " within " +
                         std::to_string(link.timeoutSeconds) + " s";
            }
            return false;
        }
        buffer += socket.readAll();
    }
    socket.disconnectFromHost();
    std::string why;
    if (!ParseHl7Ack(answer, ack, &why)) {
        *error = "the hospital system at " + where + " answered no acknowledgement: " + why;
        return false;
    }
    if (ack->controlId != controlId) {
        *error = "the hospital system at " + where + " acknowledged another message (" +
                 ack->controlId + ", not " + controlId + ")";
        return false;
    }
    if (!ack->Accepted()) {
        *error = "the hospital system at " + where + " refused the message (" + ack->code + ")" +
                 (ack->text.empty() ? "" : ": " + ack->text);
        return false;
    }
    return true;
}
