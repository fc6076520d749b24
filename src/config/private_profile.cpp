#include "config/private_profile.h"

#include "platform/atomic_file.h"
#include "platform/cp1251.h"
#include "platform/error_text.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// The blanks the Windows reader drops around names and values (^Z was an end-of-file mark).
bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f' || c == '\x1a';
}

QByteArray Trimmed(const QByteArray& s) {
    qsizetype b = 0, e = s.size();
    while (b < e && IsBlank(s[b]))
        ++b;
    while (e > b && IsBlank(s[e - 1]))
        --e;
    return s.mid(b, e - b);
}

// Names compare as the Windows functions compare them: case-insensitively in the text's own
// code page, Cyrillic included.
bool SameName(const QByteArray& a, const QByteArray& b) {
    return FromCp1251(a).compare(FromCp1251(b), Qt::CaseInsensitive) == 0;
}

bool IsQuote(char c) {
    return c == '"' || c == '\'';
}

QByteArray Unquoted(const QByteArray& v) {
    if (v.size() >= 2 && IsQuote(v.front()) && v.back() == v.front())
        return v.mid(1, v.size() - 2);
    return v;
}

// One line of the file: its text is [begin, end), its line break [end, next).
struct Line {
    qsizetype begin = 0, end = 0, next = 0;
    qsizetype trimBegin = 0, trimEnd = 0; // the text without blanks at its ends
    bool header = false;                  // "[name]"
    qsizetype eq = -1;                    // position of '=' on a key line
    QByteArray name;                      // section name (header) or key name, trimmed
};

std::vector<Line> SplitLines(const QByteArray& text) {
    std::vector<Line> lines;
    const qsizetype n = text.size();
    qsizetype pos = 0;
    while (pos < n) {
        Line l;
        l.begin = pos;
        qsizetype e = pos;
        while (e < n && text[e] != '\n' && text[e] != '\r')
            ++e;
        l.end = e;
        if (e < n)
            e += (text[e] == '\r' && e + 1 < n && text[e + 1] == '\n') ? 2 : 1;
        l.next = e;
        pos = e;

        l.trimBegin = l.begin;
        l.trimEnd = l.end;
        // A UTF-8 editor's byte order mark is no part of the first line's text.
        if (l.begin == 0 && text.startsWith("\xEF\xBB\xBF"))
            l.trimBegin = std::min<qsizetype>(3, l.end);
        while (l.trimBegin < l.trimEnd && IsBlank(text[l.trimBegin]))
            ++l.trimBegin;
        while (l.trimEnd > l.trimBegin && IsBlank(text[l.trimEnd - 1]))
            --l.trimEnd;
        const QByteArray t = text.mid(l.trimBegin, l.trimEnd - l.trimBegin);
        if (t.startsWith('[')) {
            const qsizetype close = t.lastIndexOf(']');
            if (close > 0) {
                l.header = true;
                l.name = Trimmed(t.mid(1, close - 1));
            }
        }
        if (!l.header && !t.isEmpty()) {
            const qsizetype eq = t.indexOf('=');
            l.eq = eq < 0 ? -1 : l.trimBegin + eq;
            l.name = Trimmed(eq < 0 ? t : t.left(eq));
        }
        lines.push_back(std::move(l));
    }
    return lines;
}

bool IsBlankLine(const Line& l) {
    return l.trimBegin == l.trimEnd;
}

struct Location {
    int section = -1; // header line of the first matching section
    int key = -1;     // first matching key line in it
    int last = -1;    // last non-blank line of that section
};

Location Find(const std::vector<Line>& lines, const QByteArray& section, const QByteArray& key) {
    Location loc;
    for (int i = 0; i < int(lines.size()); ++i) {
        const Line& l = lines[size_t(i)];
        if (l.header) {
            if (loc.section >= 0)
                break; // only the first matching section counts
            if (SameName(l.name, section))
                loc.section = loc.last = i;
            continue;
        }
        if (loc.section < 0 || IsBlankLine(l))
            continue;
        loc.last = i;
        if (SameName(l.name, key)) {
            loc.key = i;
            break;
        }
    }
    return loc;
}

// Where the value of a key line starts: after '=' and the blanks that follow it.
qsizetype ValueBegin(const QByteArray& text, const Line& l) {
    qsizetype v = l.eq + 1;
    while (v < l.trimEnd && IsBlank(text[v]))
        ++v;
    return v;
}

bool ValidName(const QByteArray& name) {
    return !name.isEmpty() && !name.contains('\n') && !name.contains('\r') && !name.contains('\0');
}

