// main() of every test program: a private HOME (also the current folder), configuration and
// runtime folder for the whole run, so that no test (or a test program started by hand) touches the
// user's real profile, and the offscreen platform for anything that draws.

#include <QDir>
#include <QTemporaryDir>
#include <cstdlib>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    QTemporaryDir home(QDir::tempPath() + QStringLiteral("/velmora-test-XXXXXX"));
    if (!home.isValid())
        return 1;
    const QByteArray root = home.path().toLocal8Bit();
    QDir(home.path()).mkpath(QStringLiteral("config"));
    QDir(home.path()).mkpath(QStringLiteral("runtime"));
    QFile::setPermissions(home.path() + QStringLiteral("/runtime"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    setenv("HOME", root.constData(), 1);
    setenv("XDG_CONFIG_HOME", (root + "/config").constData(), 1);
    setenv("XDG_RUNTIME_DIR", (root + "/runtime").constData(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // The record folder defaults to the current folder's "ecg": kept inside the private home.
    QDir::setCurrent(home.path());
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
