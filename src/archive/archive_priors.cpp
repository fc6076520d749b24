#include "archive/archive_priors.h"

#include <QFileInfo>

PriorImport ArchivePriorImport(CArchive& archive, const std::atomic<bool>* cancel) {
    return [&archive, cancel](const QStringList& files, CFetchedPriors* counts,
                              std::string* error) {
        QString refused;
        ImportFiles(
            archive, files,
            [&](const QString& path, bool ok, CArchive::Added added, qint64, const QString& why) {
                if (!ok) {
                    if (refused.isEmpty())
                        refused = QFileInfo(path).fileName() + QStringLiteral(": ") + why;
                    return;
                }
                ++(added == CArchive::Added::Imported ? counts->m_nImported
                                                      : counts->m_nAlreadyThere);
            },
            cancel);
        if (!refused.isEmpty()) {
            *error = "the archive did not take " + refused.toStdString();
            return false;
        }
        if (cancel && *cancel) {
            *error = "cancelled";
            return false;
        }
        return true;
    };
}

bool FetchPriorsIntoArchive(const CViewSettings& pacs, const QStringList& studyUids,
                            CArchive& archive, CFetchedPriors* fetched, std::string* error,
                            const std::atomic<bool>* cancel) {
    return FetchPriors(pacs, studyUids, ArchivePriorImport(archive, cancel), fetched, error);
}
