#include "Identity.h"

#ifdef Q_OS_WIN
#include <lmcons.h>
#include <windows.h>
#else
#include <pwd.h>
#include <unistd.h>
#endif

QString SystemIdentity::userName() const
{
#ifdef Q_OS_WIN
    wchar_t buffer[UNLEN + 1];
    DWORD size = UNLEN + 1;
    if (!GetUserNameW(buffer, &size))
        return {};
    return QString::fromWCharArray(buffer);
#else
    // getpwuid_r rather than getlogin or $USER: those follow the terminal or the environment.
    passwd entry{};
    passwd *result = nullptr;
    char buffer[4096];
    if (getpwuid_r(geteuid(), &entry, buffer, sizeof buffer, &result) != 0 || !result)
        return {};
    return QString::fromLocal8Bit(result->pw_name);
#endif
}
