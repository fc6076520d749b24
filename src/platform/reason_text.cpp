#include "platform/reason_text.h"

#include "platform/error_text.h"
#include "platform/ui_language.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <cerrno>
#include <vector>

namespace {

struct SystemReason {
    int err;
    const char* text;
};

// The errno values a clinic meets (files, disks, ports, the network), in the interface's words.
constexpr SystemReason kSystemReasons[] = {
    {ENOENT, QT_TRANSLATE_NOOP("Reason", "нет такого файла или папки")},
    {EACCES, QT_TRANSLATE_NOOP("Reason", "нет прав доступа")},
    {EPERM, QT_TRANSLATE_NOOP("Reason", "операция не разрешена")},
    {EEXIST, QT_TRANSLATE_NOOP("Reason", "файл уже существует")},
    {ENOSPC, QT_TRANSLATE_NOOP("Reason", "на диске нет места")},
    {EDQUOT, QT_TRANSLATE_NOOP("Reason", "превышена дисковая квота")},
    {EROFS, QT_TRANSLATE_NOOP("Reason", "диск доступен только для чтения")},
    {EISDIR, QT_TRANSLATE_NOOP("Reason", "это папка, а не файл")},
    {ENOTDIR, QT_TRANSLATE_NOOP("Reason", "в пути есть файл там, где должна быть папка")},
    {ENOTEMPTY, QT_TRANSLATE_NOOP("Reason", "папка не пуста")},
    {ENAMETOOLONG, QT_TRANSLATE_NOOP("Reason", "слишком длинное имя файла")},
    {EFBIG, QT_TRANSLATE_NOOP("Reason", "файл слишком велик")},
    {EMFILE, QT_TRANSLATE_NOOP("Reason", "открыто слишком много файлов")},
    {EIO, QT_TRANSLATE_NOOP("Reason", "ошибка ввода-вывода")},
    {EBUSY, QT_TRANSLATE_NOOP("Reason", "устройство занято")},
    {ENODEV, QT_TRANSLATE_NOOP("Reason", "нет такого устройства")},
    {ENXIO, QT_TRANSLATE_NOOP("Reason", "устройство не отвечает или отключено")},
    {ENOMEM, QT_TRANSLATE_NOOP("Reason", "не хватает памяти")},
    {EINVAL, QT_TRANSLATE_NOOP("Reason", "недопустимое значение")},
    {ECONNREFUSED, QT_TRANSLATE_NOOP("Reason", "в соединении отказано")},
    {ETIMEDOUT, QT_TRANSLATE_NOOP("Reason", "время ожидания соединения истекло")},
    {ECONNRESET, QT_TRANSLATE_NOOP("Reason", "соединение сброшено другой стороной")},
    {EHOSTUNREACH, QT_TRANSLATE_NOOP("Reason", "узел недоступен")},
    {ENETUNREACH, QT_TRANSLATE_NOOP("Reason", "сеть недоступна")},
    {EPIPE, QT_TRANSLATE_NOOP("Reason", "соединение разорвано")},
    {EADDRINUSE, QT_TRANSLATE_NOOP("Reason", "адрес уже используется")},
    {EAGAIN, QT_TRANSLATE_NOOP("Reason", "ресурс временно недоступен")},
};

struct LibraryReason {
    const char* english; // as the library says it, matched without regard to case
    const char* text;
};

// What the libraries the program works through say (Qt's sockets, libcurl for mail, DCMTK for the
// PACS, PostgreSQL for a shared archive) and the program's own commonest reason for a file.
// Longer phrases first: the first that matches is the one said.
constexpr LibraryReason kLibraryReasons[] = {
    {"Association Rejected", QT_TRANSLATE_NOOP("Reason", "сервер DICOM отказал в соединении")},
    {"Peer aborted Association", QT_TRANSLATE_NOOP("Reason", "сервер DICOM прервал соединение")},
    {"Association Request Failed",
     QT_TRANSLATE_NOOP("Reason", "не удалось установить соединение с сервером DICOM")},
    {"Failed to establish association",
     QT_TRANSLATE_NOOP("Reason", "не удалось установить соединение с сервером DICOM")},
    {"Called AE Title Not Recognized",
     QT_TRANSLATE_NOOP("Reason", "сервер DICOM не знает вызываемый AE-титул")},
    {"Calling AE Title Not Recognized",
     QT_TRANSLATE_NOOP("Reason", "сервер DICOM не знает AE-титул этой станции")},
    {"No valid Presentation Context",
     QT_TRANSLATE_NOOP("Reason", "сервер DICOM не принимает объекты этого вида")},
    {"refused our AE title",
     QT_TRANSLATE_NOOP("Reason", "сервер не принимает AE-титул этой станции")},
    {"does not answer", QT_TRANSLATE_NOOP("Reason", "сервер не отвечает")},
    {"Couldn't connect to server",
     QT_TRANSLATE_NOOP("Reason", "не удалось подключиться к серверу")},
    {"Could not resolve host", QT_TRANSLATE_NOOP("Reason", "сервер с таким именем не найден")},
    {"Couldn't resolve host name", QT_TRANSLATE_NOOP("Reason", "сервер с таким именем не найден")},
    {"Host not found", QT_TRANSLATE_NOOP("Reason", "сервер с таким именем не найден")},
    {"Login denied",
     QT_TRANSLATE_NOOP("Reason", "сервер отказал во входе: проверьте имя и пароль")},
    {"password authentication failed",
     QT_TRANSLATE_NOOP("Reason", "сервер отказал во входе: проверьте имя и пароль")},
    {"Peer certificate cannot be authenticated",
     QT_TRANSLATE_NOOP("Reason", "сертификат сервера не удалось проверить")},
    {"SSL peer certificate",
     QT_TRANSLATE_NOOP("Reason", "сертификат сервера не удалось проверить")},
    {"SSL connect error",
     QT_TRANSLATE_NOOP("Reason", "не удалось установить защищённое соединение")},
    {"SSL handshake failed",
     QT_TRANSLATE_NOOP("Reason", "не удалось установить защищённое соединение")},
    {"Timeout was reached", QT_TRANSLATE_NOOP("Reason", "время ожидания истекло")},
    {"timed out", QT_TRANSLATE_NOOP("Reason", "время ожидания истекло")},
    {"remote host closed", QT_TRANSLATE_NOOP("Reason", "сервер закрыл соединение")},
    {"the file is damaged or not in a form velmora reads",
     QT_TRANSLATE_NOOP("Reason", "файл повреждён или записан в виде, который velmora не читает")},
};

QString Said(const char* text) {
    return QCoreApplication::translate("Reason", text);
}

// A path names a file in whatever letters it has: it does not make a reason Russian.
QString WithoutPaths(const QString& text) {
    static const QRegularExpression path(QStringLiteral("(^|\\s)/[^:]*"));
    return QString(text).remove(path);
}

// English prose, not a path or a number: two Latin words side by side, and no Cyrillic outside
// a path.
bool IsEnglishProse(const QString& text) {
    static const QRegularExpression cyrillic(QStringLiteral("[\\x{0400}-\\x{04FF}]"));
    static const QRegularExpression words(QStringLiteral("\\b[A-Za-z]{2,}[ ,]+[A-Za-z]{2,}\\b"));
    const QString prose = WithoutPaths(text);
    return !prose.contains(cyrillic) && prose.contains(words);
}

// The reason the English says, in the interface's words; empty when the program does not know it.
QString KnownReason(const QString& english) {
    // The system's reason comes last in a chain ("cannot open X: No such file or directory"),
    // and it is the one the user can act on.
    qsizetype best = -1;
    QString said;
    for (const SystemReason& r : kSystemReasons) {
        const QString original = QString::fromStdString(ErrorText(r.err));
        const qsizetype at = english.lastIndexOf(original, -1, Qt::CaseInsensitive);
        if (at > best) {
            best = at;
            said = Said(r.text);
        }
    }
    if (best >= 0)
        return said;
    for (const LibraryReason& r : kLibraryReasons)
        if (english.contains(QLatin1String(r.english), Qt::CaseInsensitive))
            return Said(r.text);
    return {};
}

} // namespace

