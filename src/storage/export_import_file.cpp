#include "storage/export_import_file.h"

#include "platform/cp1251.h"
#include "platform/error_text.h"
#include "platform/private_folder.h"
#include "storage/zipper.h"

#include <QDir>
#include <QString>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

// The record layout as the package describes it to its readers; the comments are Russian and
// are stored in Windows-1251.
const char* const kStructureLines[] = {
    "UINT\trecord_id",
    "UINT\tpatient_id",
    "char\tdate[20]\t// дата, когда была сделана запись",
    "short\tcurves_buf[MAX_POINT4CURVES] // буфер под массив точек графиков (на 10 сек.)\t",
    "byte\tdiagnoz_buf[MAX_DIAGNOZ]    // буфер для диагноза",
    "short\trecord_state\t\t\t\t//состояние записи(0 -новая, 1-прочитана, 2-ВНИМАНИЕ ",
    "unsigned int curve_id                       // номер кривой    ",
    "unsigned long long int device_id                      // номер прибора",
    "char source[255]",
    "char notes[255]",
    "int\t\t\t\twasPravkaZakl",
    "unsigned int\tnFiltr",
    "UINT   chuvsvMon\t// чувствительность монитора",
    "UINT   chuvsv\t\t// чувствительность выбранная",
    "double RAZVMon\t\t// скорость развертки монитора",
    "double RAZV\t\t// скорость развертки выбранная",
    "UINT markV1\t// ",
    "UINT markV2\t// \t",
    "DWORD dwSize\t// размер буфера ",
    "int nSM",
};

std::string BuildStructureText() {
    QByteArray text;
    for (const char* line : kStructureLines)
        text += ToCp1251(QString::fromUtf8(line)) + "\r\n";
    text += '\0';
    return std::string(text.constData(), size_t(text.size()));
}

} // namespace

CExportImportFile::CExportImportFile(std::string tempRoot)
    : m_strTempDir(tempRoot.empty() ? QFile::encodeName(QDir::tempPath()).toStdString()
                                    : std::move(tempRoot)) {}

std::string_view CExportImportFile::StructureText() {
    static const std::string text = BuildStructureText();
    return text;
}

std::string CExportImportFile::DataFileName(const ECG_RECORD& record) {
    char name[64];
    std::snprintf(name, sizeof name, "%d_%.*s", int32_t(record.record_id),
                  int(strnlen(record.date, sizeof record.date)), record.date);
    std::string result = std::string(name) + ".DAT";
    for (char& c : result) {
        if (c == ':')
            c = 'x';
    }
    return result;
}

bool CExportImportFile::Fail(int err, const std::string& what) {
    m_nError = err;
    m_strError = what + ": " + ErrorText(err);
    return false;
}

bool CExportImportFile::TakeError(const CZipper& zip) {
    m_nError = zip.LastError();
    m_strError = zip.LastErrorText();
    return false;
}

bool CExportImportFile::WriteTempFile(const std::string& path, const void* data, size_t size) {
    m_hFile = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (m_hFile < 0)
        return Fail(errno, "cannot create the temporary file " + path);
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(m_hFile, static_cast<const char*>(data) + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const int err = n < 0 ? errno : EIO;
            ::close(m_hFile);
            m_hFile = -1;
            return Fail(err, "cannot write the temporary file " + path);
        }
        done += size_t(n);
    }
    const int fd = m_hFile;
    m_hFile = -1;
    if (::close(fd) != 0)
        return Fail(errno, "cannot write the temporary file " + path);
    return true;
}

bool CExportImportFile::ExportRecord(const RECORD_DEFINITION& def, const ECG_RECORD& record,
                                     const std::string& archivePath) {
    m_nError = 0;
    m_strError.clear();
    const std::string dataName = DataFileName(record);
    if (dataName.find('/') != std::string::npos)
        return Fail(EINVAL, "the record's date text '" + dataName +
                                "' cannot make a file name (it holds a '/')");
    const std::string_view structure = StructureText();

    // A folder of our own for the three files: fixed names in a shared folder could be links
    // planted by another user, and two exports at once would overwrite each other's files.
    const CPrivateFolder folder("velmora-export", m_strTempDir);
    if (!folder.IsValid()) {
        m_nError = folder.Error();
        m_strError = folder.ErrorText();
        return false;
    }

    CZipper zip; // discards the unfinished archive on every early return
    if (!zip.OpenZip(archivePath.c_str(), nullptr, false))
        return TakeError(zip);

    struct Part {
        std::string name;
        const void* data;
        size_t size;
    };
    const Part parts[] = {
        {kStructureName, structure.data(), structure.size()},
        {kPatientName, &def, sizeof def},
        {dataName, &record, sizeof record},
    };
    for (const Part& part : parts) {
        const std::string path = folder.FilePath(part.name);
        if (!WriteTempFile(path, part.data, part.size))
            return false;
        if (!zip.AddFileToZip(path.c_str(), true))
            return TakeError(zip);
        ::unlink(path.c_str());
    }
    if (!zip.CloseZip())
        return TakeError(zip);
    return true;
}