// A section name with ']' or a key with '=' or a leading '[' would read back as something else.
bool ValidNames(const QByteArray& section, const QByteArray& key) {
    return ValidName(section) && !section.contains(']') && ValidName(key) && !key.contains('=') &&
           !key.startsWith('[');
}

// What to write so that the value reads back as given (its first line).
QByteArray StoredValue(const QByteArray& value) {
    qsizetype cut = 0;
    while (cut < value.size() && value[cut] != '\n' && value[cut] != '\r' && value[cut] != '\0')
        ++cut;
    const QByteArray v = value.left(cut);
    if (v.isEmpty())
        return v;
    const bool blankEnds = IsBlank(v.front()) || IsBlank(v.back());
    const bool quoted = v.size() >= 2 && IsQuote(v.front()) && v.back() == v.front();
    return (blankEnds || quoted) ? '"' + v + '"' : v;
}

QByteArray LineBreakOf(const QByteArray& text) {
    const qsizetype i = text.indexOf('\n');
    const qsizetype r = text.indexOf('\r');
    if (r >= 0 && (i < 0 || r < i))
        return (r + 1 < text.size() && text[r + 1] == '\n') ? QByteArray("\r\n") : "\r";
    return "\n";
}

void SetError(QString* pError, const QString& file, int err) {
    if (pError)
        *pError = file + QStringLiteral(": ") + QString::fromStdString(ErrorText(err));
}

// Creates path and its missing parents, private to the user.
bool MakeFolder(const QByteArray& path) {
    struct stat st;
    if (path.isEmpty() || ::stat(path.constData(), &st) == 0)
        return true;
    const qsizetype slash = path.lastIndexOf('/');
    if (slash > 0 && !MakeFolder(path.left(slash)))
        return false;
    return ::mkdir(path.constData(), 0700) == 0 || errno == EEXIST;
}

// Replaces path by data, whole or not at all; a new file is made readable by its owner only (it
// holds a password), a replaced one keeps its mode and owner.
bool ReplaceFile(const QString& path, const QByteArray& data, QString* pError) {
    CAtomicFile file(QFile::encodeName(path).toStdString(), 0600);
    if (file.Open() && file.Write(data.constData(), size_t(data.size())) && file.Commit())
        return true;
    SetError(pError, path, file.Error());
    return false;
}

