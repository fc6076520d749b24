#include "config/ini.h"

#include "config/private_profile.h"
#include "platform/cp1251.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringDecoder>
#include <algorithm>
#include <climits>
#include <cstring>
#include <mutex>
#include <unistd.h>

namespace {

constexpr int kBufferSize = 256;

const QString& AppName() {
    static const QString name = QStringLiteral("velmora");
    return name;
}

struct Override {
    std::mutex mutex;
    QString path;
};

Override& TheOverride() {
    static Override o;
    return o;
}

QString ExecutableDir() {
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    return QFileInfo(QFile::symLinkTarget(QStringLiteral("/proc/self/exe"))).absolutePath();
}

// The C library's atoi on the value, but saturating instead of overflowing.
int DecimalValue(const char* s) {
    while (*s == ' ' || (*s >= '\t' && *s <= '\r'))
        ++s;
    const bool negative = *s == '-';
    if (*s == '-' || *s == '+')
        ++s;
    long long v = 0;
    for (; *s >= '0' && *s <= '9'; ++s) {
        v = v * 10 + (*s - '0');
        if (v > 1LL + INT_MAX)
            v = 1LL + INT_MAX;
    }
    if (negative)
        v = -v;
    return v > INT_MAX ? INT_MAX : v < INT_MIN ? INT_MIN : int(v);
}

} // namespace

void SetIniFileOverride(const QString& strPath) {
    Override& o = TheOverride();
    const std::lock_guard<std::mutex> lock(o.mutex);
    o.path = strPath.isEmpty() ? QString() : QFileInfo(strPath).absoluteFilePath();
}

bool CheckSettingsFile(const QString& strPath, QString* error) {
    const auto fail = [&](const QString& why) {
        *error = QStringLiteral("cannot read the settings file %1: %2").arg(strPath, why);
        return false;
    };
    const QFileInfo info(strPath);
    if (!info.exists())
        return fail(QStringLiteral("No such file or directory"));
    if (info.isDir())
        return fail(QStringLiteral("it is a folder"));
    if (!info.isFile())
        return fail(QStringLiteral("it is not a regular file"));
    QFile file(strPath);
    if (!file.open(QIODevice::ReadOnly))
        return fail(file.errorString());
    constexpr qint64 kMaxSettingsSize = 1024 * 1024;
    const QByteArray text = file.read(kMaxSettingsSize + 1);
    if (file.error() != QFileDevice::NoError)
        return fail(file.errorString());
    if (text.size() > kMaxSettingsSize)
        return fail(QStringLiteral("it is far too large for a settings file"));
    if (text.contains('\0'))
        return fail(QStringLiteral("it is not a text file"));
    return true;
}

QString IniFileOverride() {
    Override& o = TheOverride();
    const std::lock_guard<std::mutex> lock(o.mutex);
    return o.path;
}

QString DefaultIniFileFor(const QString& strExeDir) {
    const QString name = AppName() + QStringLiteral(".ini");
    if (!strExeDir.isEmpty() && ::access(QFile::encodeName(strExeDir).constData(), W_OK) == 0)
        return QDir(strExeDir).filePath(name);
    const QString config = QStandardPaths::writableLocation(QStandardPaths::ConfigLocation);
    if (config.isEmpty()) // no home folder: stay beside the executable, failing writes report it
        return QDir(strExeDir).filePath(name);
    return config + u'/' + AppName() + u'/' + name;
}

CIni::CIni(const QString& strFileName, const QString& strSection, int bModulPath)
    : m_bModulPath(bModulPath) {
    m_szBuffer[0] = '\0';
    m_strFileName = strFileName.isEmpty() ? GetDefaultIniFile(bModulPath)
                                          : AddModulPath(strFileName, bModulPath);
    m_strSection = strSection.isEmpty() ? GetDefaultSection() : strSection;
}

CIni::~CIni() = default;

QString CIni::GetDefaultIniFile(int bModulPath) {
    const QString over = IniFileOverride();
    if (!over.isEmpty())
        return over;
    if (!bModulPath)
        return AppName() + QStringLiteral(".ini");
    return DefaultIniFileFor(ExecutableDir());
}

QString CIni::GetDefaultSection() {
    return AppName();
}