namespace {

ShownReason LineAsShown(const QString& line) {
    if (IsEnglishProse(line)) { // nothing of the program's own around it
        const QString known = KnownReason(line);
        if (known.isEmpty())
            return {QCoreApplication::translate("Reason", "Действие не выполнено."), line};
        return {known.left(1).toUpper() + known.mid(1), line};
    }
    // Where the program's words stop and the English starts: best a tail that is all English,
    // else a reason set in the middle ("...: reason. Он сохранён ...").
    static const QRegularExpression cyrillic(QStringLiteral("[\\x{0400}-\\x{04FF}]"));
    for (const bool tailOnly : {true, false}) {
        for (qsizetype at = line.indexOf(QLatin1String(": ")); at >= 0;
             at = line.indexOf(QLatin1String(": "), at + 2)) {
            const QString rest = line.mid(at + 2);
            const qsizetype cut =
                WithoutPaths(rest).contains(cyrillic) ? rest.indexOf(cyrillic) : -1;
            if (tailOnly != (cut < 0))
                continue;
            QString english = rest.left(cut < 0 ? rest.size() : cut);
            while (!english.isEmpty() && QStringLiteral(" .,;(").contains(english.back()))
                english.chop(1);
            if (!IsEnglishProse(english))
                continue;
            const QString head = line.left(at).trimmed();
            const QString after = rest.mid(english.size());
            const QString known = KnownReason(english);
            if (!known.isEmpty())
                return {head + QStringLiteral(": ") + known + after, english};
            // The reason goes to the detail; the program's words around it stay a sentence.
            QString text = head;
            if (after.startsWith(QLatin1Char('.')))
                text += after;
            else if (!head.endsWith(QLatin1Char('.')))
                text += QLatin1Char('.');
            if (!after.startsWith(QLatin1Char('.')) && !after.trimmed().isEmpty())
                text += QLatin1Char(' ') + after.trimmed();
            return {text, english};
        }
    }
    return {line, {}};
}

} // namespace

ShownReason ShowableReason(const QString& message) {
    if (CurrentUiLanguage() == UiLanguage::English)
        return {message, {}};
    // Each line on its own: a balloon may gather several failures.
    QStringList texts, details;
    for (const QString& line : message.split(QLatin1Char('\n'))) {
        ShownReason shown = line.trimmed().isEmpty() ? ShownReason{line, {}} : LineAsShown(line);
        texts << shown.text;
        if (!shown.detail.isEmpty())
            details << shown.detail;
    }
    return {texts.join(QLatin1Char('\n')), details.join(QLatin1Char('\n'))};
}
