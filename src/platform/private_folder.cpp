#include "platform/private_folder.h"

#include "platform/error_text.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <utility>

std::string CPrivateFolder::TempRoot() {
    const char* tmp = std::getenv("TMPDIR");
    std::string root = tmp && *tmp ? tmp : "/tmp";
    while (root.size() > 1 && root.back() == '/')
        root.pop_back();
    return root;
}

CPrivateFolder::CPrivateFolder(const std::string& prefix, std::string root) {
    if (root.empty())
        root = TempRoot();
    std::string tmpl = root + "/" + prefix + "-XXXXXX";
    if (!::mkdtemp(tmpl.data())) { // mode 0700
        m_nError = errno;
        m_strError = "cannot create a temporary folder in " + root + ": " + ::ErrorText(m_nError);
        return;
    }
    m_strPath = tmpl;
}

CPrivateFolder::~CPrivateFolder() {
    if (m_strPath.empty())
        return;
    std::error_code ec;
    std::filesystem::remove_all(m_strPath, ec);
}

std::string CPrivateFolder::Release() {
    return std::exchange(m_strPath, std::string());
}
