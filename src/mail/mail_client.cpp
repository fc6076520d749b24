// GIO's headers name a member "signals", which is a keyword once a Qt header is in: GIO first.
#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

#include "mail/mail_client.h"

#include <QByteArray>
#include <QFile>

namespace {

QString FromUtf8(const char* text) {
    return text ? QString::fromUtf8(text) : QString();
}

} // namespace

bool FindDefaultMailClient(SMailClient* pClient, QString* pError) {
    GAppInfo* info = g_app_info_get_default_for_type("message/rfc822", FALSE);
    if (!info) {
        if (pError)
            *pError = QStringLiteral("no application is registered for e-mail messages "
                                     "(message/rfc822)");
        return false;
    }
    SMailClient client;
    client.strName = FromUtf8(g_app_info_get_name(info));
    client.strCommandLine = FromUtf8(g_app_info_get_commandline(info));
    if (GIcon* icon = g_app_info_get_icon(info)) {
        gchar* text = g_icon_to_string(icon);
        client.strIcon = FromUtf8(text);
        g_free(text);
    }
    if (G_IS_DESKTOP_APP_INFO(info))
        client.strDesktopFile =
            QFile::decodeName(g_desktop_app_info_get_filename(G_DESKTOP_APP_INFO(info)));
    g_object_unref(info);
    if (client.strCommandLine.trimmed().isEmpty()) {
        if (pError)
            *pError = QStringLiteral("the mail client %1 has no command line").arg(client.strName);
        return false;
    }
    *pClient = client;
    return true;
}

QStringList ExpandOpenCommand(const SMailClient& client, const QString& strPath, QString* pError) {
    gint argc = 0;
    gchar** argv = nullptr;
    GError* error = nullptr;
    const QByteArray line = client.strCommandLine.toUtf8();
    if (!g_shell_parse_argv(line.constData(), &argc, &argv, &error)) {
        if (pError)
            *pError = QStringLiteral("cannot read the command line \"%1\": %2")
                          .arg(client.strCommandLine, FromUtf8(error ? error->message : nullptr));
        g_clear_error(&error);
        return {};
    }
    QStringList parts;
    for (gint i = 0; i < argc; ++i)
        parts << QString::fromUtf8(argv[i]);
    g_strfreev(argv);

    QStringList out;
    bool pathPlaced = false;
    for (const QString& part : parts) {
        // A field code standing alone as an argument of its own.
        if (part == QLatin1String("%i")) {
            if (!client.strIcon.isEmpty())
                out << QStringLiteral("--icon") << client.strIcon;
            continue;
        }
        if (part.size() == 2 && part[0] == QLatin1Char('%') &&
            QStringLiteral("fFuU").contains(part[1])) {
            if (!pathPlaced)
                out << strPath;
            pathPlaced = true;
            continue;
        }
        QString arg;
        bool dropped = false;
        for (qsizetype k = 0; k < part.size(); ++k) {
            if (part[k] != QLatin1Char('%') || k + 1 == part.size()) {
                arg += part[k];
                continue;
            }
            const QChar code = part[++k];
            switch (code.unicode()) {
            case '%':
                arg += QLatin1Char('%');
                break;
            case 'f':
            case 'F':
            case 'u':
            case 'U':
                if (!pathPlaced)
                    arg += strPath;
                pathPlaced = true;
                break;
            case 'c':
                arg += client.strName;
                break;
            case 'k':
                arg += client.strDesktopFile;
                break;
            default: // %i inside a word, the deprecated codes and unknown ones give nothing
                dropped = true;
                break;
            }
        }
        if (arg.isEmpty() && dropped)
            continue;
        out << arg;
    }
    if (!pathPlaced)
        out << strPath;
    if (out.size() < 2 || out.first().isEmpty()) {
        if (pError)
            *pError = QStringLiteral("the command line \"%1\" names no program")
                          .arg(client.strCommandLine);
        return {};
    }
    return out;
}
