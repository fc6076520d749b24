#include "acquisition/com_map.h"

#include <QFile>
#include <QSettings>
#include <QString>

#include <algorithm>
#include <filesystem>
#include <vector>

namespace fs = std::filesystem;

namespace {

const QString kGroup = QStringLiteral("ComMap");

QString KeyOf(int n) {
    return kGroup + QStringLiteral("/COM") + QString::number(n);
}

// Device paths are byte strings; QSettings keeps text. The file-name codec keeps them intact.
QString ToQ(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}
std::string FromQ(const QString& text) {
    return QFile::encodeName(text).toStdString();
}

// The number of "COM<n>" as written by Register, 0 for any other key.
int NumberOfKey(const QString& key) {
    if (!key.startsWith(QStringLiteral("COM")))
        return 0;
    const QString digits = key.mid(3);
    bool ok = false;
    const int n = digits.toInt(&ok);
    return ok && n >= 1 && QString::number(n) == digits ? n : 0;
}

// The resolved path of an existing node; empty when it does not exist.
fs::path Resolved(const fs::path& p) {
    std::error_code ec;
    fs::path r = fs::canonical(p, ec);
    return ec ? fs::path() : r;
}

bool SameDevice(const std::string& a, const std::string& b) {
    if (a == b)
        return true;
    const fs::path ra = Resolved(a);
    return !ra.empty() && ra == Resolved(b);
}

// k for "<dir>/ttyS<k>", -1 otherwise.
int TtySIndex(const fs::path& p, const fs::path& dir) {
    if (p.parent_path() != dir)
        return -1;
    const std::string name = p.filename().string();
    if (name.size() <= 4 || name.compare(0, 4, "ttyS") != 0)
        return -1;
    const std::string digits = name.substr(4);
    if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }) ||
        digits.size() > 6 || (digits.size() > 1 && digits[0] == '0'))
        return -1;
    return std::stoi(digits);
}

} // namespace

CComMap::CComMap()
    : m_pSettings(new QSettings(QSettings::NativeFormat, QSettings::UserScope,
                                QStringLiteral("velmora"), QStringLiteral("velmora"))),
      m_bOwned(true) {}

CComMap::CComMap(QSettings* settings) : m_pSettings(settings), m_bOwned(false) {}

CComMap::~CComMap() {
    if (m_bOwned)
        delete m_pSettings;
}

void CComMap::SetDeviceDir(const std::string& dir) {
    m_strDevDir = dir;
    while (m_strDevDir.size() > 1 && m_strDevDir.back() == '/')
        m_strDevDir.pop_back();
}

std::string CComMap::RegisteredPath(int n) const {
    return FromQ(m_pSettings->value(KeyOf(n)).toString());
}

bool CComMap::TtySExists(int n) const {
    std::error_code ec;
    return fs::exists(fs::path(m_strDevDir) / ("ttyS" + std::to_string(n - 1)), ec);
}

std::string CComMap::DevicePath(int n) const {
    if (n < 1)
        return {};
    m_pSettings->sync();
    std::string path = RegisteredPath(n);
    if (path.empty())
        path = m_strDevDir + "/ttyS" + std::to_string(n - 1);
    return path;
}

std::map<int, std::string> CComMap::Entries() const {
    m_pSettings->sync();
    std::map<int, std::string> entries;
    m_pSettings->beginGroup(kGroup);
    const QStringList keys = m_pSettings->childKeys();
    for (const QString& key : keys) {
        const int n = NumberOfKey(key);
        const QString path = m_pSettings->value(key).toString();
        if (n > 0 && !path.isEmpty())
            entries[n] = FromQ(path);
    }
    m_pSettings->endGroup();
    return entries;
}

bool CComMap::Register(int n, const std::string& path) {
    if (n < 1 || path.empty())
        return false;
    for (const auto& [number, registered] : Entries()) {
        if (number != n && SameDevice(registered, path))
            m_pSettings->remove(KeyOf(number));
    }
    m_pSettings->setValue(KeyOf(n), ToQ(path));
    m_pSettings->sync();
    return m_pSettings->status() == QSettings::NoError;
}

void CComMap::Unregister(int n) {
    if (n < 1)
        return;
    m_pSettings->sync();
    m_pSettings->remove(KeyOf(n));
    m_pSettings->sync();
}

int CComMap::NumberOf(const std::string& path) const {
    if (path.empty())
        return 0;
    const std::map<int, std::string> entries = Entries();
    for (const auto& [n, registered] : entries) {
        if (registered == path)
            return n;
    }
    for (const auto& [n, registered] : entries) {
        if (SameDevice(registered, path))
            return n;
    }
    // A ttyS device has its number without registration, unless that number was given to
    // another device; then it has none until Assign gives it one.
    const fs::path dir(m_strDevDir);
    int k = TtySIndex(fs::path(path), dir);
    if (k < 0) {
        const fs::path resolved = Resolved(path);
        const fs::path resolvedDir = Resolved(dir);
        if (!resolved.empty() && !resolvedDir.empty())
            k = TtySIndex(resolved, resolvedDir);
    }
    if (k >= 0 && entries.count(k + 1) == 0)
        return k + 1;
    return 0;
}

std::string CComMap::StablePath(const std::string& path) const {
    const fs::path target = Resolved(path);
    if (target.empty())
        return path;
    std::error_code ec;
    std::vector<fs::path> links;
    for (fs::directory_iterator it(fs::path(m_strDevDir) / "serial" / "by-id", ec), end;
         !ec && it != end; it.increment(ec))
        links.push_back(it->path());
    // Sorted, so that a device with several links is always recorded under the same one.
    std::sort(links.begin(), links.end());
    for (const fs::path& link : links) {
        if (Resolved(link) == target)
            return link.string();
    }
    return path;
}

int CComMap::Assign(const std::string& path) {
    if (path.empty())
        return 0;
    if (const int known = NumberOf(path))
        return known;
    const std::map<int, std::string> entries = Entries();
    int n = 1;
    while (entries.count(n) != 0 || TtySExists(n))
        ++n;
    return Register(n, StablePath(path)) ? n : 0;
}