// Holds an exclusive lock on "<file>.lock" for its lifetime. The lock file itself stays: removing
// it would let a waiting writer and a new one lock two different files.
class WriterLock {
public:
    explicit WriterLock(const QString& file) {
        m_fd = ::open(QFile::encodeName(file + QStringLiteral(".lock")).constData(),
                      O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (m_fd < 0) {
            m_err = errno;
            return;
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
            if ((errno != EWOULDBLOCK && errno != EINTR) ||
                std::chrono::steady_clock::now() > deadline) {
                m_err = errno;
                ::close(m_fd);
                m_fd = -1;
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    ~WriterLock() {
        if (m_fd >= 0)
            ::close(m_fd); // releases the lock
    }
    WriterLock(const WriterLock&) = delete;
    WriterLock& operator=(const WriterLock&) = delete;
    bool Locked() const { return m_fd >= 0; }
    int Error() const { return m_err; }

private:
    int m_fd = -1;
    int m_err = 0;
};

} // namespace

std::optional<QByteArray> ProfileFindValue(const QByteArray& text, const QByteArray& section,
                                           const QByteArray& key) {
    const std::vector<Line> lines = SplitLines(text);
    const Location loc = Find(lines, Trimmed(section), Trimmed(key));
    if (loc.key < 0)
        return std::nullopt;
    const Line& l = lines[size_t(loc.key)];
    if (l.eq < 0)
        return std::nullopt;
    const qsizetype v = ValueBegin(text, l);
    return Unquoted(text.mid(v, l.trimEnd - v));
}

bool ProfileSetValue(QByteArray& text, const QByteArray& sectionIn, const QByteArray& keyIn,
                     const QByteArray& value) {
    const QByteArray section = Trimmed(sectionIn);
    const QByteArray key = Trimmed(keyIn);
    if (!ValidNames(section, key))
        return false;

    const QByteArray stored = StoredValue(value);
    const std::vector<Line> lines = SplitLines(text);
    const Location loc = Find(lines, section, key);
    const QByteArray br = LineBreakOf(text);

    if (loc.key >= 0) {
        const Line& l = lines[size_t(loc.key)];
        if (l.eq >= 0) {
            // An empty value takes the blanks after '=' with it: left at the end of the line,
            // the next write of the same empty value would remove them and rewrite the file.
            const qsizetype v = stored.isEmpty() ? l.eq + 1 : ValueBegin(text, l);
            text.replace(v, l.end - v, stored);
        } else {
            text.replace(l.trimEnd, l.end - l.trimEnd, '=' + stored);
        }
        return true;
    }
    const QByteArray entry = key + '=' + stored;
    if (loc.section >= 0) {
        const Line& l = lines[size_t(loc.last)];
        if (l.next == l.end) { // the file's last line, without a line break
            text.insert(l.end, br + entry);
        } else {
            text.insert(l.next, entry + br);
        }
        return true;
    }
    if (!text.isEmpty() && !lines.empty()) {
        if (lines.back().next == lines.back().end)
            text.append(br);
        if (!IsBlankLine(lines.back()))
            text.append(br); // a blank line between sections
    }
    text.append('[' + section + ']' + br + entry + br);
    return true;
}

QByteArray GetPrivateProfileString(const QByteArray& section, const QByteArray& key,
                                   const QByteArray& def, int nSize, const QString& file) {
    if (nSize <= 0)
        return QByteArray();
    std::optional<QByteArray> value;
    QFile f(file);
    if (f.open(QIODevice::ReadOnly))
        value = ProfileFindValue(f.readAll(), section, key);
    QByteArray v;
    if (value) {
        v = *value;
    } else {
        v = def;
        while (!v.isEmpty() && v.back() == ' ')
            v.chop(1);
    }
    // The byte strings of the Windows functions end at a NUL.
    const qsizetype nul = v.indexOf('\0');
    if (nul >= 0)
        v.truncate(nul);
    return v.left(nSize - 1);
}

bool WritePrivateProfileString(const QByteArray& section, const QByteArray& key,
                               const QByteArray& value, const QString& fileIn, QString* pError) {
    // Write through a symbolic link to its target rather than replacing the link.
    QString file = QFileInfo(fileIn).absoluteFilePath();
    const QString target = QFileInfo(file).canonicalFilePath();
    if (!target.isEmpty())
        file = target;

    if (!ValidNames(Trimmed(section), Trimmed(key))) {
        if (pError)
            *pError = file + QStringLiteral(": invalid section or key name");
        return false;
    }
    const QByteArray path = QFile::encodeName(file);
    struct stat st;
    if (::stat(path.constData(), &st) == 0 && !S_ISREG(st.st_mode)) {
        // A device or a folder must not be replaced by a file (nor get a lock file beside it).
        if (pError)
            *pError = file + QStringLiteral(": not a regular file");
        return false;
    }
    if (!MakeFolder(QFile::encodeName(QFileInfo(file).absolutePath()))) {
        SetError(pError, QFileInfo(file).absolutePath(), errno);
        return false;
    }

    // Another window or the command-line program may write the same file: one writer at a time.
    const WriterLock lock(file);
    if (!lock.Locked()) {
        if (lock.Error() == EWOULDBLOCK) {
            if (pError)
                *pError = file + QStringLiteral(": the file is locked by another program");
        } else {
            SetError(pError, file + QStringLiteral(".lock"), lock.Error());
        }
        return false;
    }

    QByteArray text;
    const bool exists = ::stat(path.constData(), &st) == 0;
    if (exists) {
        if (!S_ISREG(st.st_mode)) {
            if (pError)
                *pError = file + QStringLiteral(": not a regular file");
            return false;
        }
        // An administrator's lock (no write bit for anyone) holds even for root, who could
        // replace the file anyway.
        if ((st.st_mode & 0222) == 0) {
            if (pError)
                *pError = file + QStringLiteral(": the file is read-only");
            return false;
        }
        QFile f(file);
        if (!f.open(QIODevice::ReadOnly)) {
            // Never replace a file that could not be read: its other keys would be lost.
            if (pError)
                *pError = file + QStringLiteral(": ") + f.errorString();
            return false;
        }
        text = f.readAll();
        if (f.error() != QFileDevice::NoError) {
            if (pError)
                *pError = file + QStringLiteral(": ") + f.errorString();
            return false;
        }
    } else if (errno != ENOENT) {
        SetError(pError, file, errno);
        return false;
    }
    const QByteArray before = text;
    ProfileSetValue(text, section, key, value);
    if (exists && text == before)
        return true;
    return ReplaceFile(file, text, pError);
}