QString CIni::AddModulPath(const QString& strPath, int bModulPath) {
    if (!bModulPath || !QDir::isRelativePath(strPath))
        return strPath;
    return QDir(ExecutableDir()).filePath(strPath);
}

IniEncoding IniFileEncoding(const QString& strFile) {
    QFile file(strFile);
    if (!file.open(QIODevice::ReadOnly))
        return IniEncoding::Cp1251;
    const QByteArray text = file.read(1024 * 1024);
    if (text.startsWith("\xEF\xBB\xBF"))
        return IniEncoding::Utf8;
    const bool ascii =
        std::all_of(text.begin(), text.end(), [](char c) { return uchar(c) < 0x80; });
    if (ascii)
        return IniEncoding::Cp1251;
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString decoded = utf8(text); // decodes only when turned into a string
    return utf8.hasError() ? IniEncoding::Cp1251 : IniEncoding::Utf8;
}

namespace {

QByteArray Encode(IniEncoding e, const QString& text, bool* ok = nullptr) {
    if (e == IniEncoding::Utf8) {
        if (ok)
            *ok = true;
        return text.toUtf8();
    }
    return ToCp1251(text, ok);
}

QString Decode(IniEncoding e, const QByteArray& bytes) {
    return e == IniEncoding::Utf8 ? QString::fromUtf8(bytes) : FromCp1251(bytes);
}

} // namespace

QString CIni::Read(const QString& strFile, const QString& strSection, const QString& strKey,
                   const QString& strDefault) {
    const IniEncoding e = IniFileEncoding(strFile);
    return Decode(e, GetPrivateProfileString(Encode(e, strSection), Encode(e, strKey),
                                             Encode(e, strDefault), kBufferSize, strFile));
}

const QString& CIni::UseSection(const QString& strSection) {
    if (!strSection.isEmpty())
        m_strSection = strSection;
    return m_strSection;
}

const char* CIni::GetLPCSTR(const QString& strKey, const QString& strSection,
                            const QString& strDefault) {
    m_eEncoding = IniFileEncoding(m_strFileName);
    const IniEncoding e = m_eEncoding;
    const QByteArray v =
        GetPrivateProfileString(Encode(e, UseSection(strSection)), Encode(e, strKey),
                                Encode(e, strDefault), kBufferSize, m_strFileName);
    std::memcpy(m_szBuffer, v.constData(), size_t(v.size())); // at most 255 bytes
    m_szBuffer[v.size()] = '\0';
    return m_szBuffer;
}

QString CIni::GetString(const QString& strKey, const QString& strDefault,
                        const QString& strSection) {
    const QByteArray bytes(GetLPCSTR(strKey, strSection, strDefault));
    return Decode(m_eEncoding, bytes);
}

int CIni::GetInt(const QString& strKey, int nDefault, const QString& strSection) {
    return DecimalValue(GetLPCSTR(strKey, strSection, QString::number(nDefault)));
}

bool CIni::WriteString(const QString& strKey, const QString& strValue, const QString& strSection) {
    bool encodable = true;
    const IniEncoding e = IniFileEncoding(m_strFileName);
    const QByteArray value = Encode(e, strValue, &encodable);
    QString error;
    if (!WritePrivateProfileString(Encode(e, UseSection(strSection)), Encode(e, strKey), value,
                                   m_strFileName, &error)) {
        m_strLastError = error;
        return false;
    }
    if (!encodable) {
        m_strLastError = QStringLiteral("%1: the value of %2 has characters that Windows-1251 "
                                        "lacks; they were stored as '?'")
                             .arg(m_strFileName, strKey);
        return false;
    }
    return true;
}

bool CIni::WriteInt(const QString& strKey, int nValue, const QString& strSection) {
    return WriteString(strKey, QString::number(nValue), strSection);
}

bool CIni::SerGetString(bool bGet, QString& strVar, const QString& strKey,
                        const QString& strSection, const QString& strDefault) {
    if (bGet) {
        strVar = GetString(strKey, strDefault, strSection);
        return true;
    }
    return WriteString(strKey, strVar, strSection);
}

bool CIni::SerGetInt(bool bGet, int& nVar, const QString& strKey, const QString& strSection,
                     int nDefault) {
    if (bGet) {
        nVar = GetInt(strKey, nDefault, strSection);
        return true;
    }
    return WriteInt(strKey, nVar, strSection);
}
